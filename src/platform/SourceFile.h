#pragma once

#include "platform/FileSystem.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace vorlaxen {

// What tells one state of a file from another: the file itself (device and inode), its size and its
// modification time.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified = {};

    static FileIdentity Of(const struct stat& st) noexcept;
    bool SameFile(const struct stat& st) const noexcept { return st.st_dev == device && st.st_ino == inode; }
    bool operator==(const FileIdentity& other) const noexcept;
};

// The input of one file operation, held from its start to its end. It is opened without following a
// symbolic link and without blocking (a named pipe would wait for a writer for ever), it must be a
// regular file, and it is held under an exclusive advisory lock, so that a second operation on the same
// file, in this process or another, is refused at once instead of reading what the first one wipes.
class SourceFile {
public:
    enum class Status {
        Open,       // opened, checked and locked
        Missing,    // nothing of that name
        NotRegular, // a symbolic link, a directory, a named pipe, a device or a socket
        InUse,      // another operation holds its lock
        Failed,     // it cannot be opened (permissions, ...)
    };

    SourceFile() = default;
    SourceFile(SourceFile&&) noexcept = default;
    SourceFile& operator=(SourceFile&&) noexcept = default;

    // An operation's input is never reached through a symbolic link and is locked; a file that is only
    // read (to verify it) may be reached through one, and takes no lock.
    enum class Use { Operation, ReadOnly };

    // `regularSeen`: the caller has just looked at the path itself (without following a link) and seen a
    // regular file, so it is not looked at twice before it is opened; the open descriptor is checked all
    // the same.
    Status open(const std::string& path, Use use = Use::Operation, bool regularSeen = false);
    bool isOpen() const noexcept { return static_cast<bool>(fd_); }
    int fd() const noexcept { return fd_.get(); }
    const std::string& path() const noexcept { return path_; }
    // As it was when opened.
    const FileIdentity& identity() const noexcept { return identity_; }
    std::uint64_t size() const noexcept { return static_cast<std::uint64_t>(identity_.size); }

    // Whether the path still names this file, with the size and modification time it had when opened.
    bool unchanged() const noexcept;
    // Releases the lock and closes the file.
    void close() noexcept { fd_.reset(); }

private:
    UniqueFd fd_;
    std::string path_;
    FileIdentity identity_;
    bool followsLinks_ = false;
};

// Takes an exclusive advisory lock on an open file without waiting. False only when another open file
// description holds one; a file system that cannot lock at all does not stop the operation.
bool LockWithoutWaiting(int fd) noexcept;

} // namespace vorlaxen
