#pragma once

#include "platform/FileCalls.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

namespace vorlaxen::test {

// The system's calls, each also written down in `calls` as "call" or "call name-or-size". A call named in
// `failing` fails (a write as on a full disk, any other with EIO). `onCall`, when set, hears of each call
// before it is made, with its note and its descriptor (-1 for a call by name), and fails it with EIO by
// answering false.
class RecordingCalls : public FileCalls {
public:
    int Open(const char* path, int flags) override {
        if (!allowed("open " + FileNameOf(path), -1))
            return -1;
        return SystemFileCalls().Open(path, flags);
    }
    int Fstat(int fd, struct stat* st) override { return SystemFileCalls().Fstat(fd, st); }
    bool Lock(int fd) override {
        if (!allowed("lock", fd))
            return false;
        return SystemFileCalls().Lock(fd);
    }
    ssize_t Write(int fd, const void* data, std::size_t n) override {
        if (!allowed("write " + std::to_string(n), fd, ENOSPC))
            return -1;
        return SystemFileCalls().Write(fd, data, n);
    }
    int Fdatasync(int fd) override { return allowed("fdatasync", fd) ? SystemFileCalls().Fdatasync(fd) : -1; }
    int Fsync(int fd) override { return allowed("fsync", fd) ? SystemFileCalls().Fsync(fd) : -1; }
    int Syncfs(int fd) override { return allowed("syncfs", fd) ? SystemFileCalls().Syncfs(fd) : -1; }
    int SyncFileRange(int fd, off_t offset, off_t n, unsigned int flags) override {
        return allowed("sync_file_range", fd) ? SystemFileCalls().SyncFileRange(fd, offset, n, flags) : -1;
    }
    bool RenameNoReplace(const char* from, const char* to) override {
        if (!allowed("rename " + FileNameOf(from) + " " + FileNameOf(to), -1))
            return false;
        return SystemFileCalls().RenameNoReplace(from, to);
    }
    int Ftruncate(int fd, off_t length) override {
        return allowed("ftruncate " + std::to_string(length), fd) ? SystemFileCalls().Ftruncate(fd, length) : -1;
    }
    int Close(int fd) override {
        calls.push_back("close");
        return SystemFileCalls().Close(fd);
    }
    int Unlink(const char* path) override {
        return allowed("unlink " + FileNameOf(path), -1) ? SystemFileCalls().Unlink(path) : -1;
    }

    std::vector<std::string> calls;
    std::string failing;
    std::function<bool(const std::string& call, int fd)> onCall;

private:
    bool allowed(const std::string& call, int fd, int error = EIO) {
        calls.push_back(call);
        const bool fails = call.substr(0, call.find(' ')) == failing || (onCall && !onCall(call, fd));
        if (fails)
            errno = error;
        return !fails;
    }
};

} // namespace vorlaxen::test
