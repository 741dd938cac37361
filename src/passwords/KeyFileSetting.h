#pragma once

#include "platform/SettingsStore.h"

#include <string>

namespace vorlaxen {

// Where the settings keep the master password's settings, among them the key file's path ("Dir"). The
// desktop program reads and writes them with all its settings; the companion reads the path alone.
inline constexpr const char* kMasterPassKey = "\\crypt file\\Settings\\MasterPass";
inline constexpr const char* kKeyFilePathValue = "Dir";

// The key file path alone ("Dir"), for programs that need no other setting; false when it cannot be read.
bool ReadKeyFilePath(const SettingsStore& store, std::string& path);

} // namespace vorlaxen
