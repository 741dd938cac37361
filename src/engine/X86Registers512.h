#pragma once

// The 512-bit registers of the AVX-512 kernels (see X86Registers.h), included only by them: defined
// where AVX-512 does not compile them, their operations would pass registers the system's calling
// convention does not have.

#include "engine/X86Registers.h"

namespace vorlaxen::chain_detail {
namespace {

template <> struct X86Register<512> {
    using V = __m512i;
    static V load(const std::uint8_t* p) noexcept { return _mm512_loadu_si512(p); }
    static void store(std::uint8_t* p, V v) noexcept { _mm512_storeu_si512(p, v); }
    static V loadAligned(const void* p) noexcept { return _mm512_load_si512(p); }
    static V zero() noexcept { return _mm512_setzero_si512(); }
    static V ones() noexcept { return _mm512_set1_epi32(-1); }
    static V band(V a, V b) noexcept { return _mm512_and_si512(a, b); }
    static V bor(V a, V b) noexcept { return _mm512_or_si512(a, b); }
    static V bxor(V a, V b) noexcept { return _mm512_xor_si512(a, b); }
    static V bandnot(V a, V b) noexcept { return _mm512_andnot_si512(a, b); }
    template <int Imm> static V ternary(V a, V b, V c) noexcept { return _mm512_ternarylogic_epi64(a, b, c, Imm); }
    static V splat(std::uint32_t w) noexcept { return _mm512_set1_epi32(static_cast<int>(w)); }
    static V mask64(std::uint64_t w) noexcept { return _mm512_set1_epi64(static_cast<long long>(w)); }
    template <int N> static V shr64(V a) noexcept { return _mm512_srli_epi64(a, N); }
    template <int N> static V shl64(V a) noexcept { return _mm512_slli_epi64(a, N); }
    // [last block of `before`, blocks 0-6 of `in`]
    static V shiftBlocks(V in, V before) noexcept { return _mm512_alignr_epi64(in, before, 7); }

    static V add16(V a, V b) noexcept { return _mm512_add_epi16(a, b); }
    static V sub16(V a, V b) noexcept { return _mm512_sub_epi16(a, b); }
    static V set16(std::int16_t w) noexcept { return _mm512_set1_epi16(w); }
    static V mullo16(V a, V b) noexcept { return _mm512_mullo_epi16(a, b); }
    static V mulhi16(V a, V b) noexcept { return _mm512_mulhi_epu16(a, b); }
    // The lanes where a <= b (unsigned); where a & b is 0.
    static __mmask32 lessOrEqual16(V a, V b) noexcept { return _mm512_cmple_epu16_mask(a, b); }
    static __mmask32 noBitsInCommon16(V a, V b) noexcept { return _mm512_testn_epi16_mask(a, b); }
    // a - b where `mask` is set, `src` elsewhere.
    static V sub16Where(V src, __mmask32 mask, V a, V b) noexcept { return _mm512_mask_sub_epi16(src, mask, a, b); }
    static V shuffle8(V a, V pick) noexcept { return _mm512_shuffle_epi8(a, pick); }
    template <class... Bytes> static V bytesPerLane(Bytes... b) noexcept {
        static_assert(sizeof...(Bytes) == 16);
        return _mm512_broadcast_i32x4(_mm_setr_epi8(static_cast<char>(b)...));
    }
    static V unpacklo32(V a, V b) noexcept { return _mm512_unpacklo_epi32(a, b); }
    static V unpackhi32(V a, V b) noexcept { return _mm512_unpackhi_epi32(a, b); }
    static V unpacklo64(V a, V b) noexcept { return _mm512_unpacklo_epi64(a, b); }
    static V unpackhi64(V a, V b) noexcept { return _mm512_unpackhi_epi64(a, b); }
    static V even32(V a, V b) noexcept {
        return _mm512_castps_si512(
            _mm512_shuffle_ps(_mm512_castsi512_ps(a), _mm512_castsi512_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
    }
    static V odd32(V a, V b) noexcept {
        return _mm512_castps_si512(
            _mm512_shuffle_ps(_mm512_castsi512_ps(a), _mm512_castsi512_ps(b), _MM_SHUFFLE(3, 1, 3, 1)));
    }
};

} // namespace
} // namespace vorlaxen::chain_detail
