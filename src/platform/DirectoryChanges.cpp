#include "platform/DirectoryChanges.h"

#include "platform/InotifyEvents.h"

#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unordered_set>

namespace vorlaxen {

namespace {

// IN_EXCL_UNLINK: a file deleted while still open reports nothing more.
constexpr std::uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB |
                                  IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

} // namespace

DirectoryChanges::DirectoryChanges()
    : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

bool DirectoryChanges::Follow(const std::string& directory) {
    if (!fd_)
        return false;
    if (watch_ >= 0 && directory == directory_) {
        (void)Take();
        return true;
    }
    if (watch_ >= 0)
        ::inotify_rm_watch(fd_.get(), watch_);
    watch_ = ::inotify_add_watch(fd_.get(), directory.c_str(), kEvents);
    directory_ = watch_ >= 0 ? directory : std::string();
    (void)Take();
    return watch_ >= 0;
}

DirectoryChanges::Taken DirectoryChanges::Take() {
    Taken taken;
    std::unordered_set<std::string> seen;
    if (!fd_)
        return taken;
    ReadInotifyEvents(fd_.get(), [&](const inotify_event& event, const char* name) {
        if (event.mask & IN_Q_OVERFLOW) {
            taken.everything = true;
            return;
        }
        // Events of a directory watched before Follow moved on are no longer of interest.
        if (event.wd != watch_)
            return;
        if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
            taken.everything = true;
            if (event.mask & IN_IGNORED)
                watch_ = -1; // the directory went: the next Follow watches its path anew
            return;
        }
        if (event.len == 0)
            return;
        std::string changed(name);
        if (seen.insert(changed).second)
            taken.names.push_back(std::move(changed));
    });
    return taken;
}

} // namespace vorlaxen
