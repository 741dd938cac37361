#include "platform/BackgroundFlush.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <linux/aio_abi.h>
#include <linux/io_uring.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

// A mapping of a ring's shared memory, unmapped on every way out.
class Mapping {
public:
    Mapping() noexcept = default;
    ~Mapping() { unmap(); }
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;

    bool map(int fd, std::size_t size, off_t offset) noexcept {
        unmap();
        size_ = size;
        at_ = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd, offset);
        return at_ != MAP_FAILED;
    }
    template <class T> T* at(std::size_t offset) const noexcept {
        return reinterpret_cast<T*>(static_cast<std::uint8_t*>(at_) + offset);
    }

    void unmap() noexcept {
        if (at_ != MAP_FAILED)
            ::munmap(at_, size_);
        at_ = MAP_FAILED;
    }

private:
    void* at_ = MAP_FAILED;
    std::size_t size_ = 0;
};

// The thread's queue of flushes for the kernel to run, one at a time, made at its first use and kept
// for the thread's life. It is an io_uring where the system offers one: the ring's flush runs in a
// kernel worker that may take the other processor. Else it is an asynchronous I/O context, whose flush
// runs in a kernel worker of the submitting processor. Where neither can be had, no flush is started.
class ThreadQueue {
public:
    ~ThreadQueue() {
        // Waits for a request still running (one whose flusher could not follow it): it cannot be
        // cancelled.
        if (context_ != 0)
            ::syscall(SYS_io_destroy, context_);
    }

    // Hands the kernel a flush of `fd`; false while one is in flight or where none can be started.
    bool submit(int fd) noexcept {
        if (busy_ || broken_ || !ready())
            return false;
        busy_ = ring_ ? submitToRing(fd) : submitToContext(fd);
        return busy_;
    }

    // Collects the flush in flight: 1 with its `result` (0 or an error number, negated), 0 while it
    // runs, -1 when it can no longer be followed, and the queue is used no more.
    int collect(bool wait, int& result) noexcept {
        const int got = ring_ ? collectFromRing(wait, result) : collectFromContext(wait, result);
        if (got != 0)
            busy_ = false;
        broken_ = broken_ || got < 0;
        return got;
    }

private:
    bool ready() noexcept {
        if (ring_ || context_ != 0)
            return true;
        if (!openRing() && ::syscall(SYS_io_setup, 1, &context_) != 0) {
            context_ = 0;
            broken_ = true;
        }
        return !broken_;
    }

    bool openRing() noexcept {
        io_uring_params params = {};
        UniqueFd ring(static_cast<int>(::syscall(__NR_io_uring_setup, 1, &params)));
        if (!ring)
            return false;
        std::size_t sqSize = params.sq_off.array + params.sq_entries * sizeof(unsigned);
        std::size_t cqSize = params.cq_off.cqes + params.cq_entries * sizeof(io_uring_cqe);
        const bool single = (params.features & IORING_FEAT_SINGLE_MMAP) != 0;
        if (single)
            sqSize = cqSize = std::max(sqSize, cqSize);
        if (!sqMap_.map(ring.get(), sqSize, IORING_OFF_SQ_RING) ||
            (!single && !cqMap_.map(ring.get(), cqSize, IORING_OFF_CQ_RING)) ||
            !sqeMap_.map(ring.get(), params.sq_entries * sizeof(io_uring_sqe), IORING_OFF_SQES)) {
            sqMap_.unmap();
            cqMap_.unmap();
            sqeMap_.unmap();
            return false;
        }
        const Mapping& cq = single ? sqMap_ : cqMap_;
        sqTail_ = sqMap_.at<unsigned>(params.sq_off.tail);
        sqMask_ = *sqMap_.at<unsigned>(params.sq_off.ring_mask);
        sqArray_ = sqMap_.at<unsigned>(params.sq_off.array);
        cqHead_ = cq.at<unsigned>(params.cq_off.head);
        cqTail_ = cq.at<unsigned>(params.cq_off.tail);
        cqMask_ = *cq.at<unsigned>(params.cq_off.ring_mask);
        cqes_ = cq.at<io_uring_cqe>(params.cq_off.cqes);
        ring_ = std::move(ring);
        return true;
    }

    bool submitToRing(int fd) noexcept {
        const unsigned tail = *sqTail_;
        const unsigned slot = tail & sqMask_;
        io_uring_sqe& entry = sqeMap_.at<io_uring_sqe>(0)[slot];
        entry = {};
        entry.opcode = IORING_OP_FSYNC;
        entry.fd = fd;
        entry.fsync_flags = IORING_FSYNC_DATASYNC;
        sqArray_[slot] = slot;
        __atomic_store_n(sqTail_, tail + 1, __ATOMIC_RELEASE);
        long entered;
        do
            entered = ::syscall(__NR_io_uring_enter, ring_.get(), 1, 0, 0, nullptr, 0);
        while (entered < 0 && errno == EINTR);
        // An entry the kernel did not take would go with the next one: the ring is used no more.
        broken_ = entered != 1;
        return !broken_;
    }

    int collectFromRing(bool wait, int& result) noexcept {
        for (;;) {
            const unsigned head = *cqHead_;
            if (head != __atomic_load_n(cqTail_, __ATOMIC_ACQUIRE)) {
                result = cqes_[head & cqMask_].res;
                __atomic_store_n(cqHead_, head + 1, __ATOMIC_RELEASE);
                return 1;
            }
            if (!wait)
                return 0;
            if (::syscall(__NR_io_uring_enter, ring_.get(), 0, 1, IORING_ENTER_GETEVENTS, nullptr, 0) < 0 &&
                errno != EINTR)
                return -1;
        }
    }

    bool submitToContext(int fd) noexcept {
        struct iocb request = {};
        request.aio_fildes = static_cast<std::uint32_t>(fd);
        request.aio_lio_opcode = IOCB_CMD_FDSYNC;
        struct iocb* requests[1] = {&request};
        return ::syscall(SYS_io_submit, context_, 1, requests) == 1;
    }

    int collectFromContext(bool wait, int& result) noexcept {
        struct io_event event = {};
        struct timespec none = {0, 0};
        long got;
        do
            got = ::syscall(SYS_io_getevents, context_, wait ? 1 : 0, 1, &event, wait ? nullptr : &none);
        while (got < 0 && errno == EINTR);
        if (got < 0)
            return -1;
        result = static_cast<int>(event.res);
        return got == 1 ? 1 : 0;
    }

    bool busy_ = false;
    bool broken_ = false;
    // The io_uring, with its submission and completion rings and its entries.
    UniqueFd ring_;
    Mapping sqMap_, cqMap_, sqeMap_;
    unsigned* sqTail_ = nullptr;
    unsigned sqMask_ = 0;
    unsigned* sqArray_ = nullptr;
    unsigned* cqHead_ = nullptr;
    unsigned* cqTail_ = nullptr;
    unsigned cqMask_ = 0;
    io_uring_cqe* cqes_ = nullptr;
    // Else the asynchronous I/O context.
    aio_context_t context_ = 0;
};

thread_local ThreadQueue threadQueue;

// The file open as `fd`, opened once more; an invalid descriptor where that cannot be done. A flush
// needs no more than reading rights, but a file its owner may only write is opened for writing.
UniqueFd OpenAgain(int fd) noexcept {
    char path[32];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    UniqueFd again(::open(path, O_RDONLY | O_CLOEXEC));
    if (!again)
        again = UniqueFd(::open(path, O_WRONLY | O_CLOEXEC));
    return again;
}

} // namespace

BackgroundFlush::~BackgroundFlush() {
    (void)finish();
}

bool BackgroundFlush::start(int fd) noexcept {
    if (unavailable_ || running_)
        return false;
    if (!own_) {
        own_ = OpenAgain(fd);
        if (!own_) {
            unavailable_ = true;
            return false;
        }
    }
    running_ = threadQueue.submit(own_.get());
    return running_;
}

void BackgroundFlush::collect(bool wait) noexcept {
    int result = 0;
    const int got = threadQueue.collect(wait, result);
    if (got == 0)
        return;
    running_ = false;
    // A flush that can no longer be followed counts as failed.
    if (got < 0 || result != 0)
        failed_ = true;
    unavailable_ = unavailable_ || got < 0;
}

bool BackgroundFlush::running() noexcept {
    if (running_)
        collect(false);
    return running_;
}

bool BackgroundFlush::finish() noexcept {
    if (running_)
        collect(true);
    own_.reset();
    unavailable_ = true;
    return !failed_;
}

} // namespace vorlaxen
