#pragma once

// IDEA's rounds on groups of blocks in vector registers, for any register width (internal to the
// engine). Included by the kernel files inside their region compiled for the instruction set, after
// all other headers, each of which only makes an IdeaLoop of its IdeaWords. `Words` supplies the
// operations on 16-bit lanes:
//   V, kIsa, kBlocks (blocks, and words, per register), load, store, row (a key row), add, eor,
//   mul(x, key, oneMinus, nonzero) (see IdeaLaneKeys), toWords / fromWords (four registers of whole
//   blocks to one word of each block per register and back), shiftBlocks (the blocks one place later,
//   the first taking `previous`).

#include "engine/IdeaVector.h"
#include "engine/VectorLoop.h"
#include "engine/X86Registers.h"

namespace vorlaxen::idea_detail {
namespace {

// Registers of `Width` bits (4 or 8 blocks) compiled for `Isa`.
template <int Width, VectorIsa Isa> struct IdeaWords : chain_detail::X86Register<Width> {
    using R = chain_detail::X86Register<Width>;
    using V = typename R::V;
    static constexpr VectorIsa kIsa = Isa;
    static constexpr std::size_t kBlocks = Width / 64;

    static V row(const std::uint16_t* r) noexcept { return R::loadAligned(r); }
    static V broadcast(std::uint64_t block) noexcept { return R::mask64(block); }
    static V add(V a, V b) noexcept { return R::add16(a, b); }
    static V eor(V a, V b) noexcept { return R::bxor(a, b); }

    // x * k modulo 65537, 0 standing for 65536. For nonzero factors the product hi * 65536 + lo is
    // congruent to lo - hi, plus 65537 when lo < hi; lo never equals hi, as 65537 is prime. A factor 0
    // gives 1 - k - x in every case. AVX-512's comparisons give masks: lo - hi, plus 1 where lo < hi,
    // and 1 - k - x in the lanes where x or k is 0.
    static V mul(V x, V k, V oneMinus, V nonzero) noexcept {
        const V lo = R::mullo16(x, k);
        const V hi = R::mulhi16(x, k);
        if constexpr (Isa == VectorIsa::Avx512) {
            const V difference = R::sub16(lo, hi);
            const V product = R::sub16Where(difference, R::lessOrEqual16(lo, hi), difference, R::set16(-1));
            return R::sub16Where(product, R::noBitsInCommon16(x, nonzero), oneMinus, x);
        } else {
            const V below = R::equal16(R::max16(lo, hi), hi);
            const V product = R::sub16(R::sub16(lo, hi), below);
            const V zero = R::equal16(R::band(x, nonzero), R::zero());
            return R::blend8(product, R::sub16(oneMinus, x), zero);
        }
    }

    // Within each 128-bit lane: the words of two blocks paired (w0 w0' w1 w1' ...), then a 4 x 4
    // transposition of 32-bit pairs across the four registers. Which block lands in which lane does not
    // matter as long as fromWords puts it back.
    static void toWords(V (&r)[4]) noexcept {
        const V pair = R::bytesPerLane(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15);
        V s[4];
        for (int j = 0; j < 4; ++j)
            s[j] = R::shuffle8(r[j], pair);
        const V t0 = R::unpacklo32(s[0], s[1]);
        const V t1 = R::unpackhi32(s[0], s[1]);
        const V t2 = R::unpacklo32(s[2], s[3]);
        const V t3 = R::unpackhi32(s[2], s[3]);
        r[0] = R::unpacklo64(t0, t2);
        r[1] = R::unpackhi64(t0, t2);
        r[2] = R::unpacklo64(t1, t3);
        r[3] = R::unpackhi64(t1, t3);
    }

    static void fromWords(V (&r)[4]) noexcept {
        const V t0 = R::unpacklo64(r[0], r[1]);
        const V t2 = R::unpackhi64(r[0], r[1]);
        const V t1 = R::unpacklo64(r[2], r[3]);
        const V t3 = R::unpackhi64(r[2], r[3]);
        const V unpair = R::bytesPerLane(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
        r[0] = R::shuffle8(R::even32(t0, t1), unpair);
        r[1] = R::shuffle8(R::odd32(t0, t1), unpair);
        r[2] = R::shuffle8(R::even32(t2, t3), unpair);
        r[3] = R::shuffle8(R::odd32(t2, t3), unpair);
    }
};

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
