#pragma once

#include "platform/FileSystem.h"

#include <chrono>
#include <functional>
#include <string>

namespace vorlaxen {

// How long a lock is waited for, and how: the clock and the pause between two tries. Empty functions
// mean the steady clock and a real sleep; a test gives its own, so that waiting costs it no time.
struct LockWaiting {
    using Clock = std::chrono::steady_clock;

    std::chrono::milliseconds limit{5000};
    std::chrono::milliseconds step{10};
    std::function<Clock::time_point()> now;
    std::function<void(std::chrono::milliseconds)> pause;
};

// An advisory lock (flock) on a lock file that every process of ours takes before it changes the file
// the lock stands for, and that stays in place while that file is replaced by rename. The lock file is
// created empty, readable and writable by its owner only, and never removed (removing it would let two
// processes lock two different files of the same name). A lock dies with its process, so a process
// killed while holding it blocks no one.
class FileLock {
public:
    enum class Mode { Shared, Exclusive };
    enum class Status {
        Held,        // the lock is held until release() or the end of this object
        Busy,        // another holder kept it for the whole time allowed
        Unavailable, // the lock file cannot be created or opened, or is not a regular file
    };

    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock on `path`, trying again after every pause until `waiting.limit` has passed.
    Status acquire(const std::string& path, Mode mode, const LockWaiting& waiting);
    // Unlocks explicitly, not only by closing: a child forked meanwhile shares the open file, and the lock
    // with it, until it closes its copy.
    void release() noexcept;
    bool held() const noexcept { return static_cast<bool>(fd_); }

private:
    UniqueFd fd_;
};

} // namespace vorlaxen
