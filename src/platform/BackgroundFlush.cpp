#include "platform/BackgroundFlush.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <linux/aio_abi.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

// The thread's asynchronous I/O context, made at its first use and destroyed with the thread.
class ThreadContext {
public:
    ~ThreadContext() {
        // Waits for a request still running (one whose flusher could not collect it): it cannot be
        // cancelled.
        if (context_ != 0)
            ::syscall(SYS_io_destroy, context_);
    }

    // The context for one flusher at a time; 0 while it is lent, or where it cannot be made.
    aio_context_t borrow() noexcept {
        if (lent_ || broken_)
            return 0;
        if (context_ == 0 && ::syscall(SYS_io_setup, 1, &context_) != 0) {
            context_ = 0;
            broken_ = true;
            return 0;
        }
        lent_ = true;
        return context_;
    }
    // `clean`: no request of the borrower is still running; otherwise the context is lent no more.
    void giveBack(bool clean) noexcept {
        lent_ = false;
        broken_ = broken_ || !clean;
    }

private:
    aio_context_t context_ = 0;
    bool lent_ = false;
    bool broken_ = false;
};

thread_local ThreadContext threadContext;

} // namespace

BackgroundFlush::~BackgroundFlush() {
    (void)finish();
}

bool BackgroundFlush::start(int fd) noexcept {
    if (unavailable_ || running())
        return false;
    if (context_ == 0) {
        context_ = threadContext.borrow();
        if (context_ == 0) {
            unavailable_ = true;
            return false;
        }
    }
    struct iocb request = {};
    request.aio_fildes = static_cast<std::uint32_t>(fd);
    request.aio_lio_opcode = IOCB_CMD_FDSYNC;
    struct iocb* requests[1] = {&request};
    if (::syscall(SYS_io_submit, context_, 1, requests) != 1) {
        // A file system or kernel that cannot flush this way: the final flush does all of it.
        unavailable_ = true;
        return false;
    }
    running_ = true;
    return true;
}

void BackgroundFlush::collect(bool wait) noexcept {
    struct io_event event = {};
    struct timespec none = {0, 0};
    long got;
    do
        got = ::syscall(SYS_io_getevents, context_, wait ? 1 : 0, 1, &event, wait ? nullptr : &none);
    while (got < 0 && errno == EINTR);
    if (got < 0) {
        // The flush can no longer be followed: it counts as failed, as it may have taken the only report
        // of a failed write with it.
        unavailable_ = true;
        failed_ = true;
        threadContext.giveBack(false);
        context_ = 0;
        running_ = false;
        return;
    }
    if (got == 1) {
        running_ = false;
        if (event.res != 0)
            failed_ = true;
    }
}

bool BackgroundFlush::running() noexcept {
    if (running_)
        collect(false);
    return running_;
}

bool BackgroundFlush::finish() noexcept {
    if (running_)
        collect(true);
    if (context_ != 0) {
        threadContext.giveBack(true);
        context_ = 0;
    }
    unavailable_ = true;
    return !failed_;
}

} // namespace vorlaxen
