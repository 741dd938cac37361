#include "platform/DirectoryWatch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

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
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd_.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break; // EAGAIN: nothing more for now
        for (ssize_t at = 0; at < got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof event;
            at += static_cast<ssize_t>(sizeof event + event.len);
            if (event.mask & IN_IGNORED) {
                directories_.erase(event.wd);
                continue;
            }
            const auto directory = directories_.find(event.wd);
            if (event.len == 0 || directory == directories_.end())
                continue;
            const std::string& dir = directory->second;
            std::string path = (dir == "/" ? dir : dir + "/") + name;
            if (std::find(written.begin(), written.end(), path) == written.end())
                written.push_back(std::move(path));
        }
    }
    return written;
}

} // namespace vorlaxen
