#pragma once

// The initial and final permutations of four blocks at once in SSE2 registers (internal to the
// engine; every x86-64 processor has SSE2). The rounds keep the integer units busy; done there, the
// permutations and the expansion of four blocks cost about a fifth of the interleaved rounds, done in
// the vector units they cost almost nothing. Same steps as LoadState and StoreState in DesRounds.h,
// on the four blocks' halves side by side in 32-bit lanes.

#include "engine/DesRounds.h"

#if defined(__x86_64__) && defined(__SSE2__) && !defined(VORLAXEN_PORTABLE_DES)
#define VORLAXEN_DES_SSE2 1

#include <emmintrin.h>

namespace vorlaxen::des_detail {

// The bytes of each 32-bit lane in reverse order.
inline __m128i ByteSwapLanes(__m128i x) noexcept {
    x = _mm_shufflehi_epi16(_mm_shufflelo_epi16(x, 0xB1), 0xB1);
    return _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
}

template <int Shift> inline void SwapBits4(__m128i& a, __m128i& b, std::uint32_t mask) noexcept {
    const __m128i t = _mm_and_si128(_mm_xor_si128(_mm_srli_epi32(a, Shift), b), _mm_set1_epi32(static_cast<int>(mask)));
    b = _mm_xor_si128(b, t);
    a = _mm_xor_si128(a, _mm_slli_epi32(t, Shift));
}

template <int Left> inline __m128i RotateLanesLeft(__m128i x) noexcept {
    return _mm_or_si128(_mm_slli_epi32(x, Left), _mm_srli_epi32(x, 32 - Left));
}

// The initial permutation's exchanges between the left and right halves, lane by lane, and the final
// permutation's, which undo them.
inline void InitialExchanges(__m128i& l, __m128i& r) noexcept {
    SwapBits4<4>(l, r, 0x0F0F0F0Fu);
    SwapBits4<16>(l, r, 0x0000FFFFu);
    SwapBits4<2>(r, l, 0x33333333u);
    SwapBits4<8>(r, l, 0x00FF00FFu);
    SwapBits4<1>(l, r, 0x55555555u);
}

inline void FinalExchanges(__m128i& l, __m128i& r) noexcept {
    SwapBits4<1>(l, r, 0x55555555u);
    SwapBits4<8>(r, l, 0x00FF00FFu);
    SwapBits4<2>(r, l, 0x33333333u);
    SwapBits4<16>(l, r, 0x0000FFFFu);
    SwapBits4<4>(l, r, 0x0F0F0F0Fu);
}

inline __m128i PickEven(__m128i x, __m128i y) noexcept {
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(x), _mm_castsi128_ps(y), _MM_SHUFFLE(2, 0, 2, 0)));
}

inline __m128i PickOdd(__m128i x, __m128i y) noexcept {
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(x), _mm_castsi128_ps(y), _MM_SHUFFLE(3, 1, 3, 1)));
}

// Expanded forms of four halves: blocks 0 and 1 in `low`, 2 and 3 in `high`.
inline void ExpandHalves4(__m128i x, __m128i& low, __m128i& high) noexcept {
    const __m128i mask = _mm_set1_epi32(static_cast<int>(kGroupMask));
    const __m128i groups2468 = _mm_and_si128(RotateLanesLeft<1>(x), mask);
    const __m128i groups1357 = _mm_and_si128(RotateLanesLeft<29>(x), mask);
    low = _mm_unpacklo_epi32(groups2468, groups1357);
    high = _mm_unpackhi_epi32(groups2468, groups1357);
}

inline __m128i CompressHalves4(__m128i low, __m128i high) noexcept {
    const __m128i words2468 = _mm_and_si128(PickEven(low, high), _mm_set1_epi32(static_cast<int>(kGroupMask)));
    const __m128i words1357 = _mm_and_si128(PickOdd(low, high), _mm_set1_epi32(0x0C0C0C0C));
    return _mm_or_si128(RotateLanesLeft<31>(words2468), RotateLanesLeft<3>(words1357));
}

inline void LoadStates4(const std::uint64_t (&blocks)[4], DesState (&s)[4]) noexcept {
    const __m128i x01 = ByteSwapLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks)));
    const __m128i x23 = ByteSwapLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 2)));
    __m128i l = PickEven(x01, x23);
    __m128i r = PickOdd(x01, x23);
    InitialExchanges(l, r);
    __m128i a01, a23, b01, b23;
    ExpandHalves4(l, a01, a23);
    ExpandHalves4(r, b01, b23);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&s[0]), _mm_unpacklo_epi64(a01, b01));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&s[1]), _mm_unpackhi_epi64(a01, b01));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&s[2]), _mm_unpacklo_epi64(a23, b23));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&s[3]), _mm_unpackhi_epi64(a23, b23));
}

inline void StoreStates4(const DesState (&s)[4], std::uint64_t (&blocks)[4]) noexcept {
    const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&s[0]));
    const __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&s[1]));
    const __m128i s2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&s[2]));
    const __m128i s3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&s[3]));
    __m128i l = CompressHalves4(_mm_unpacklo_epi64(s0, s1), _mm_unpacklo_epi64(s2, s3));
    __m128i r = CompressHalves4(_mm_unpackhi_epi64(s0, s1), _mm_unpackhi_epi64(s2, s3));
    FinalExchanges(l, r);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(blocks), ByteSwapLanes(_mm_unpacklo_epi32(l, r)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(blocks + 2), ByteSwapLanes(_mm_unpackhi_epi32(l, r)));
}

// One block, its halves in lane 0 (the other lanes carry what they carry and are not used): for the
// serial chain of cipher block chaining encryption, whose rounds leave no integer unit idle for long.
// Done among the rounds in the integer units, the permutations of each block cost that chain about
// a tenth of its speed.
inline DesState LoadState1(std::uint64_t block) noexcept {
    const __m128i x = ByteSwapLanes(_mm_cvtsi64_si128(static_cast<long long>(block)));
    __m128i l = x;
    __m128i r = _mm_srli_epi64(x, 32);
    InitialExchanges(l, r);
    __m128i a, b, unused;
    ExpandHalves4(l, a, unused);
    ExpandHalves4(r, b, unused);
    return {static_cast<std::uint64_t>(_mm_cvtsi128_si64(a)), static_cast<std::uint64_t>(_mm_cvtsi128_si64(b))};
}

inline std::uint64_t StoreState1(const DesState& s) noexcept {
    const __m128i ab = _mm_unpacklo_epi64(_mm_cvtsi64_si128(static_cast<long long>(s.a)),
                                          _mm_cvtsi64_si128(static_cast<long long>(s.b)));
    const __m128i lr = CompressHalves4(ab, _mm_setzero_si128());
    __m128i l = lr;
    __m128i r = _mm_srli_epi64(lr, 32);
    FinalExchanges(l, r);
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(ByteSwapLanes(_mm_unpacklo_epi32(l, r))));
}

} // namespace vorlaxen::des_detail

#endif
