// IDEA's vector loop in AVX2: sixteen blocks per set of four 256-bit registers.

#include "engine/IdeaVector.h"
#include "engine/VectorLoop.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

// Everything below is compiled for AVX2 and runs only where the processor has it; it is all local to
// this file, so that no function compiled for AVX2 can stand in for a shared one elsewhere.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

namespace vorlaxen::idea_detail {
namespace {

struct Avx2Words {
    using V = __m256i;
    static constexpr VectorIsa kIsa = VectorIsa::Avx2;
    static constexpr std::size_t kBlocks = 4;

    static V load(const std::uint8_t* p) noexcept { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
    static void store(std::uint8_t* p, V v) noexcept { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
    static V row(const std::uint16_t* r) noexcept { return _mm256_load_si256(reinterpret_cast<const V*>(r)); }
    static V broadcast(std::uint64_t block) noexcept { return _mm256_set1_epi64x(static_cast<long long>(block)); }
    static V add(V a, V b) noexcept { return _mm256_add_epi16(a, b); }
    static V eor(V a, V b) noexcept { return _mm256_xor_si256(a, b); }

    // x * k modulo 65537, 0 standing for 65536. For nonzero factors the product hi * 65536 + lo is
    // congruent to lo - hi, plus 65537 when lo < hi; lo never equals hi, as 65537 is prime. A factor 0
    // gives 1 - k - x in every case.
    static V mul(V x, V k, V oneMinus, V nonzero) noexcept {
        const V lo = _mm256_mullo_epi16(x, k);
        const V hi = _mm256_mulhi_epu16(x, k);
        const V below = _mm256_cmpeq_epi16(_mm256_max_epu16(lo, hi), hi);
        const V product = _mm256_sub_epi16(_mm256_sub_epi16(lo, hi), below);
        const V zero = _mm256_cmpeq_epi16(_mm256_and_si256(x, nonzero), _mm256_setzero_si256());
        return _mm256_blendv_epi8(product, _mm256_sub_epi16(oneMinus, x), zero);
    }

    // Within each 128-bit lane: the words of two blocks paired (w0 w0' w1 w1' ...), then a 4 x 4
    // transposition of 32-bit pairs across the four registers. Which block lands in which lane does not
    // matter as long as fromWords puts it back.
    static void toWords(V (&r)[4]) noexcept {
        const V pair = _mm256_setr_epi8(0,
                                        1,
                                        8,
                                        9,
                                        2,
                                        3,
                                        10,
                                        11,
                                        4,
                                        5,
                                        12,
                                        13,
                                        6,
                                        7,
                                        14,
                                        15, //
                                        0,
                                        1,
                                        8,
                                        9,
                                        2,
                                        3,
                                        10,
                                        11,
                                        4,
                                        5,
                                        12,
                                        13,
                                        6,
                                        7,
                                        14,
                                        15);
        V s[4];
        for (int j = 0; j < 4; ++j)
            s[j] = _mm256_shuffle_epi8(r[j], pair);
        const V t0 = _mm256_unpacklo_epi32(s[0], s[1]);
        const V t1 = _mm256_unpackhi_epi32(s[0], s[1]);
        const V t2 = _mm256_unpacklo_epi32(s[2], s[3]);
        const V t3 = _mm256_unpackhi_epi32(s[2], s[3]);
        r[0] = _mm256_unpacklo_epi64(t0, t2);
        r[1] = _mm256_unpackhi_epi64(t0, t2);
        r[2] = _mm256_unpacklo_epi64(t1, t3);
        r[3] = _mm256_unpackhi_epi64(t1, t3);
    }

    static void fromWords(V (&r)[4]) noexcept {
        const V t0 = _mm256_unpacklo_epi64(r[0], r[1]);
        const V t2 = _mm256_unpackhi_epi64(r[0], r[1]);
        const V t1 = _mm256_unpacklo_epi64(r[2], r[3]);
        const V t3 = _mm256_unpackhi_epi64(r[2], r[3]);
        const V unpair = _mm256_setr_epi8(0,
                                          1,
                                          4,
                                          5,
                                          8,
                                          9,
                                          12,
                                          13,
                                          2,
                                          3,
                                          6,
                                          7,
                                          10,
                                          11,
                                          14,
                                          15, //
                                          0,
                                          1,
                                          4,
                                          5,
                                          8,
                                          9,
                                          12,
                                          13,
                                          2,
                                          3,
                                          6,
                                          7,
                                          10,
                                          11,
                                          14,
                                          15);
        r[0] = _mm256_shuffle_epi8(Even(t0, t1), unpair);
        r[1] = _mm256_shuffle_epi8(Odd(t0, t1), unpair);
        r[2] = _mm256_shuffle_epi8(Even(t2, t3), unpair);
        r[3] = _mm256_shuffle_epi8(Odd(t2, t3), unpair);
    }

    // [last block of `before`, blocks 0-2 of `in`]
    static V shiftBlocks(V in, V before) noexcept {
        return _mm256_alignr_epi8(in, _mm256_permute2x128_si256(before, in, 0x21), 8);
    }

private:
    static V Even(V a, V b) noexcept {
        return _mm256_castps_si256(
            _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
    }
    static V Odd(V a, V b) noexcept {
        return _mm256_castps_si256(
            _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(3, 1, 3, 1)));
    }
};

} // namespace
} // namespace vorlaxen::idea_detail

#include "engine/IdeaLanes.h"

namespace vorlaxen::idea_detail {

std::unique_ptr<chain_detail::VectorLoop> MakeIdeaLoopAvx2(const std::uint16_t z[52]) {
    return std::make_unique<IdeaLoop<Avx2Words>>(z);
}

} // namespace vorlaxen::idea_detail

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else

namespace vorlaxen::idea_detail {

std::unique_ptr<chain_detail::VectorLoop> MakeIdeaLoopAvx2(const std::uint16_t*) {
    return nullptr;
}

} // namespace vorlaxen::idea_detail

#endif
