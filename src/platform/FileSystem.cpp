#include "platform/FileSystem.h"

#include "platform/SourceFile.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vorlaxen {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

int UniqueFd::release() noexcept {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset() noexcept {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

UniqueDir OpenDirectory(const std::string& path) {
    return UniqueDir(::opendir(path.empty() ? "." : path.c_str()));
}

bool UniqueFd::close() noexcept {
    if (fd_ < 0)
        return true;
    int result = ::close(release());
    return result == 0;
}

ssize_t ReadFully(int fd, void* buffer, std::size_t n) noexcept {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        ssize_t got = ::read(fd, out + done, n - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

bool WriteFully(int fd, const void* buffer, std::size_t n) noexcept {
    const auto* in = static_cast<const char*>(buffer);
    while (n > 0) {
        ssize_t put = ::write(fd, in, n);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (put == 0) {
            errno = EIO;
            return false;
        }
        in += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

bool WriteFullyAt(int fd, const void* buffer, std::size_t n, off_t offset) noexcept {
    const auto* in = static_cast<const char*>(buffer);
    while (n > 0) {
        ssize_t put = ::pwrite(fd, in, n, offset);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (put == 0) {
            errno = EIO;
            return false;
        }
        in += put;
        offset += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool RenameNoReplace(const std::string& from, const std::string& to) noexcept {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // The file system cannot rename without replacing: a hard link fails on an existing name just the same.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    if (::unlink(from.c_str()) != 0) {
        int saved = errno;
        ::unlink(to.c_str());
        errno = saved;
        return false;
    }
    return true;
}

UniqueFd CreateTemporaryBeside(const std::string& target, std::string& tempPath) {
    std::string dir = DirectoryOf(target);
    std::string pattern = dir.empty() ? std::string() : (dir == "/" ? dir : dir + "/");
    pattern += ".vorlaxen-XXXXXX";
    // Between its creation and its lock, an operation tidying the directory (on another thread or in
    // another process) may take the new file for a crash's leftover and wipe it away: the file is ours only
    // once it is locked and its name still leads to it, else another is made.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
        if (!fd)
            break;
        struct stat held;
        struct stat named;
        if (LockWithoutWaiting(fd.get()) && ::fstat(fd.get(), &held) == 0 && ::lstat(name.data(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            tempPath.assign(name.data());
            return fd;
        }
    }
    tempPath.clear();
    return UniqueFd();
}

bool SyncDirectoryOf(const std::string& path) noexcept {
    const std::string dir = DirectoryOf(path);
    UniqueFd fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return false;
    return ::fsync(fd.get()) == 0;
}

bool PathExists(const std::string& path) noexcept {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) noexcept {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int FileMode(const std::string& path) noexcept {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    return static_cast<int>(st.st_mode & 07777);
}

bool SetFileMode(const std::string& path, int mode) noexcept {
    return ::chmod(path.c_str(), static_cast<mode_t>(mode & 07777)) == 0;
}

bool MakeOwnerReadWrite(const std::string& path) noexcept {
    int mode = FileMode(path);
    if (mode < 0)
        return false;
    if ((mode & (S_IRUSR | S_IWUSR)) == (S_IRUSR | S_IWUSR))
        return true;
    return SetFileMode(path, mode | S_IRUSR | S_IWUSR);
}

} // namespace vorlaxen
