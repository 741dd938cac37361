#include "platform/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vorlaxen {

namespace {

// Creates the lock file when it is missing; one that exists is opened for reading alone when it cannot be
// opened for writing (flock needs no more). Never follows a link, never blocks on a FIFO.
UniqueFd OpenLockFile(const std::string& path) {
    constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0600));
    if (!fd && (errno == EACCES || errno == EROFS))
        fd = UniqueFd(::open(path.c_str(), O_RDONLY | kFlags));
    struct stat st;
    if (fd && (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)))
        fd.reset();
    return fd;
}

// Whether `path` still names the file open on `fd`: a lock taken on a file that was removed or replaced
// meanwhile keeps no one else out.
bool StillNamed(int fd, const std::string& path) {
    struct stat open;
    struct stat named;
    return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

} // namespace

void FileLock::release() noexcept {
    if (fd_)
        (void)::flock(fd_.get(), LOCK_UN);
    fd_.reset();
}

FileLock::Status FileLock::acquire(const std::string& path, Mode mode, const LockWaiting& waiting) {
    release();
    const auto now = [&waiting] { return waiting.now ? waiting.now() : LockWaiting::Clock::now(); };
    const auto deadline = now() + waiting.limit;
    const int operation = (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    UniqueFd fd;
    for (;;) {
        if (!fd) {
            fd = OpenLockFile(path);
            if (!fd)
                return Status::Unavailable;
        }
        if (::flock(fd.get(), operation) == 0) {
            if (StillNamed(fd.get(), path)) {
                fd_ = std::move(fd);
                return Status::Held;
            }
            // Removed or replaced while we waited: the lock that counts is on the file named now.
            fd.reset();
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EWOULDBLOCK) {
            return Status::Unavailable;
        }
        if (now() >= deadline)
            return Status::Busy;
        if (waiting.pause)
            waiting.pause(waiting.step);
        else
            std::this_thread::sleep_for(waiting.step);
    }
}

} // namespace vorlaxen
