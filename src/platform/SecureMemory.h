#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <type_traits>
#include <vector>

namespace vorlaxen {

// Overwrites n bytes with zeros in a way the compiler may not optimise away. Every buffer that held key
// bytes, schedules, passwords or plain data goes through here before it is released.
void SecureZero(void* data, std::size_t n) noexcept;

// Secret memory: every buffer that holds a password, key bytes, a key schedule, the key file's table text
// or plain data is taken from here, through the types below, which decide nothing of their own. Its pages
// are excluded from core dumps (MADV_DONTDUMP) and locked in memory (mlock) while the process's lock limit
// (RLIMIT_MEMLOCK) leaves room for them, so that the system never writes them to swap; where it leaves
// none, they are kept out of dumps and zeroed only, which the debug log says once. Every block is zeroed
// when it is given back, and so handed out zeroed. Locking works on whole pages: small blocks (up to
// 2 KiB) share pages, which the pool takes from the system 64 KiB at a time and keeps; larger ones have
// pages of their own, and up to 2 MiB of those are kept, zeroed and still locked, for the next file's
// buffers. Safe to use from several threads.

// A block of `size` bytes aligned to `alignment` (a power of two, at most a page), zeroed; null when the
// system gives no memory for it.
void* AllocateSecret(std::size_t size, std::size_t alignment = alignof(std::max_align_t)) noexcept;
// Zeroes the block and gives it back; `size` and `alignment` as it was taken.
void ReleaseSecret(void* block, std::size_t size, std::size_t alignment = alignof(std::max_align_t)) noexcept;

// What secret memory holds at the moment, in bytes of whole pages.
struct SecretMemoryUse {
    std::size_t mapped = 0;     // taken from the system and not given back
    std::size_t locked = 0;     // of those, locked in memory
    std::size_t mostLocked = 0; // the most that was locked at once
    bool lockRefused = false;   // some pages could not be locked
};
SecretMemoryUse SecretMemoryInUse() noexcept;

// The allocator of containers that hold secrets.
template <class T> struct SecretAllocator {
    using value_type = T;

    SecretAllocator() noexcept = default;
    template <class U> SecretAllocator(const SecretAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T))
            throw std::bad_array_new_length();
        void* block = AllocateSecret(n * sizeof(T), alignof(T));
        if (!block)
            throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* p, std::size_t n) noexcept { ReleaseSecret(p, n * sizeof(T), alignof(T)); }
    template <class U> bool operator==(const SecretAllocator<U>&) const noexcept { return true; }
};

// Bytes that hold a secret (a password, table text). Not a std::string: short strings live inside the
// string object itself and would escape secret memory.
using SecureBytes = std::vector<std::uint8_t, SecretAllocator<std::uint8_t>>;

// A buffer of fixed size in secret memory whose allocation may fail without throwing.
class SecureBuffer {
public:
    SecureBuffer() noexcept = default;
    explicit SecureBuffer(std::size_t size) noexcept { reallocate(size); }
    ~SecureBuffer() { reset(); }
    SecureBuffer(const SecureBuffer&) = delete;
    SecureBuffer& operator=(const SecureBuffer&) = delete;

    explicit operator bool() const noexcept { return data_ != nullptr; }
    std::uint8_t* data() noexcept { return data_; }
    const std::uint8_t* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }

    void reset() noexcept {
        if (data_) {
            ReleaseSecret(data_, size_);
            data_ = nullptr;
            size_ = 0;
        }
    }
    // The buffer replaced by a new one of `size` zero bytes; empty when there is no memory for it.
    void reallocate(std::size_t size) noexcept {
        reset();
        data_ = static_cast<std::uint8_t*>(AllocateSecret(size));
        size_ = data_ ? size : 0;
    }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// A small fixed array (a key, a chaining register, a byte of a password on its way) in secret memory,
// zeroed, given back on every way out. Throws std::bad_alloc when the system gives no memory for it.
template <class T, std::size_t N> class ZeroingArray {
    static_assert(std::is_trivial_v<T>, "secret memory is handed out as zero bytes");

public:
    ZeroingArray()
        : items(*static_cast<T (*)[N]>(Take())) {}
    ~ZeroingArray() { ReleaseSecret(items, sizeof items, alignof(T)); }
    ZeroingArray(const ZeroingArray&) = delete;
    ZeroingArray& operator=(const ZeroingArray&) = delete;

    T* data() noexcept { return items; }
    const T* data() const noexcept { return items; }
    static constexpr std::size_t size() noexcept { return N; }
    T& operator[](std::size_t i) noexcept { return items[i]; }
    const T& operator[](std::size_t i) const noexcept { return items[i]; }

    T (&items)[N];

private:
    static void* Take() {
        void* block = AllocateSecret(sizeof(T[N]), alignof(T));
        if (!block)
            throw std::bad_alloc();
        return block;
    }
};

// A base for objects that hold secrets in themselves (a cipher's key schedules): an object of a derived
// class made with new lives in secret memory. Throws std::bad_alloc when the system gives no memory.
struct SecretObject {
    static void* operator new(std::size_t size) { return Take(size, alignof(std::max_align_t)); }
    static void* operator new(std::size_t size, std::align_val_t alignment) {
        return Take(size, static_cast<std::size_t>(alignment));
    }
    static void operator delete(void* p, std::size_t size) noexcept { ReleaseSecret(p, size); }
    static void operator delete(void* p, std::size_t size, std::align_val_t alignment) noexcept {
        ReleaseSecret(p, size, static_cast<std::size_t>(alignment));
    }

private:
    static void* Take(std::size_t size, std::size_t alignment) {
        void* block = AllocateSecret(size, alignment);
        if (!block)
            throw std::bad_alloc();
        return block;
    }
};

} // namespace vorlaxen
