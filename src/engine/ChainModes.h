#pragma once

// Block loops shared by the cipher files (internal to the engine). A kernel offers
//   std::uint64_t transform(std::uint64_t block) const;            one block
//   template <int N> void transformLanes(std::uint64_t (&)[N]) const; N independent blocks interleaved
// on blocks held as the 8 bytes in memory order (memcpy into a 64-bit word), so that chaining is a plain
// XOR. Only cipher block chaining encryption is serial; decryption and unchained encryption transform
// several independent blocks at once, which lets the processor overlap their round chains.
//
// A kernel whose transformation is store(advance(load(block))), with load and store linear (they keep
// XOR) and store undoing load, may also offer
//   State load(std::uint64_t block) const;  std::uint64_t store(const State&) const;
//   void advance(State&) const;              and State ^= State
// Cipher block chaining encryption then chains in the loaded form, since load(p ^ c) = load(p) ^ load(c)
// and load(c) is the state that advance left: load and store run beside the serial chain, not in it.
// Such a kernel may split its lanes the same way:
//   template <int N> void loadLanes(const std::uint64_t (&blocks)[N], State (&s)[N]) const;
//   template <int N> void advanceLanes(State (&s)[N], std::uint32_t* checksum,
//                                      const std::uint64_t (*plain)[N]) const;
//   template <int N> void storeLanes(const State (&s)[N], std::uint64_t (&blocks)[N]) const;
// where advanceLanes also continues *checksum over the N blocks at `plain` when it is given. The
// parallel loop then loads each group while the group before is still in its rounds, and takes the
// checksum among the rounds (see GroupRunner).

#include "engine/BlockChain.h"
#include "engine/Checksum.h"
#include "engine/VectorLoop.h"
#include "platform/SecureMemory.h"

#include <algorithm>
#include <atomic>
#include <concepts>
#include <cstring>
#include <memory>

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

// Zeroes a local that held plain data when the block loop returns, on every way out.
template <class T> struct ZeroOnExit {
    T& object;
    ~ZeroOnExit() { SecureZero(&object, sizeof object); }
};

inline bool Stopped(const std::atomic<bool>& abort) noexcept {
    return abort.load(std::memory_order_relaxed);
}

template <class Kernel>
concept LoadedFormKernel = requires(const Kernel& kernel, std::uint64_t block, typename Kernel::State s) {
    { kernel.load(block) } -> std::same_as<typename Kernel::State>;
    { kernel.store(s) } -> std::same_as<std::uint64_t>;
    kernel.advance(s);
    s ^= s;
};

template <class Kernel, int N>
concept SplitLanesKernel = LoadedFormKernel<Kernel> && requires(const Kernel& kernel,
                                                                const std::uint64_t (&in)[N],
                                                                std::uint64_t (&out)[N],
                                                                typename Kernel::State (&s)[N],
                                                                std::uint32_t* checksum,
                                                                const std::uint64_t (*plain)[N]) {
    kernel.template loadLanes<N>(in, s);
    kernel.template advanceLanes<N>(s, checksum, plain);
    kernel.template storeLanes<N>(s, out);
};

// Groups of Lanes blocks through a kernel, for the parallel loop. This one calls transformLanes.
template <class Kernel, int Lanes, bool Split = SplitLanesKernel<Kernel, Lanes>> class GroupRunner {
public:
    static constexpr bool kFoldsChecksum = false;

    explicit GroupRunner(const Kernel& kernel) noexcept
        : kernel_(kernel) {}

    void start(const std::uint8_t*) noexcept {}

    // Transforms the group x, read from memory; `next` is the next group's place, or null.
    [[gnu::always_inline]] void
    run(std::uint64_t (&x)[Lanes], const std::uint8_t*, std::uint32_t*, const std::uint64_t (*)[Lanes]) noexcept {
        kernel_.template transformLanes<Lanes>(x);
    }

private:
    const Kernel& kernel_;
};

// This one loads each group one group ahead: the processor's window cannot reach past a whole group
// of rounds, so left to itself it would start the next group's permutations only when the rounds are
// done. It also folds the checksum into the rounds: the checksum is one long serial chain, and left
// after a group it would fill the window and keep the next group from starting.
template <class Kernel, int Lanes> class GroupRunner<Kernel, Lanes, true> {
public:
    static constexpr bool kFoldsChecksum = true;

    explicit GroupRunner(const Kernel& kernel) noexcept
        : kernel_(kernel) {}
    ~GroupRunner() { SecureZero(ahead_, sizeof ahead_); }
    GroupRunner(const GroupRunner&) = delete;
    GroupRunner& operator=(const GroupRunner&) = delete;

    // `first` is the first group's place.
    void start(const std::uint8_t* first) noexcept { loadAhead(first); }

    // Transforms the group started or loaded ahead into x, loading `next` (the next group's place, or
    // null) on the way, and continuing *checksum over the group at `plain` when it is given.
    [[gnu::always_inline]] void run(std::uint64_t (&x)[Lanes],
                                    const std::uint8_t* next,
                                    std::uint32_t* checksum,
                                    const std::uint64_t (*plain)[Lanes]) noexcept {
        typename Kernel::State s[Lanes];
        for (int n = 0; n < Lanes; ++n)
            s[n] = ahead_[n];
        if (next)
            loadAhead(next);
        kernel_.template advanceLanes<Lanes>(s, checksum, plain);
        kernel_.template storeLanes<Lanes>(s, x);
    }

private:
    void loadAhead(const std::uint8_t* p) noexcept {
        std::uint64_t blocks[Lanes];
        for (int n = 0; n < Lanes; ++n)
            blocks[n] = Load(p + n * kBlockSize);
        kernel_.template loadLanes<Lanes>(blocks, ahead_);
        // Kept in memory until the group's turn: parked in vector registers instead, it would come back
        // to the rounds' registers a word at a time, on the group's critical path.
#if defined(__GNUC__)
        asm("" : "+m"(ahead_));
#endif
    }

    const Kernel& kernel_;
    typename Kernel::State ahead_[Lanes];
};

// A kernel that can take a block's checksum among that block's rounds, reading its plain bytes where they
// lie.
template <class Kernel>
concept FoldsChecksumOneLane =
    requires(const Kernel& k, typename Kernel::State& s, std::uint32_t& c, const std::uint8_t* b) {
    k.advanceFolding(s, c, b);
};

// Reads the plain blocks at `in` and writes the encrypted ones at `out`, which is `in` itself or a place
// that does not overlap it.
template <class Kernel>
[[gnu::always_inline]] inline std::size_t CbcEncryptLoop(const Kernel& kernel,
                                                         std::uint64_t& chain,
                                                         const std::uint8_t* in,
                                                         std::uint8_t* out,
                                                         std::size_t blocks,
                                                         std::size_t checksumBytes,
                                                         std::uint32_t& checksum,
                                                         const std::atomic<bool>& abort) {
    const Coverage coverage(blocks, checksumBytes);
    std::uint32_t c = checksum;
    std::size_t i = 0;
    if constexpr (LoadedFormKernel<Kernel>) {
        // The next block is loaded before the rounds of this one, so that the processor, whose window
        // cannot reach past a whole block of rounds, has it ready when the chain gets there.
        typename Kernel::State reg = kernel.load(chain);
        typename Kernel::State next = kernel.load(blocks ? Load(in) : 0);
        ZeroOnExit<typename Kernel::State> wipeNext{next};
        while (i < blocks) {
            const std::uint8_t* p = in + i * kBlockSize;
            reg ^= next;
            if (i + 1 < blocks)
                next = kernel.load(Load(p + kBlockSize));
            if constexpr (FoldsChecksumOneLane<Kernel>) {
                if (i < coverage.whole) {
                    // The plain bytes are read from the buffer, before the block's store when it is
                    // encrypted in place: copied to the stack first, each block's copy would be a store
                    // that the rounds' loads wait on or are replayed for.
                    kernel.advanceFolding(reg, c, p);
                } else {
                    c = coverage.add(c, i, p);
                    kernel.advance(reg);
                }
            } else {
                c = coverage.add(c, i, p);
                kernel.advance(reg);
            }
            Store(out + i * kBlockSize, kernel.store(reg));
            ++i;
            if (Stopped(abort))
                break;
        }
        chain = kernel.store(reg);
    } else {
        std::uint64_t reg = chain;
        while (i < blocks) {
            const std::uint8_t* p = in + i * kBlockSize;
            c = coverage.add(c, i, p);
            reg = kernel.transform(Load(p) ^ reg);
            Store(out + i * kBlockSize, reg);
            ++i;
            if (Stopped(abort))
                break;
        }
        chain = reg;
    }
    checksum = c;
    return i;
}

// Kept out of the chain's run(), so that the parallel loop inlined there keeps the registers to itself. In
// place, and from one buffer into another: two functions, so that the loop in place, which gets one
// pointer fewer, keeps the registers it was tuned with.
template <class Kernel>
[[gnu::noinline]] std::size_t CbcEncrypt(const Kernel& kernel,
                                         std::uint64_t& chain,
                                         std::uint8_t* data,
                                         std::size_t blocks,
                                         std::size_t checksumBytes,
                                         std::uint32_t& checksum,
                                         const std::atomic<bool>& abort) {
    return CbcEncryptLoop(kernel, chain, data, data, blocks, checksumBytes, checksum, abort);
}

template <class Kernel>
[[gnu::noinline]] std::size_t CbcEncryptInto(const Kernel& kernel,
                                             std::uint64_t& chain,
                                             const std::uint8_t* in,
                                             std::uint8_t* out,
                                             std::size_t blocks,
                                             std::size_t checksumBytes,
                                             std::uint32_t& checksum,
                                             const std::atomic<bool>& abort) {
    return CbcEncryptLoop(kernel, chain, in, out, blocks, checksumBytes, checksum, abort);
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
    using Runner = GroupRunner<Kernel, Lanes>;
    const Coverage coverage(blocks, checksumBytes);
    std::uint32_t c = checksum;
    std::uint64_t reg = chain;
    std::size_t i = 0;
    Runner runner(kernel);
    if (Lanes <= blocks)
        runner.start(data);
    // Plain blocks of the previous group whose checksum is still to be taken, when decrypting with a
    // runner that folds the checksum into the next group's rounds.
    std::uint64_t pending[Lanes] = {};
    std::uint64_t in[Lanes];
    std::uint64_t x[Lanes];
    ZeroOnExit<std::uint64_t[Lanes]> wipePending{pending}, wipeIn{in}, wipeX{x};
    bool hasPending = false;
    auto flushPending = [&] {
        if (hasPending)
            for (int n = 0; n < Lanes; ++n) {
                ZeroingArray<std::uint8_t, kBlockSize> bytes;
                Store(bytes.data(), pending[n]);
                c = ChecksumBlock(c, bytes.data());
            }
        hasPending = false;
    };
    for (; i + Lanes <= blocks; i += Lanes) {
        std::uint8_t* p = data + i * kBlockSize;
        const std::uint8_t* next = i + 2 * Lanes <= blocks ? p + Lanes * kBlockSize : nullptr;
        const bool covered = i + Lanes <= coverage.whole;
        for (int n = 0; n < Lanes; ++n)
            in[n] = x[n] = Load(p + n * kBlockSize);
        // The checksum the runner takes among the rounds: this group's plain blocks when encrypting,
        // the previous group's when decrypting.
        std::uint32_t* fold = nullptr;
        const std::uint64_t(*plain)[Lanes] = nullptr;
        if (Runner::kFoldsChecksum && plainFirst && covered) {
            fold = &c;
            plain = &in;
        } else if (hasPending) {
            fold = &c;
            plain = &pending;
            hasPending = false;
        } else {
            for (int n = 0; plainFirst && n < Lanes; ++n)
                c = coverage.add(c, i + n, p + n * kBlockSize);
        }
        runner.run(x, next, fold, plain);
        for (int n = 0; n < Lanes; ++n) {
            if (chained) {
                x[n] ^= reg;
                reg = in[n];
            }
            Store(p + n * kBlockSize, x[n]);
        }
        if (!plainFirst) {
            if (Runner::kFoldsChecksum && covered) {
                for (int n = 0; n < Lanes; ++n)
                    pending[n] = x[n];
                hasPending = true;
            } else {
                for (int n = 0; n < Lanes; ++n)
                    c = coverage.add(c, i + n, p + n * kBlockSize);
            }
        }
        // The flag is polled once for the group: nothing can set it between the group's blocks that
        // could not set it just after them.
        if (Stopped(abort)) {
            flushPending();
            i += Lanes;
            checksum = c;
            chain = reg;
            return i;
        }
    }
    flushPending();
    for (; i < blocks;) {
        std::uint8_t* p = data + i * kBlockSize;
        if (plainFirst)
            c = coverage.add(c, i, p);
        in[0] = Load(p);
        x[0] = kernel.transform(in[0]);
        if (chained) {
            x[0] ^= reg;
            reg = in[0];
        }
        Store(p, x[0]);
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

// A chain over one kernel: encryption and decryption differ only in the loop and the kernel's keys. A
// vector loop, where the chain has one, runs the parallel loops' whole groups; the kernel the rest.
template <class Kernel, int Lanes> class KernelChain final : public BlockChain {
public:
    KernelChain(bool chained, CipherDirection direction)
        : chained_(chained)
        , direction_(direction) {
        std::memcpy(&chain_, kInitialChainingValue, 8);
    }
    ~KernelChain() override { chain_ = 0; }

    Kernel& kernel() noexcept { return kernel_; }

    // Whether the chain runs its blocks in parallel (and so can use a vector loop).
    bool parallel() const noexcept { return !(direction_ == CipherDirection::Encrypt && chained_); }

    void setVectorLoop(std::unique_ptr<VectorLoop> loop) noexcept { vector_ = std::move(loop); }

    VectorIsa isa() const noexcept override { return vector_ ? vector_->isa() : VectorIsa::Scalar; }

    std::size_t run(std::uint8_t* data,
                    std::size_t blocks,
                    std::size_t checksumBytes,
                    std::uint32_t& checksum,
                    const std::atomic<bool>& abort,
                    bool more) override {
        if (!parallel())
            return CbcEncrypt(kernel_, chain_, data, blocks, checksumBytes, checksum, abort);
        const bool chained = chained_ && direction_ == CipherDirection::Decrypt;
        const bool plainFirst = direction_ == CipherDirection::Encrypt;
        std::size_t done = 0;
        if (vector_) {
            done = vector_->run(chained, plainFirst, chain_, data, blocks, checksumBytes, checksum, abort, more);
            if (done == blocks || Stopped(abort))
                return done;
        }
        const std::size_t start = done * kBlockSize;
        return done + Parallel<Lanes>(kernel_,
                                      chained,
                                      plainFirst,
                                      chain_,
                                      data + start,
                                      blocks - done,
                                      checksumBytes > start ? checksumBytes - start : 0,
                                      checksum,
                                      abort);
    }

    std::size_t runInto(const std::uint8_t* in,
                        std::uint8_t* out,
                        std::size_t blocks,
                        std::size_t checksumBytes,
                        std::uint32_t& checksum,
                        const std::atomic<bool>& abort) override {
        if (!parallel())
            return CbcEncryptInto(kernel_, chain_, in, out, blocks, checksumBytes, checksum, abort);
        // The parallel loops run in place, on a copy.
        std::memcpy(out, in, blocks * kBlockSize);
        return run(out, blocks, checksumBytes, checksum, abort, false);
    }

private:
    Kernel kernel_;
    std::unique_ptr<VectorLoop> vector_;
    std::uint64_t chain_;
    bool chained_;
    CipherDirection direction_;
};

} // namespace vorlaxen::chain_detail
