#pragma once

#include <cstddef>
#include <cstdint>
#include <dirent.h>
#include <memory>
#include <string>
#include <sys/types.h>

namespace vorlaxen {

// Owns one POSIX file descriptor and closes it on every way out.
class UniqueFd {
public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept
        : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept
        : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }
    int release() noexcept;
    void reset() noexcept;
    // Closes now and reports whether the close succeeded (a close may report a deferred write error).
    bool close() noexcept;

private:
    int fd_ = -1;
};

// Owns one open directory stream and closes it on every way out.
struct DirectoryCloser {
    void operator()(DIR* directory) const noexcept { ::closedir(directory); }
};
using UniqueDir = std::unique_ptr<DIR, DirectoryCloser>;

// Opens a directory to read its entries, "" being the current directory; null when it cannot be opened.
UniqueDir OpenDirectory(const std::string& path);

// Reads until n bytes or end of file; returns the count read, or -1 on an error.
ssize_t ReadFully(int fd, void* buffer, std::size_t n) noexcept;
// Writes all n bytes, continuing after partial writes; false on an error or a write that accepts nothing.
bool WriteFully(int fd, const void* buffer, std::size_t n) noexcept;
bool WriteFullyAt(int fd, const void* buffer, std::size_t n, off_t offset) noexcept;

// The directory part of a path without its trailing separator; "/" keeps its own, a bare name gives "".
std::string DirectoryOf(const std::string& path);
std::string FileNameOf(const std::string& path);

// Renames without ever replacing an existing file: fails (errno EEXIST) when `to` exists.
bool RenameNoReplace(const std::string& from, const std::string& to) noexcept;

// Creates a new, empty file readable only by its owner in the directory of `target`, under a name of its
// own, and holds it under an exclusive advisory lock (LockWithoutWaiting) for as long as the descriptor is
// open; `tempPath` receives that name. Outputs are written there and renamed onto the target on success.
UniqueFd CreateTemporaryBeside(const std::string& target, std::string& tempPath);

// Makes a finished rename durable: flushes the directory that holds `path`.
bool SyncDirectoryOf(const std::string& path) noexcept;

bool PathExists(const std::string& path) noexcept;
bool IsDirectory(const std::string& path) noexcept;

// Permission bits of a file (the low 12 bits of st_mode), or -1 when it cannot be read.
int FileMode(const std::string& path) noexcept;
bool SetFileMode(const std::string& path, int mode) noexcept;
// Adds owner read and write, the stand-in for "attributes set to archive alone": a read-only file can
// then be opened for writing, renamed and wiped.
bool MakeOwnerReadWrite(const std::string& path) noexcept;

} // namespace vorlaxen
