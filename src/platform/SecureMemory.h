#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

namespace vorlaxen {

// Overwrites n bytes with zeros in a way the compiler may not optimise away. Every buffer that held key
// bytes, schedules, passwords or plain data goes through here before it is released.
void SecureZero(void* data, std::size_t n) noexcept;

// Allocator that zeroes every block before giving it back, so that containers holding secrets leave
// nothing behind when they grow, shrink or die.
template <class T> struct ZeroingAllocator {
    using value_type = T;

    ZeroingAllocator() noexcept = default;
    template <class U> ZeroingAllocator(const ZeroingAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(::operator new(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        SecureZero(p, n * sizeof(T));
        ::operator delete(p);
    }
    template <class U> bool operator==(const ZeroingAllocator<U>&) const noexcept { return true; }
};

// Bytes that hold a secret (a password, table text). Not a std::string: short strings live inside the
// string object itself and would escape the zeroing allocator.
using SecureBytes = std::vector<std::uint8_t, ZeroingAllocator<std::uint8_t>>;

// A heap buffer of fixed size whose allocation may fail without throwing; it is zeroed on release.
class SecureBuffer {
public:
    SecureBuffer() noexcept
        : data_(nullptr)
        , size_(0) {}
    explicit SecureBuffer(std::size_t size) noexcept
        : data_(new (std::nothrow) std::uint8_t[size]())
        , size_(data_ ? size : 0) {}
    ~SecureBuffer() { reset(); }
    SecureBuffer(const SecureBuffer&) = delete;
    SecureBuffer& operator=(const SecureBuffer&) = delete;

    explicit operator bool() const noexcept { return data_ != nullptr; }
    std::uint8_t* data() noexcept { return data_; }
    const std::uint8_t* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }

    void reset() noexcept {
        if (data_) {
            SecureZero(data_, size_);
            delete[] data_;
            data_ = nullptr;
            size_ = 0;
        }
    }
    // The buffer replaced by a new one of `size` zero bytes; empty when there is no memory for it.
    void reallocate(std::size_t size) noexcept {
        reset();
        data_ = new (std::nothrow) std::uint8_t[size]();
        size_ = data_ ? size : 0;
    }

private:
    std::uint8_t* data_;
    std::size_t size_;
};

// A small fixed array on the stack (a key, a chaining register) that zeroes itself on every way out.
template <class T, std::size_t N> struct ZeroingArray {
    T items[N] = {};

    ZeroingArray() = default;
    ~ZeroingArray() { SecureZero(items, sizeof items); }
    ZeroingArray(const ZeroingArray&) = delete;
    ZeroingArray& operator=(const ZeroingArray&) = delete;

    T* data() noexcept { return items; }
    const T* data() const noexcept { return items; }
    static constexpr std::size_t size() noexcept { return N; }
    T& operator[](std::size_t i) noexcept { return items[i]; }
    const T& operator[](std::size_t i) const noexcept { return items[i]; }
};

} // namespace vorlaxen
