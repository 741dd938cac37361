#pragma once

#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace vorlaxen {

// Reads every event waiting on the non-blocking inotify descriptor `fd` and hands each to `each` with its
// name (empty for an event of the watched directory itself; the name is padded with zero bytes).
template <typename Each> void ReadInotifyEvents(int fd, Each&& each) {
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return; // EAGAIN: nothing more for now
        for (ssize_t at = 0; at < got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = event.len > 0 ? buffer + at + sizeof event : "";
            at += static_cast<ssize_t>(sizeof event + event.len);
            each(event, name);
        }
    }
}

} // namespace vorlaxen
