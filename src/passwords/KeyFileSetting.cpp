#include "passwords/KeyFileSetting.h"

namespace vorlaxen {

bool ReadKeyFilePath(const SettingsStore& store, std::string& path) {
    return store.readString(kMasterPassKey, kKeyFilePathValue, path);
}

} // namespace vorlaxen
