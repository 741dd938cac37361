#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vorlaxen::fuzz {

// One fresh directory for the whole fuzzing run ($TMPDIR, best a tmpfs), where each input is written as a
// file, since the readers under test read files.
const std::string& WorkDirectory();

// The names in the work directory, sorted; "." and ".." left out.
std::vector<std::string> NamesInWorkDirectory();

void WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size);

// Ends the run as a finding: libFuzzer keeps the input that led here.
[[noreturn]] void Finding(const std::string& what);

} // namespace vorlaxen::fuzz
