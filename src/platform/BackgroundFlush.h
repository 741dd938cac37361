#pragma once

namespace vorlaxen {

// Flushes a file being written to disk while its writer goes on, one flush at a time, through the
// system's asynchronous I/O (its fdatasync runs in the kernel, the writer's thread only hands it over).
// A large output flushed step by step this way leaves its final, synchronous flush little to do: flushing
// the disk's cache takes time in proportion to what was written since the last flush. Where asynchronous
// I/O is unavailable, nothing is flushed early and the final flush does it all. A failed flush is
// remembered: it may be the only report of a write that did not reach the disk.
//
// The asynchronous I/O context belongs to the thread and is kept for its life, lent to one flusher at a
// time: destroying a context waits for the system for tens of milliseconds, too long to pay per file.
class BackgroundFlush {
public:
    BackgroundFlush() noexcept = default;
    // Waits for a flush still running.
    ~BackgroundFlush();
    BackgroundFlush(const BackgroundFlush&) = delete;
    BackgroundFlush& operator=(const BackgroundFlush&) = delete;

    // Starts flushing `fd` unless a flush is still running; true when one was started.
    bool start(int fd) noexcept;
    // Whether a flush is running (collects one that has finished).
    bool running() noexcept;
    // Waits for a flush still running and gives the context back; false when any flush failed.
    bool finish() noexcept;

private:
    void collect(bool wait) noexcept;

    unsigned long context_ = 0; // borrowed from the thread at the first flush
    bool unavailable_ = false;
    bool running_ = false;
    bool failed_ = false;
};

} // namespace vorlaxen
