#pragma once

// The bitsliced DES rounds for any register width (internal to the engine). Included by the kernel
// files inside their region compiled for the instruction set, after all other headers, each of which
// only makes a DesBitsliceLoop of its widths and instruction set. `Bits` supplies the operations on
// registers of kBlocks bits (one bit of kBlocks blocks each); DesBits below is it for every width:
//   V, kBlocks, load, store, zero, ones, band, bor, bxor, bandnot (~x & y), xorAnd ((x ^ y) & z),
//   lut3<Imm>, splat (a 32-bit word in every lane), mask64 (a 64-bit word in every lane),
//   shr64<N> / shl64<N> (within 64-bit lanes), shiftBlocks(in, before) (the 64-bit lanes one place
//   later, the first taking the last of `before`).

#include "engine/DesRounds.h"
#include "engine/DesSboxCircuits.h"
#include "engine/DesVector.h"
#include "engine/VectorLoop.h"
#include "engine/X86Registers.h"
#include "platform/SecureMemory.h"

namespace vorlaxen::des_detail {
namespace {

// Registers of `Width` bits compiled for `Isa`: with AVX-512 every S-box operation, and the masked
// exchange of the transposition, is one three-input instruction; with AVX2 two-input ones.
template <int Width, VectorIsa Isa> struct DesBits : chain_detail::X86Register<Width> {
    using R = chain_detail::X86Register<Width>;
    using V = typename R::V;
    static constexpr std::size_t kBlocks = Width;

    static V xorAnd(V a, V b, V m) noexcept {
        if constexpr (Isa == VectorIsa::Avx512)
            return R::template ternary<0x28>(a, b, m);
        else
            return R::band(R::bxor(a, b), m);
    }
    template <int Imm> static V lut3(V a, V b, V c) noexcept {
        if constexpr (Isa == VectorIsa::Avx512)
            return R::template ternary<Imm>(a, b, c);
        else
            return Lut3ByGates<Imm, DesBits>(a, b, c);
    }
    static V shiftBlocks(V in, V before) noexcept {
        if constexpr (Isa == VectorIsa::Avx512 && Width == 256)
            return R::shiftBlocksVl(in, before);
        else
            return R::shiftBlocks(in, before);
    }
};

// Bit n (1 to 64, 1 the most significant bit of the first byte) of a block is bit BitOfByteOrder(n) of
// the block read as a little-endian 64-bit word.
constexpr int BitOfByteOrder(int n) {
    return 8 * ((n - 1) / 8) + 7 - (n - 1) % 8;
}

// The published initial permutation (output bit i + 1 takes input bit kIp[i]) and expansion.
inline constexpr std::uint8_t kIp[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                                         62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                                         57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                                         61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
inline constexpr std::uint8_t kE[48] = {32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
                                        12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
                                        22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};

// The bit of the left half (0 to 31) that output bit j of S-box s lands on through P.
constexpr int PTarget(int s, int j) {
    for (int i = 0; i < 32; ++i)
        if (kP[i] == 4 * s + j + 1)
            return i;
    return -1;
}

// The low J bits of every 2J.
constexpr std::uint64_t LowHalves(int j) {
    std::uint64_t low = 0;
    for (int bit = 0; bit < 64; ++bit)
        if (bit % (2 * j) < j)
            low |= std::uint64_t{1} << bit;
    return low;
}

// One round of exchanges of the transposition below: between t[k] and t[k + J], blocks of J bits.
template <class Bits, int J> [[gnu::always_inline]] inline void TransposeStep(typename Bits::V* t) noexcept {
    constexpr std::uint64_t kLow = LowHalves(J);
    const typename Bits::V m = Bits::mask64(kLow);
    for (int k = 0; k < 64; ++k) {
        if (k & J)
            continue;
        const typename Bits::V a = t[k];
        const typename Bits::V b = t[k + J];
        // The bits of b and the bits of a J places above them that trade places.
        const typename Bits::V x = Bits::xorAnd(Bits::template shr64<J>(a), b, m);
        t[k + J] = Bits::bxor(b, x);
        t[k] = Bits::bxor(a, Bits::template shl64<J>(x));
    }
}

// Transposes the 64 x 64 bit matrix in each 64-bit lane of t[0..63]: bit i of lane q of t[k] trades
// places with bit k of lane q of t[i]. Six rounds of exchanges of ever smaller blocks, with a step of
// the checksum after each.
template <class Bits>
[[gnu::always_inline]] inline void Transpose(typename Bits::V* t, chain_detail::ChecksumFold& fold) noexcept {
    TransposeStep<Bits, 32>(t);
    fold.step();
    TransposeStep<Bits, 16>(t);
    fold.step();
    TransposeStep<Bits, 8>(t);
    fold.step();
    TransposeStep<Bits, 4>(t);
    fold.step();
    TransposeStep<Bits, 2>(t);
    fold.step();
    TransposeStep<Bits, 1>(t);
    fold.step();
}

// One round: the left half l takes f of the right half r under the round's 48 key words.
template <class Bits>
[[gnu::always_inline]] inline void Round(typename Bits::V* l,
                                         const typename Bits::V* r,
                                         const std::uint32_t* key,
                                         chain_detail::ChecksumFold& fold) noexcept {
    using S = DesSboxCircuits<Bits>;
    auto in = [&](int s, int k) { return Bits::bxor(r[kE[6 * s + k] - 1], Bits::splat(key[6 * s + k])); };
#define VORLAXEN_DES_SBOX(S_)                                                                                          \
    S::s##S_(in(S_, 0),                                                                                                \
             in(S_, 1),                                                                                                \
             in(S_, 2),                                                                                                \
             in(S_, 3),                                                                                                \
             in(S_, 4),                                                                                                \
             in(S_, 5),                                                                                                \
             l[PTarget(S_, 0)],                                                                                        \
             l[PTarget(S_, 1)],                                                                                        \
             l[PTarget(S_, 2)],                                                                                        \
             l[PTarget(S_, 3)]);                                                                                       \
    fold.step();
    VORLAXEN_DES_SBOX(0)
    VORLAXEN_DES_SBOX(1)
    VORLAXEN_DES_SBOX(2)
    VORLAXEN_DES_SBOX(3)
    VORLAXEN_DES_SBOX(4)
    VORLAXEN_DES_SBOX(5)
    VORLAXEN_DES_SBOX(6)
    VORLAXEN_DES_SBOX(7)
#undef VORLAXEN_DES_SBOX
}

// Up to Bits::kBlocks blocks at `blocks` in place: load, transpose, rounds, transpose back, chain, store.
template <class Bits>
[[gnu::noinline]] void BitsliceGroup(const DesBitsliceKeys& keys,
                                     std::size_t n,
                                     std::uint8_t* blocks,
                                     std::uint64_t previous,
                                     bool chained,
                                     chain_detail::ChecksumFold& fold) noexcept {
    using V = typename Bits::V;
    constexpr std::size_t kPerRegister = Bits::kBlocks / 64;
    constexpr std::size_t kBytes = kPerRegister * 8;
    V t[64];
    V w[64];
    alignas(64) std::uint8_t partial[Bits::kBlocks * 8];
    const bool whole = n == Bits::kBlocks;
    std::uint8_t* in = blocks;
    if (!whole) {
        std::memcpy(partial, blocks, n * 8);
        std::memset(partial + n * 8, 0, sizeof partial - n * 8);
        in = partial;
    }
    for (int k = 0; k < 64; ++k)
        t[k] = Bits::load(in + k * kBytes);
    fold.plan(2 * 6 + 8 * 16 * keys.stages);
    Transpose<Bits>(t, fold);
    // Initial permutation: w[0..31] the left half, w[32..63] the right one, bit 1 first.
    for (int i = 0; i < 64; ++i)
        w[i] = t[BitOfByteOrder(kIp[i])];

    V* l = w;
    V* r = w + 32;
    const std::uint32_t* key = keys.bits[0];
    for (int stage = 0; stage < keys.stages; ++stage) {
        for (int round = 0; round < 16; ++round, key += 48) {
            Round<Bits>(l, r, key, fold);
            std::swap(l, r);
        }
        // The last round does not swap the halves; between the passes of Triple DES the final and
        // initial permutations cancel.
        std::swap(l, r);
    }
    // Final permutation of R16 L16, which l and r now point at.
    for (int i = 0; i < 64; ++i)
        t[BitOfByteOrder(kIp[i])] = i < 32 ? l[i] : r[i - 32];
    Transpose<Bits>(t, fold);

    if (chained) {
        // The input is still in memory as read: each result takes the block before it.
        V before = Bits::mask64(previous);
        for (int k = 0; k < 64; ++k) {
            const V x = Bits::load(in + k * kBytes);
            t[k] = Bits::bxor(t[k], Bits::shiftBlocks(x, before));
            before = x;
        }
    }
    fold.finish();
    if (whole) {
        for (int k = 0; k < 64; ++k)
            Bits::store(blocks + k * kBytes, t[k]);
    } else {
        for (int k = 0; k < 64; ++k)
            Bits::store(partial + k * kBytes, t[k]);
        std::memcpy(blocks, partial, n * 8);
        SecureZero(partial, sizeof partial);
    }
    SecureZero(t, sizeof t);
    SecureZero(w, sizeof w);
}

// The loop over groups with registers of three widths, Wide >= Mid >= Narrow blocks (Wide may equal Mid):
// whole groups of each, then a rest of at least kLeastRest blocks in one Narrow group filled with zeros.
template <class Wide, class Mid, class Narrow, VectorIsa Isa, std::size_t kLeastRest>
class DesBitsliceLoop final : public chain_detail::VectorLoop {
public:
    DesBitsliceLoop(const DesSchedule* schedules, int stages)
        : keys_(schedules, stages) {}

    VectorIsa isa() const noexcept override { return Isa; }

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

    std::size_t groupFor(std::size_t remaining) const noexcept {
        for (std::size_t width : {Wide::kBlocks, Mid::kBlocks, Narrow::kBlocks})
            if (remaining >= width)
                return width;
        return remaining >= kLeastRest ? remaining : 0;
    }

    void transform(std::size_t n,
                   std::uint8_t* blocks,
                   std::uint64_t previous,
                   bool chained,
                   chain_detail::ChecksumFold& fold) const noexcept {
        if (n == Wide::kBlocks)
            BitsliceGroup<Wide>(keys_, n, blocks, previous, chained, fold);
        else if (n == Mid::kBlocks)
            BitsliceGroup<Mid>(keys_, n, blocks, previous, chained, fold);
        else
            BitsliceGroup<Narrow>(keys_, n, blocks, previous, chained, fold);
    }

private:
    DesBitsliceKeys keys_;
    chain_detail::DeferredChecksum deferred_;
};

} // namespace
} // namespace vorlaxen::des_detail
