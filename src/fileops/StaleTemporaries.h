#pragma once

#include <cstddef>
#include <string>

namespace vorlaxen {

// Wipes and removes the named temporaries of ours (".vorlaxen-" and six characters) in `directory`
// that no process holds: what a crash left of an output where the file system has no unnamed files, or
// what an older version of the program left. They may hold plain data, so each is overwritten before it
// goes. Returns how many were removed.
std::size_t RemoveStaleTemporaries(const std::string& directory);

// Called before an operation writes its output into `directory`. Where outputs must be named
// temporaries, a crash of any run may leave one, so the directory is tidied every time; where outputs
// are unnamed files only an older version (or a crash in the instant between naming and renaming a
// replacing output) leaves one, so each directory is tidied once per process.
void TidyBeforeOutput(const std::string& directory);

} // namespace vorlaxen
