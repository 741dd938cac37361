#include "platform/PendingFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

constexpr std::size_t kBufferSize = std::size_t{256} << 10;
// Writing to disk is started every few megabytes, so that the flush at commit finds little left to do.
constexpr off_t kWritebackStep = off_t{8} << 20;

} // namespace

PendingFile::PendingFile(std::string target)
    : target_(std::move(target))
    , buffer_(kBufferSize) {}

PendingFile::~PendingFile() {
    if (!finished_)
        discard();
}

bool PendingFile::create() {
    fd_ = CreateTemporaryBeside(target_, tempPath_);
    finished_ = !fd_;
    return static_cast<bool>(fd_);
}

bool PendingFile::write(const void* data, std::size_t n) {
    if (!buffer_) {
        // No memory for the buffer: every write goes to the system as it comes.
        if (!fd_ || !WriteFully(fd_.get(), data, n))
            return false;
        handedOver_ += static_cast<off_t>(n);
        return true;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (n > 0) {
        const std::size_t room = std::min(n, buffer_.size() - buffered_);
        std::memcpy(buffer_.data() + buffered_, bytes, room);
        buffered_ += room;
        bytes += room;
        n -= room;
        if (buffered_ == buffer_.size() && !flush())
            return false;
    }
    return true;
}

bool PendingFile::writeAt(const void* data, std::size_t n, off_t offset) {
    return flush() && WriteFullyAt(fd_.get(), data, n, offset);
}

bool PendingFile::flush() {
    if (!fd_)
        return false;
    if (buffered_ == 0)
        return true;
    if (!WriteFully(fd_.get(), buffer_.data(), buffered_))
        return false;
    handedOver_ += static_cast<off_t>(buffered_);
    buffered_ = 0;
    if (handedOver_ - writebackStarted_ >= kWritebackStep) {
        ::sync_file_range(fd_.get(), writebackStarted_, handedOver_ - writebackStarted_, SYNC_FILE_RANGE_WRITE);
        writebackStarted_ = handedOver_;
    }
    return true;
}

PendingFile::Commit PendingFile::commit() {
    if (!flush())
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
    buffer_.reset();
    buffered_ = 0;
    fd_.reset();
    if (remover && remover(tempPath_) == 0)
        return;
    ::unlink(tempPath_.c_str());
}

} // namespace vorlaxen
