#pragma once

// Block loops shared by the cipher files (internal to the engine). A kernel offers
//   std::uint64_t transform(std::uint64_t block) const;            one block
//   template <int N> void transformLanes(std::uint64_t (&)[N]) const; N independent blocks interleaved
// on blocks held as the 8 bytes in memory order (memcpy into a 64-bit word), so that chaining is a plain
// XOR. Only cipher block chaining encryption is serial; decryption and unchained encryption transform
// several independent blocks at once, which lets the processor overlap their round chains.

#include "engine/BlockChain.h"
#include "engine/Checksum.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace vorlaxen::chain_detail {

inline std::uint64_t Load(const std::uint8_t* p) noexcept {
    std::uint64_t x;
    std::memcpy(&x, p, 8);
    return x;
}

inline void Store(std::uint8_t* p, std::uint64_t x) noexcept {
    std::memcpy(p, &x, 8);
}

// Which bytes of a run the checksum covers: all of the first `whole` blocks, then `rest` bytes of the next.
struct Coverage {
    std::size_t whole;
    std::size_t rest;

    Coverage(std::size_t blocks, std::size_t checksumBytes) noexcept
        : whole(std::min(blocks, checksumBytes / kBlockSize))
        , rest(whole < blocks ? std::min(kBlockSize, checksumBytes - whole * kBlockSize) : 0) {}

    std::uint32_t add(std::uint32_t c, std::size_t index, const std::uint8_t* block) const noexcept {
        if (index < whole)
            return ChecksumBlock(c, block);
        if (index == whole && rest)
            return UpdateChecksum(c, block, rest);
        return c;
    }
};

inline bool Stopped(const std::atomic<bool>& abort) noexcept {
    return abort.load(std::memory_order_relaxed);
}

template <class Kernel>
std::size_t CbcEncrypt(const Kernel& kernel,
                       std::uint64_t& chain,
                       std::uint8_t* data,
                       std::size_t blocks,
                       std::size_t checksumBytes,
                       std::uint32_t& checksum,
                       const std::atomic<bool>& abort) {
    const Coverage coverage(blocks, checksumBytes);
    std::uint32_t c = checksum;
    std::uint64_t reg = chain;
    std::size_t i = 0;
    while (i < blocks) {
        std::uint8_t* p = data + i * kBlockSize;
        c = coverage.add(c, i, p);
        reg = kernel.transform(Load(p) ^ reg);
        Store(p, reg);
        ++i;
        if (Stopped(abort))
            break;
    }
    checksum = c;
    chain = reg;
    return i;
}

// Decryption in cipher block chaining (`chained`) or of independent blocks, and unchained encryption
// (`plainFirst`: the checksum is taken before the transformation).
template <int Lanes, class Kernel>
std::size_t Parallel(const Kernel& kernel,
                     bool chained,
                     bool plainFirst,
                     std::uint64_t& chain,
                     std::uint8_t* data,
                     std::size_t blocks,
                     std::size_t checksumBytes,
                     std::uint32_t& checksum,
                     const std::atomic<bool>& abort) {
    const Coverage coverage(blocks, checksumBytes);
    std::uint32_t c = checksum;
    std::uint64_t reg = chain;
    std::size_t i = 0;
    for (; i + Lanes <= blocks; i += Lanes) {
        std::uint8_t* p = data + i * kBlockSize;
        std::uint64_t in[Lanes];
        std::uint64_t x[Lanes];
        for (int n = 0; n < Lanes; ++n) {
            if (plainFirst)
                c = coverage.add(c, i + n, p + n * kBlockSize);
            in[n] = x[n] = Load(p + n * kBlockSize);
        }
        kernel.template transformLanes<Lanes>(x);
        for (int n = 0; n < Lanes; ++n) {
            if (chained) {
                x[n] ^= reg;
                reg = in[n];
            }
            Store(p + n * kBlockSize, x[n]);
            if (!plainFirst)
                c = coverage.add(c, i + n, p + n * kBlockSize);
        }
        // The flag is polled once for the group: nothing can set it between the group's blocks that
        // could not set it just after them.
        if (Stopped(abort)) {
            i += Lanes;
            checksum = c;
            chain = reg;
            return i;
        }
    }
    for (; i < blocks;) {
        std::uint8_t* p = data + i * kBlockSize;
        if (plainFirst)
            c = coverage.add(c, i, p);
        std::uint64_t in = Load(p);
        std::uint64_t x = kernel.transform(in);
        if (chained) {
            x ^= reg;
            reg = in;
        }
        Store(p, x);
        if (!plainFirst)
            c = coverage.add(c, i, p);
        ++i;
        if (Stopped(abort))
            break;
    }
    checksum = c;
    chain = reg;
    return i;
}

// A chain over one kernel: encryption and decryption differ only in the loop and the kernel's keys.
template <class Kernel, int Lanes>
class KernelChain final : public BlockChain {
public:
    KernelChain(bool chained, CipherDirection direction)
        : chained_(chained)
        , direction_(direction) {
        std::memcpy(&chain_, kInitialChainingValue, 8);
    }
    ~KernelChain() override { chain_ = 0; }

    Kernel& kernel() noexcept { return kernel_; }

    std::size_t run(std::uint8_t* data,
                    std::size_t blocks,
                    std::size_t checksumBytes,
                    std::uint32_t& checksum,
                    const std::atomic<bool>& abort) override {
        if (direction_ == CipherDirection::Encrypt && chained_)
            return CbcEncrypt(kernel_, chain_, data, blocks, checksumBytes, checksum, abort);
        return Parallel<Lanes>(kernel_,
                               chained_ && direction_ == CipherDirection::Decrypt,
                               direction_ == CipherDirection::Encrypt,
                               chain_,
                               data,
                               blocks,
                               checksumBytes,
                               checksum,
                               abort);
    }

private:
    Kernel kernel_;
    std::uint64_t chain_;
    bool chained_;
    CipherDirection direction_;
};

} // namespace vorlaxen::chain_detail
