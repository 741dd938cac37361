#pragma once

// The vector form of the parallel block loop (internal to the engine): cipher block chaining decryption
// and blocks each alone, a group of independent blocks at a time in vector registers. The kernels live
// in files of their own, compiled for their instruction set and called only where the processor has it
// (see VectorIsa.h); the scalar loop of ChainModes.h takes what is left over.

#include "engine/BlockChain.h"
#include "engine/Checksum.h"
#include "engine/VectorIsa.h"
#include "platform/SecureMemory.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vorlaxen::chain_detail {

// One cipher's vector loop for one instruction set, with the key in the form its kernel reads; it lives in
// secret memory.
class VectorLoop : public SecretObject {
public:
    virtual ~VectorLoop() = default;
    virtual VectorIsa isa() const noexcept = 0;

    // Runs whole groups over the start of `data`, as Parallel in ChainModes.h does, and returns the blocks
    // done: all of them, fewer when the rest is too short for a group, or fewer when `abort` was set
    // (it is polled after every group). `checksum` is up to date for the blocks done, unless `more` is
    // set and every block was done: the checksum of the last group's plain bytes may then be left to the
    // next call (see BlockChain::run).
    virtual std::size_t run(bool chained,
                            bool plainFirst,
                            std::uint64_t& chain,
                            std::uint8_t* data,
                            std::size_t blocks,
                            std::size_t checksumBytes,
                            std::uint32_t& checksum,
                            const std::atomic<bool>& abort,
                            bool more) = 0;
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

    // What is left of the run, for a copy to take its place (see DeferredChecksum).
    std::size_t leftover() const noexcept { return active_ ? left_ : 0; }
    const std::uint8_t* leftoverBytes() const noexcept { return next_; }
    void moveLeftover(const std::uint8_t* copy) noexcept { next_ = copy; }

private:
    const std::uint8_t* next_ = nullptr;
    std::size_t left_ = 0;
    std::size_t part_ = 0;
    std::uint32_t value_;
    ChecksumChain chain_{};
    bool active_ = false;
};

// The checksum of the last group's plain bytes, kept from one run to the next: taken among the next run's
// first rounds, it overlaps with cipher work like the rest, where it would otherwise be taken alone at
// the end of every short run. The bytes are copied, as the caller may reuse its buffer. Wiped after use
// and on destruction.
class DeferredChecksum {
public:
    DeferredChecksum() = default;
    ~DeferredChecksum() { SecureZero(bytes_, sizeof bytes_); }
    DeferredChecksum(const DeferredChecksum&) = delete;
    DeferredChecksum& operator=(const DeferredChecksum&) = delete;

    // The fold to continue with: the kept one, else a new one from `checksum`.
    ChecksumFold take(std::uint32_t checksum) noexcept {
        if (!kept_)
            return ChecksumFold(checksum);
        kept_ = false;
        read_ = true;
        return fold_;
    }

    // Keeps `fold` for the next run, when its rest fits.
    bool keep(const ChecksumFold& fold) noexcept {
        const std::size_t n = fold.leftover();
        if (n > sizeof bytes_)
            return false;
        // A run of no blocks keeps the fold it was given, which reads the copy already; a fold with
        // nothing left over may have no bytes to point at.
        if (n > 0 && fold.leftoverBytes() != bytes_)
            std::memcpy(bytes_, fold.leftoverBytes(), n);
        fold_ = fold;
        fold_.moveLeftover(bytes_);
        kept_ = true;
        return true;
    }

    // Wipes the copy once the fold that read it is finished.
    void wipe() noexcept {
        if (read_)
            SecureZero(bytes_, sizeof bytes_);
        read_ = false;
    }

private:
    ChecksumFold fold_{0};
    bool kept_ = false;
    bool read_ = false;
    alignas(64) std::uint8_t bytes_[kBlocksPerAbortPoll * kBlockSize];
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
                            DeferredChecksum& deferred,
                            bool chained,
                            bool plainFirst,
                            std::uint64_t& chain,
                            std::uint8_t* data,
                            std::size_t blocks,
                            std::size_t checksumBytes,
                            std::uint32_t& checksum,
                            const std::atomic<bool>& abort,
                            bool more) {
    ChecksumFold fold = deferred.take(checksum);
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
        deferred.wipe();
        if (chained)
            chain = last;
        if (!plainFirst)
            fold.cover(p, covered);
        i += n;
        if (abort.load(std::memory_order_relaxed))
            break;
    }
    if (!(more && i == blocks && !plainFirst && deferred.keep(fold))) {
        fold.finish();
        deferred.wipe();
    }
    checksum = fold.value();
    return i;
}

} // namespace vorlaxen::chain_detail
