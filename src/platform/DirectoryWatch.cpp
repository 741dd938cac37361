#include "platform/DirectoryWatch.h"

#include "platform/InotifyEvents.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>

namespace vorlaxen {

DirectoryWatch::DirectoryWatch()
    : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

bool DirectoryWatch::Watch(const std::string& directory) {
    if (!fd_)
        return false;
    const int wd = ::inotify_add_watch(fd_.get(), directory.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_ONLYDIR);
    if (wd < 0)
        return false;
    directories_[wd] = directory;
    return true;
}

std::vector<std::string> DirectoryWatch::TakeWritten() {
    std::vector<std::string> written;
    if (!fd_)
        return written;
    ReadInotifyEvents(fd_.get(), [&](const inotify_event& event, const char* name) {
        if (event.mask & IN_IGNORED) {
            directories_.erase(event.wd);
            return;
        }
        const auto directory = directories_.find(event.wd);
        if (event.len == 0 || directory == directories_.end())
            return;
        const std::string& dir = directory->second;
        std::string path = (dir == "/" ? dir : dir + "/") + name;
        if (std::find(written.begin(), written.end(), path) == written.end())
            written.push_back(std::move(path));
    });
    return written;
}

} // namespace vorlaxen
