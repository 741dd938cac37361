#include "platform/PendingFile.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

constexpr off_t kWritebackStep = off_t{8} << 20;

} // namespace

PendingFile::PendingFile(std::string target) : target_(std::move(target)) {}

PendingFile::~PendingFile() {
    if (!finished_)
        discard();
}

bool PendingFile::create() {
    fd_ = CreateTemporaryBeside(target_, tempPath_);
    finished_ = !fd_;
    return static_cast<bool>(fd_);
}

void PendingFile::startWriteback(off_t written) noexcept {
    if (!fd_ || written - writebackStarted_ < kWritebackStep)
        return;
    ::sync_file_range(fd_.get(), writebackStarted_, written - writebackStarted_, SYNC_FILE_RANGE_WRITE);
    writebackStarted_ = written;
}

PendingFile::Commit PendingFile::commit() {
    if (!fd_)
        return Commit::FlushFailed;
    if (::fsync(fd_.get()) != 0 || !fd_.close())
        return Commit::FlushFailed;
    if (::rename(tempPath_.c_str(), target_.c_str()) != 0)
        return Commit::RenameFailed;
    finished_ = true;
    SyncDirectoryOf(target_);
    return Commit::Done;
}

void PendingFile::discard(const Remover& remover) {
    if (finished_)
        return;
    finished_ = true;
    fd_.reset();
    if (remover && remover(tempPath_) == 0)
        return;
    ::unlink(tempPath_.c_str());
}

} // namespace vorlaxen
