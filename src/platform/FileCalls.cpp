#include "platform/FileCalls.h"

#include "platform/FileSystem.h"
#include "platform/SourceFile.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace vorlaxen {

namespace {

class SystemCalls final : public FileCalls {
public:
    int Open(const char* path, int flags) override { return ::open(path, flags); }
    int Fstat(int fd, struct stat* st) override { return ::fstat(fd, st); }
    bool Lock(int fd) override { return LockWithoutWaiting(fd); }
    ssize_t Write(int fd, const void* data, std::size_t n) override { return ::write(fd, data, n); }
    int Fdatasync(int fd) override { return ::fdatasync(fd); }
    int Fsync(int fd) override { return ::fsync(fd); }
    int Syncfs(int fd) override { return ::syncfs(fd); }
    int SyncFileRange(int fd, off_t offset, off_t n, unsigned int flags) override {
        return ::sync_file_range(fd, offset, n, flags);
    }
    bool RenameNoReplace(const char* from, const char* to) override {
        return vorlaxen::RenameNoReplace(std::string(from), std::string(to));
    }
    int Ftruncate(int fd, off_t length) override { return ::ftruncate(fd, length); }
    int Close(int fd) override { return ::close(fd); }
    int Unlink(const char* path) override { return ::unlink(path); }
};

} // namespace

FileCalls& SystemFileCalls() noexcept {
    static SystemCalls calls;
    return calls;
}

} // namespace vorlaxen
