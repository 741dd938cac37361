#pragma once

#include <string>

namespace vorlaxen::cli {

// The key file used when --key-file is not given: the desktop program's setting "Dir" when the settings
// can be read and name one, else xwords.001 in the user's home directory, as a full path ("" when there
// is no home directory, which then makes every key-file access fail).
std::string DefaultKeyFilePath();

// The entry key of a file: its full path, the directory resolved from the current one and its links,
// joined with the file's own name by MakePath, so that every run finds the entry again wherever it is
// started from.
std::string EntryKeyOf(const std::string& file);

} // namespace vorlaxen::cli
