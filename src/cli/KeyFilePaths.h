#pragma once

#include <string>

namespace vorlaxen::cli {

// The key file used when --key-file is not given: the desktop program's setting "Dir" when the settings
// can be read and name one, else the default key file (xwords.001 in the user's home directory).
std::string SettingsKeyFilePath();

// The entry key of a file: its full path, the directory resolved from the current one and its links,
// joined with the file's own name by MakePath, so that every run finds the entry again wherever it is
// started from.
std::string EntryKeyOf(const std::string& file);

} // namespace vorlaxen::cli
