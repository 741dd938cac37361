#pragma once

// IDEA's rounds on groups of blocks in vector registers, for any register width (internal to the
// engine). Included by the kernel files inside their region compiled for the instruction set, after
// all other headers; `Words` supplies the operations on 16-bit lanes:
//   V, kIsa, kBlocks (blocks, and words, per register), load, store, row (a key row), add, eor,
//   mul(x, key, oneMinus, nonzero) (see IdeaLaneKeys), toWords / fromWords (four registers of whole
//   blocks to one word of each block per register and back), shiftBlocks (the blocks one place later,
//   the first taking `previous`).

#include "engine/IdeaVector.h"
#include "engine/VectorLoop.h"

namespace vorlaxen::idea_detail {
namespace {

template <class Words> class IdeaLoop final : public chain_detail::VectorLoop {
public:
    using V = typename Words::V;
    static constexpr std::size_t kBlocks = Words::kBlocks * 4;

    explicit IdeaLoop(const std::uint16_t z[52])
        : keys_(z) {}

    VectorIsa isa() const noexcept override { return Words::kIsa; }

    std::size_t run(bool chained,
                    bool plainFirst,
                    std::uint64_t& chain,
                    std::uint8_t* data,
                    std::size_t blocks,
                    std::size_t checksumBytes,
                    std::uint32_t& checksum,
                    const std::atomic<bool>& abort,
                    bool more) override {
        return chain_detail::RunVectorGroups(
            *this, deferred_, chained, plainFirst, chain, data, blocks, checksumBytes, checksum, abort, more);
    }

    // Two sets of registers in flight hide the latency of the multiplications; one serves a short rest.
    std::size_t groupFor(std::size_t remaining) const noexcept {
        return remaining >= 2 * kBlocks ? 2 * kBlocks : remaining >= kBlocks ? kBlocks : 0;
    }

    void transform(std::size_t n,
                   std::uint8_t* blocks,
                   std::uint64_t previous,
                   bool chained,
                   chain_detail::ChecksumFold& fold) const noexcept {
        if (n == 2 * kBlocks)
            group<2>(blocks, previous, chained, fold);
        else
            group<1>(blocks, previous, chained, fold);
    }

private:
    V mul(V x, int k) const noexcept {
        return Words::mul(x, Words::row(keys_.key[k]), Words::row(keys_.oneMinus[k]), Words::row(keys_.nonzero[k]));
    }
    V add(V x, int k) const noexcept { return Words::add(x, Words::row(keys_.key[k])); }

    template <int Sets>
    [[gnu::always_inline]] void
    group(std::uint8_t* blocks, std::uint64_t previous, bool chained, chain_detail::ChecksumFold& fold) const noexcept {
        constexpr std::size_t kBytes = Words::kBlocks * 8;
        V x[Sets][4];
        for (int s = 0; s < Sets; ++s) {
            for (int j = 0; j < 4; ++j)
                x[s][j] = Words::load(blocks + (4 * s + j) * kBytes);
            Words::toWords(x[s]);
        }
        fold.plan(9);
        for (int round = 0; round < 8; ++round) {
            const int k = 6 * round;
            for (int s = 0; s < Sets; ++s) {
                const V a = mul(x[s][0], k);
                const V b = add(x[s][1], k + 1);
                const V c = add(x[s][2], k + 2);
                const V d = mul(x[s][3], k + 3);
                const V t0 = mul(Words::eor(a, c), k + 4);
                const V t1 = mul(Words::add(Words::eor(b, d), t0), k + 5);
                const V t2 = Words::add(t0, t1);
                x[s][0] = Words::eor(a, t1);
                x[s][1] = Words::eor(c, t1);
                x[s][2] = Words::eor(b, t2);
                x[s][3] = Words::eor(d, t2);
            }
            fold.step();
        }
        for (int s = 0; s < Sets; ++s) {
            const V y1 = mul(x[s][0], 48);
            const V y2 = add(x[s][2], 49);
            const V y3 = add(x[s][1], 50);
            const V y4 = mul(x[s][3], 51);
            x[s][0] = y1;
            x[s][1] = y2;
            x[s][2] = y3;
            x[s][3] = y4;
            Words::fromWords(x[s]);
        }
        if (chained) {
            // The blocks are still in memory as read: each result takes the block before it.
            V before = Words::broadcast(previous);
            for (int s = 0; s < Sets; ++s)
                for (int j = 0; j < 4; ++j) {
                    const V in = Words::load(blocks + (4 * s + j) * kBytes);
                    x[s][j] = Words::eor(x[s][j], Words::shiftBlocks(in, before));
                    before = in;
                }
        }
        fold.finish();
        for (int s = 0; s < Sets; ++s)
            for (int j = 0; j < 4; ++j)
                Words::store(blocks + (4 * s + j) * kBytes, x[s][j]);
    }

    IdeaLaneKeys keys_;
    chain_detail::DeferredChecksum deferred_;
};

} // namespace
} // namespace vorlaxen::idea_detail
