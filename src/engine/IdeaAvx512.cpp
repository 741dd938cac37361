// IDEA's vector loop in AVX-512 (F, BW): thirty-two blocks per set of four 512-bit registers.

#include "engine/IdeaVector.h"
#include "engine/VectorLoop.h"

#if defined(__x86_64__) && defined(__GNUC__)
// GCC 12's AVX-512 headers pass an undefined register as the unused source of some operations
// (unpacks, broadcasts, alignr), which its own uninitialized-use check then reports.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

// Everything below is compiled for AVX-512 and runs only where the processor has it; it is all local to
// this file, so that no function compiled for AVX-512 can stand in for a shared one elsewhere.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,avx512f,avx512bw,avx512vl"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512vl")
#endif

namespace vorlaxen::idea_detail {
namespace {

struct Avx512Words {
    using V = __m512i;
    static constexpr VectorIsa kIsa = VectorIsa::Avx512;
    static constexpr std::size_t kBlocks = 8;

    static V load(const std::uint8_t* p) noexcept { return _mm512_loadu_si512(p); }
    static void store(std::uint8_t* p, V v) noexcept { _mm512_storeu_si512(p, v); }
    static V row(const std::uint16_t* r) noexcept { return _mm512_load_si512(r); }
    static V broadcast(std::uint64_t block) noexcept { return _mm512_set1_epi64(static_cast<long long>(block)); }
    static V add(V a, V b) noexcept { return _mm512_add_epi16(a, b); }
    static V eor(V a, V b) noexcept { return _mm512_xor_si512(a, b); }

    // As in the AVX2 loop, with the comparisons giving masks: lo - hi, plus 1 where lo < hi, and
    // 1 - k - x in the lanes where x or k is 0.
    static V mul(V x, V k, V oneMinus, V nonzero) noexcept {
        const V lo = _mm512_mullo_epi16(x, k);
        const V hi = _mm512_mulhi_epu16(x, k);
        const V difference = _mm512_sub_epi16(lo, hi);
        const V product =
            _mm512_mask_sub_epi16(difference, _mm512_cmple_epu16_mask(lo, hi), difference, _mm512_set1_epi16(-1));
        return _mm512_mask_sub_epi16(product, _mm512_testn_epi16_mask(x, nonzero), oneMinus, x);
    }

    // The same steps as the AVX2 loop's, within each 128-bit lane.
    static void toWords(V (&r)[4]) noexcept {
        const V pair = _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15));
        V s[4];
        for (int j = 0; j < 4; ++j)
            s[j] = _mm512_shuffle_epi8(r[j], pair);
        const V t0 = _mm512_unpacklo_epi32(s[0], s[1]);
        const V t1 = _mm512_unpackhi_epi32(s[0], s[1]);
        const V t2 = _mm512_unpacklo_epi32(s[2], s[3]);
        const V t3 = _mm512_unpackhi_epi32(s[2], s[3]);
        r[0] = _mm512_unpacklo_epi64(t0, t2);
        r[1] = _mm512_unpackhi_epi64(t0, t2);
        r[2] = _mm512_unpacklo_epi64(t1, t3);
        r[3] = _mm512_unpackhi_epi64(t1, t3);
    }

    static void fromWords(V (&r)[4]) noexcept {
        const V t0 = _mm512_unpacklo_epi64(r[0], r[1]);
        const V t2 = _mm512_unpackhi_epi64(r[0], r[1]);
        const V t1 = _mm512_unpacklo_epi64(r[2], r[3]);
        const V t3 = _mm512_unpackhi_epi64(r[2], r[3]);
        const V unpair = _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15));
        r[0] = _mm512_shuffle_epi8(Even(t0, t1), unpair);
        r[1] = _mm512_shuffle_epi8(Odd(t0, t1), unpair);
        r[2] = _mm512_shuffle_epi8(Even(t2, t3), unpair);
        r[3] = _mm512_shuffle_epi8(Odd(t2, t3), unpair);
    }

    // [last block of `before`, blocks 0-6 of `in`]
    static V shiftBlocks(V in, V before) noexcept { return _mm512_alignr_epi64(in, before, 7); }

private:
    static V Even(V a, V b) noexcept {
        return _mm512_castps_si512(
            _mm512_shuffle_ps(_mm512_castsi512_ps(a), _mm512_castsi512_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
    }
    static V Odd(V a, V b) noexcept {
        return _mm512_castps_si512(
            _mm512_shuffle_ps(_mm512_castsi512_ps(a), _mm512_castsi512_ps(b), _MM_SHUFFLE(3, 1, 3, 1)));
    }
};

} // namespace
} // namespace vorlaxen::idea_detail

#include "engine/IdeaLanes.h"

namespace vorlaxen::idea_detail {

std::unique_ptr<chain_detail::VectorLoop> MakeIdeaLoopAvx512(const std::uint16_t z[52]) {
    return std::make_unique<IdeaLoop<Avx512Words>>(z);
}

} // namespace vorlaxen::idea_detail

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else

namespace vorlaxen::idea_detail {

std::unique_ptr<chain_detail::VectorLoop> MakeIdeaLoopAvx512(const std::uint16_t*) {
    return nullptr;
}

} // namespace vorlaxen::idea_detail

#endif
