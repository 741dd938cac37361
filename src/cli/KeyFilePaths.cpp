#include "cli/KeyFilePaths.h"

#include "fileops/MakePath.h"
#include "fileops/ProgramSettings.h"
#include "platform/FileSystem.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace vorlaxen::cli {

namespace {

constexpr const char* kKeyFileName = "xwords.001";

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

} // namespace

std::string DefaultKeyFilePath() {
    SettingsStore settings(SettingsStore::DefaultLocations());
    settings.load();
    if (std::string path; ReadKeyFilePath(settings, path) && !path.empty())
        return path;
    const std::string home = HomeDirectory();
    return home.empty() ? std::string() : MakePath(home, kKeyFileName);
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
