#include "platform/BufferedReader.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace vorlaxen {

namespace {

constexpr std::size_t kBufferSize = std::size_t{256} << 10;
constexpr std::size_t kSmallestBuffer = std::size_t{4} << 10;

std::size_t BufferSizeFor(std::uint64_t expected) noexcept {
    if (expected == 0 || expected >= kBufferSize)
        return kBufferSize;
    // One byte more than the file, so that the read that finds its end fits too.
    const std::uint64_t pages = (expected + kSmallestBuffer) / kSmallestBuffer;
    return static_cast<std::size_t>(pages * kSmallestBuffer);
}

} // namespace

BufferedReader::BufferedReader(int fd, std::uint64_t expected) noexcept
    : fd_(fd)
    , buffer_(BufferSizeFor(expected)) {}

// Reads until at least `wanted` bytes are waiting or the file ends; what is still waiting moves to the
// front first when the room behind it is too short. False when a read fails.
bool BufferedReader::fill(std::size_t wanted) noexcept {
    if (end_ - start_ >= wanted || ended_)
        return true;
    if (buffer_.size() - start_ < wanted) {
        std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
        end_ -= start_;
        start_ = 0;
    }
    while (end_ - start_ < wanted && !ended_) {
        const ssize_t got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        ended_ = got == 0;
        end_ += static_cast<std::size_t>(got);
    }
    return true;
}

ssize_t BufferedReader::read(void* data, std::size_t n) noexcept {
    if (!buffer_)
        return fd_ >= 0 ? ReadFully(fd_, data, n) : -1;
    auto* out = static_cast<std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < n) {
        if (start_ == end_ && !fill(std::min(n - done, buffer_.size())))
            return -1;
        if (start_ == end_)
            break;
        const std::size_t piece = std::min(n - done, end_ - start_);
        std::memcpy(out + done, buffer_.data() + start_, piece);
        start_ += piece;
        done += piece;
    }
    return static_cast<ssize_t>(done);
}

ssize_t BufferedReader::readDirect(void* data, std::size_t n) noexcept {
    auto* out = static_cast<std::uint8_t*>(data);
    const std::size_t buffered = std::min(n, end_ - start_);
    if (buffered > 0)
        std::memcpy(out, buffer_.data() + start_, buffered);
    start_ += buffered;
    if (buffered == n || ended_ || fd_ < 0)
        return static_cast<ssize_t>(buffered);
    const ssize_t got = ReadFully(fd_, out + buffered, n - buffered);
    if (got < 0)
        return -1;
    ended_ = static_cast<std::size_t>(got) < n - buffered;
    return static_cast<ssize_t>(buffered) + got;
}

std::uint8_t* BufferedReader::take(std::size_t n) noexcept {
    if (n > buffer_.size() || !fill(n) || end_ - start_ < n)
        return nullptr;
    std::uint8_t* piece = buffer_.data() + start_;
    start_ += n;
    return piece;
}

void BufferedReader::release() noexcept {
    buffer_.reset();
    start_ = 0;
    end_ = 0;
    fd_ = -1;
}

} // namespace vorlaxen
