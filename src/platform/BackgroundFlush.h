#pragma once

#include "platform/FileSystem.h"

namespace vorlaxen {

// Flushes a file being written to disk while its writer goes on, one flush at a time: the system runs
// the flush (an fdatasync) in a worker of its own, through an io_uring or else through asynchronous I/O,
// and the writer's thread only hands it over. A large output flushed step by step this way leaves its
// final, synchronous flush little to do: flushing the disk's cache takes time in proportion to what was
// written since the last flush. Where neither is available, nothing is flushed early and the final flush
// does it all.
//
// The flushes go through a descriptor of their own, opened again on the same file: the system reports a
// failed write to the next flush of every descriptor that was open when it failed, and only once to each,
// so a failure that a background flush takes is still reported to the writer's own final flush. A failed
// background flush is remembered as well.
//
// The ring or context belongs to the thread and is kept for its life, lent to one flush at a time:
// making and destroying one costs more than a file's flushes save.
class BackgroundFlush {
public:
    BackgroundFlush() noexcept = default;
    // Waits for a flush still running.
    ~BackgroundFlush();
    BackgroundFlush(const BackgroundFlush&) = delete;
    BackgroundFlush& operator=(const BackgroundFlush&) = delete;

    // Starts flushing the file open as `fd`; true when a flush was started. Not while one is running, nor
    // while another output of this thread has its flush running.
    bool start(int fd) noexcept;
    // Whether a flush is running (collects one that has finished).
    bool running() noexcept;
    // Waits for a flush still running and closes the descriptor of its own; false when any flush failed.
    bool finish() noexcept;

private:
    void collect(bool wait) noexcept;

    UniqueFd own_;             // the file opened again, at the first flush
    bool running_ = false;     // a flush of this file is in the thread's queue
    bool unavailable_ = false; // no more flushes for this file
    bool failed_ = false;
};

} // namespace vorlaxen
