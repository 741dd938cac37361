#include "cli/KeyFilePaths.h"

#include "fileops/MakePath.h"
#include "passwords/KeyFileSetting.h"
#include "passwords/TKX_MasterPass.h"
#include "platform/FileSystem.h"

#include <cstdlib>

namespace vorlaxen::cli {

std::string SettingsKeyFilePath() {
    SettingsStore settings(SettingsStore::DefaultLocations());
    settings.load();
    if (std::string path; ReadKeyFilePath(settings, path) && !path.empty())
        return path;
    return DefaultKeyFilePath();
}

std::string EntryKeyOf(const std::string& file) {
    const std::string dir = DirectoryOf(file);
    char* real = ::realpath(dir.empty() ? "." : dir.c_str(), nullptr);
    if (!real)
        return file;
    std::string full(real);
    std::free(real);
    return MakePath(full, FileNameOf(file));
}

} // namespace vorlaxen::cli
