#pragma once

#include "platform/SecureMemory.h"

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

namespace vorlaxen {

// Reads a file from its current position to its end through a buffer of a few hundred kilobytes, handing
// it out in the pieces the caller asks for: the system sees one large read where it would see dozens of
// small ones, each of which costs it more than the copying. The buffer may hold plain data and is zeroed
// when released.
class BufferedReader {
public:
    // `expected`: the bytes the file is known to hold, when known (not 0): the buffer is then no larger
    // than needs be, so that a small file costs no buffer of a few hundred kilobytes to lock and zero.
    explicit BufferedReader(int fd, std::uint64_t expected = 0) noexcept;
    BufferedReader(const BufferedReader&) = delete;
    BufferedReader& operator=(const BufferedReader&) = delete;

    // Whether the buffer could be allocated; without it, read() reads each piece from the file as it is
    // asked for and take() gives nothing.
    explicit operator bool() const noexcept { return static_cast<bool>(buffer_); }

    // Reads n bytes, fewer only where the file ends; the count read, or -1 when a read fails (as ReadFully).
    ssize_t read(void* data, std::size_t n) noexcept;
    // The same, but what is not in the buffer already is read from the file straight into `data`, without
    // passing through the buffer: for pieces as large as the buffer, read where they are to be used.
    ssize_t readDirect(void* data, std::size_t n) noexcept;
    // The next n bytes (n at most capacity()) inside the buffer itself, for the caller to read or change in
    // place; they stay there until a call that reads from the file (see holds()). Null when the file ends
    // before them or a read fails.
    std::uint8_t* take(std::size_t n) noexcept;
    // Whether the next n bytes are in the buffer already, so that take(n) leaves the pieces handed out
    // before where they are.
    bool holds(std::size_t n) const noexcept { return end_ - start_ >= n; }
    std::size_t capacity() const noexcept { return buffer_.size(); }

    // Zeroes and frees the buffer; the reader then reads no more.
    void release() noexcept;

private:
    bool fill(std::size_t wanted) noexcept;

    int fd_;
    SecureBuffer buffer_;
    std::size_t start_ = 0; // the next byte to hand out
    std::size_t end_ = 0;   // the end of what was read into the buffer
    bool ended_ = false;    // the file's end was reached
};

} // namespace vorlaxen
