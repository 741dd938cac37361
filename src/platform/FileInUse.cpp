#include "platform/FileInUse.h"

#include "platform/FileSystem.h"

#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

bool IsProcessId(const char* name, pid_t& pid) {
    char* end = nullptr;
    const long value = std::strtol(name, &end, 10);
    if (end == name || *end != '\0' || value <= 0)
        return false;
    pid = static_cast<pid_t>(value);
    return true;
}

bool ProcessHolds(const std::string& descriptors, const struct stat& file) {
    UniqueDir directory = OpenDirectory(descriptors);
    if (!directory)
        return false; // ended meanwhile, or not ours to look into
    while (const dirent* entry = ::readdir(directory.get())) {
        if (entry->d_name[0] == '.')
            continue;
        struct stat target;
        // stat follows the descriptor's link to the file it has open, even one renamed or deleted since.
        if (::stat((descriptors + "/" + entry->d_name).c_str(), &target) == 0 && target.st_dev == file.st_dev &&
            target.st_ino == file.st_ino)
            return true;
    }
    return false;
}

} // namespace

bool HeldOpenByAnotherProcess(const std::string& path) {
    struct stat file;
    if (::stat(path.c_str(), &file) != 0)
        return false;
    UniqueDir processes = OpenDirectory("/proc");
    if (!processes)
        return false;
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(processes.get())) {
        pid_t pid = 0;
        if (!IsProcessId(entry->d_name, pid) || pid == self)
            continue;
        if (ProcessHolds("/proc/" + std::string(entry->d_name) + "/fd", file))
            return true;
    }
    return false;
}

bool LockFileNames(const std::string& path, std::time_t since) {
    const std::string directory = DirectoryOf(path);
    const std::string name = FileNameOf(path);
    const std::string prefix = directory.empty() ? "" : (directory == "/" ? "/" : directory + "/");
    for (const std::string& lock : {".~lock." + name + "#", "." + name + ".swp", ".#" + name}) {
        struct stat st;
        // Emacs's lock is a symbolic link that leads nowhere: it is looked at, not followed.
        if (::lstat((prefix + lock).c_str(), &st) == 0 && st.st_mtime >= since)
            return true;
    }
    return false;
}

} // namespace vorlaxen
