#include "platform/SourceFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

constexpr off_t kReadAheadCovers = off_t{128} << 10;

} // namespace

FileIdentity FileIdentity::Of(const struct stat& st) noexcept {
    FileIdentity identity;
    identity.device = st.st_dev;
    identity.inode = st.st_ino;
    identity.size = st.st_size;
    identity.modified = st.st_mtim;
    return identity;
}

bool FileIdentity::operator==(const FileIdentity& other) const noexcept {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

bool LockWithoutWaiting(int fd) noexcept {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        return errno != EWOULDBLOCK;
    }
    return true;
}

SourceFile::Status SourceFile::open(const std::string& path, Use use, bool regularSeen) {
    fd_.reset();
    path_ = path;
    const bool operation = use == Use::Operation;
    followsLinks_ = !operation;
    struct stat st;
    // A device or a pipe is never opened: opening some devices does something.
    if (!(regularSeen && operation)) {
        if ((operation ? ::lstat(path.c_str(), &st) : ::stat(path.c_str(), &st)) != 0)
            return errno == ENOENT || errno == ENOTDIR ? Status::Missing : Status::Failed;
        if (!S_ISREG(st.st_mode))
            return Status::NotRegular;
    }
    UniqueFd fd(::open(path.c_str(), O_RDONLY | (operation ? O_NOFOLLOW : 0) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        // Replaced by a link or a pipe since it was looked at.
        if (errno == ELOOP || errno == ENXIO)
            return Status::NotRegular;
        return errno == ENOENT ? Status::Missing : Status::Failed;
    }
    if (::fstat(fd.get(), &st) != 0)
        return Status::Failed;
    if (!S_ISREG(st.st_mode))
        return Status::NotRegular;
    if (operation && !LockWithoutWaiting(fd.get()))
        return Status::InUse;
    // Reads of a regular file never block; the flag only kept the open from waiting. It is the only status
    // flag the open set.
    ::fcntl(fd.get(), F_SETFL, 0);
    // A file that the system's own read-ahead covers at once gains nothing from the advice.
    if (st.st_size > kReadAheadCovers)
        ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    identity_ = FileIdentity::Of(st);
    fd_ = std::move(fd);
    return Status::Open;
}

bool SourceFile::unchanged() const noexcept {
    if (!fd_)
        return false;
    // While the name leads to this file, it shows the file's present state: one look answers both.
    struct stat named;
    if ((followsLinks_ ? ::stat(path_.c_str(), &named) : ::lstat(path_.c_str(), &named)) != 0)
        return false;
    return FileIdentity::Of(named) == identity_;
}

} // namespace vorlaxen
