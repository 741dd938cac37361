#pragma once

#include <cstddef>
#include <sys/stat.h>
#include <sys/types.h>

namespace vorlaxen {

// The system calls by which the wipe touches a file and a group of files is brought to disk, behind an
// interface so that a test can record their order (the overwrite must reach the disk before the file
// loses its name or its length; no source is overwritten before its output's name is on disk) or make one
// of them fail. One implementation calls the system; each returns what its system call returns, with errno.
class FileCalls {
public:
    virtual ~FileCalls() = default;

    virtual int Open(const char* path, int flags) = 0;
    virtual int Fstat(int fd, struct stat* st) = 0;
    virtual bool Lock(int fd) = 0; // an exclusive advisory lock without waiting
    virtual ssize_t Write(int fd, const void* data, std::size_t n) = 0;
    virtual int Fdatasync(int fd) = 0;
    virtual int Fsync(int fd) = 0;
    virtual int Syncfs(int fd) = 0; // the whole file system that holds the file
    virtual int SyncFileRange(int fd, off_t offset, off_t n, unsigned int flags) = 0;
    virtual bool RenameNoReplace(const char* from, const char* to) = 0;
    virtual int Ftruncate(int fd, off_t length) = 0;
    virtual int Close(int fd) = 0;
    virtual int Unlink(const char* path) = 0;
};

FileCalls& SystemFileCalls() noexcept;

} // namespace vorlaxen
