#include "fileops/DirectoryListing.h"

#include "fileops/MakePath.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <strings.h>
#include <sys/stat.h>

namespace vorlaxen {

std::vector<std::string> ListDirectoryFiles(const std::string& directory) {
    std::vector<std::string> names;
    const UniqueDir stream = OpenDirectory(directory);
    if (!stream)
        return names;
    const int dirFd = ::dirfd(stream.get());
    while (const dirent* entry = ::readdir(stream.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st;
            isDirectory = ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (!isDirectory)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ListSubdirectories(const std::string& directory) {
    std::vector<std::string> names;
    const UniqueDir stream = OpenDirectory(directory);
    if (!stream)
        return names;
    while (const dirent* entry = ::readdir(stream.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (::lstat(MakePath(directory, name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int folded = ::strcasecmp(a.c_str(), b.c_str());
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

} // namespace vorlaxen
