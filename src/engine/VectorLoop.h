#pragma once

// The vector form of the parallel block loop (internal to the engine): cipher block chaining decryption
// and blocks each alone, a group of independent blocks at a time in vector registers. The kernels live
// in files of their own, compiled for their instruction set and called only where the processor has it
// (see VectorIsa.h); the scalar loop of ChainModes.h takes what is left over.

#include "engine/BlockChain.h"
#include "engine/Checksum.h"
#include "engine/VectorIsa.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vorlaxen::chain_detail {

// One cipher's vector loop for one instruction set, with the key in the form its kernel reads.
class VectorLoop {
public:
    virtual ~VectorLoop() = default;
    virtual VectorIsa isa() const noexcept = 0;

    // Runs whole groups over the start of `data`, as Parallel in ChainModes.h does, and returns the blocks
    // done: all of them, fewer when the rest is too short for a group, or fewer when `abort` was set
    // (it is polled after every group). `checksum` is up to date for the blocks done.
    virtual std::size_t run(bool chained,
                            bool plainFirst,
                            std::uint64_t& chain,
                            std::uint8_t* data,
                            std::size_t blocks,
                            std::size_t checksumBytes,
                            std::uint32_t& checksum,
                            const std::atomic<bool>& abort) const = 0;
};

// The data checksum over a run of bytes, taken a part at a time among a kernel's rounds: the checksum is
// one long serial chain, the rounds of a group are independent work, and the processor overlaps the two
// only when they come to it interleaved.
class ChecksumFold {
public:
    explicit ChecksumFold(std::uint32_t value) noexcept
        : value_(value) {}

    std::uint32_t value() const noexcept { return value_; }

    // The run of `count` bytes at `p` comes next (the one before must be finished).
    void cover(const std::uint8_t* p, std::size_t count) noexcept {
        active_ = count > 0;
        if (active_) {
            chain_ = ChecksumChain::Start(value_, p[0]);
            next_ = p + 1;
            left_ = count - 1;
        }
    }

    // The kernel will call step() `steps` times.
    void plan(int steps) noexcept {
        part_ = (left_ + static_cast<std::size_t>(steps) - 1) / static_cast<std::size_t>(steps);
    }

    [[gnu::always_inline]] void step() noexcept {
        const std::size_t n = std::min(part_, left_);
        chain_.advance(next_, n);
        next_ += n;
        left_ -= n;
    }

    // Takes what is left of the run.
    [[gnu::always_inline]] void finish() noexcept {
        if (active_) {
            chain_.advance(next_, left_);
            value_ = chain_.finish();
            active_ = false;
            left_ = 0;
        }
    }

private:
    const std::uint8_t* next_ = nullptr;
    std::size_t left_ = 0;
    std::size_t part_ = 0;
    std::uint32_t value_;
    ChecksumChain chain_{};
    bool active_ = false;
};

// The loop over groups for a kernel that offers
//   std::size_t groupFor(std::size_t remaining) const;  blocks of the next group, 0 to leave the rest
//   void transform(std::size_t n, std::uint8_t* blocks, std::uint64_t previous, bool chained,
//                  ChecksumFold& fold) const;
// where transform runs the n blocks in place, XORs each result with the block before it (the first with
// `previous`) when chained, and takes `fold` among its rounds (plan, then steps) and finishes it before
// it writes anything.
template <class Kernel>
std::size_t RunVectorGroups(const Kernel& kernel,
                            bool chained,
                            bool plainFirst,
                            std::uint64_t& chain,
                            std::uint8_t* data,
                            std::size_t blocks,
                            std::size_t checksumBytes,
                            std::uint32_t& checksum,
                            const std::atomic<bool>& abort) {
    ChecksumFold fold(checksum);
    std::size_t i = 0;
    for (std::size_t n; (n = kernel.groupFor(blocks - i)) != 0;) {
        std::uint8_t* p = data + i * kBlockSize;
        const std::size_t start = i * kBlockSize;
        const std::size_t covered = checksumBytes > start ? std::min(checksumBytes - start, n * kBlockSize) : 0;
        // Encrypting, the checksum is of this group's plain blocks; decrypting, of the previous group's,
        // which the fold still holds.
        if (plainFirst)
            fold.cover(p, covered);
        std::uint64_t last;
        std::memcpy(&last, p + (n - 1) * kBlockSize, kBlockSize);
        kernel.transform(n, p, chain, chained, fold);
        if (chained)
            chain = last;
        if (!plainFirst)
            fold.cover(p, covered);
        i += n;
        if (abort.load(std::memory_order_relaxed))
            break;
    }
    fold.finish();
    checksum = fold.value();
    return i;
}

} // namespace vorlaxen::chain_detail
