#pragma once

// The vector registers of the x86-64 kernels (internal to the engine): one specialization for each
// register width, the instructions of each operation written once; the 512-bit one is in
// X86Registers512.h. Included by the kernel files inside their region compiled for the instruction set,
// so that everything here is compiled for it and local to that file. The kernels' lane types (DesBits in
// DesBitslice.h, IdeaWords in IdeaLanes.h) are made of these, and choose the AVX-512 forms (ternary,
// shiftBlocksVl) where AVX-512 compiles them. The registers are full specializations, not templates of
// the instruction set: their operations are then compiled as the kernels' own were before, which keeps
// the generated code of the S-box networks as it was.
//
//   V, load / store (unaligned), loadAligned, zero, ones, band, bor, bxor, bandnot (~x & y),
//   ternary<Imm> (AVX-512 only), splat (a 32-bit word in every lane), mask64 (a 64-bit word in every
//   lane), shr64<N> / shl64<N> (within 64-bit lanes), shiftBlocks(in, before) (the 64-bit lanes one
//   place later, the first taking the last of `before`), and the 16-bit lane operations of IDEA.

#include <cstddef>
#include <cstdint>
#include <immintrin.h>

namespace vorlaxen::chain_detail {
namespace {

template <int Width> struct X86Register;

template <> struct X86Register<128> {
    using V = __m128i;
    static V load(const std::uint8_t* p) noexcept { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
    static void store(std::uint8_t* p, V v) noexcept { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
    static V zero() noexcept { return _mm_setzero_si128(); }
    static V ones() noexcept { return _mm_set1_epi32(-1); }
    static V band(V a, V b) noexcept { return _mm_and_si128(a, b); }
    static V bor(V a, V b) noexcept { return _mm_or_si128(a, b); }
    static V bxor(V a, V b) noexcept { return _mm_xor_si128(a, b); }
    static V bandnot(V a, V b) noexcept { return _mm_andnot_si128(a, b); }
    template <int Imm> static V ternary(V a, V b, V c) noexcept { return _mm_ternarylogic_epi64(a, b, c, Imm); }
    static V splat(std::uint32_t w) noexcept { return _mm_set1_epi32(static_cast<int>(w)); }
    static V mask64(std::uint64_t w) noexcept { return _mm_set1_epi64x(static_cast<long long>(w)); }
    template <int N> static V shr64(V a) noexcept { return _mm_srli_epi64(a, N); }
    template <int N> static V shl64(V a) noexcept { return _mm_slli_epi64(a, N); }
    static V shiftBlocks(V in, V before) noexcept { return _mm_alignr_epi8(in, before, 8); }
};

template <> struct X86Register<256> {
    using V = __m256i;
    static V load(const std::uint8_t* p) noexcept { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
    static void store(std::uint8_t* p, V v) noexcept { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
    static V loadAligned(const void* p) noexcept { return _mm256_load_si256(static_cast<const V*>(p)); }
    static V zero() noexcept { return _mm256_setzero_si256(); }
    static V ones() noexcept { return _mm256_set1_epi32(-1); }
    static V band(V a, V b) noexcept { return _mm256_and_si256(a, b); }
    static V bor(V a, V b) noexcept { return _mm256_or_si256(a, b); }
    static V bxor(V a, V b) noexcept { return _mm256_xor_si256(a, b); }
    static V bandnot(V a, V b) noexcept { return _mm256_andnot_si256(a, b); }
    template <int Imm> static V ternary(V a, V b, V c) noexcept { return _mm256_ternarylogic_epi64(a, b, c, Imm); }
    static V splat(std::uint32_t w) noexcept { return _mm256_set1_epi32(static_cast<int>(w)); }
    static V mask64(std::uint64_t w) noexcept { return _mm256_set1_epi64x(static_cast<long long>(w)); }
    template <int N> static V shr64(V a) noexcept { return _mm256_srli_epi64(a, N); }
    template <int N> static V shl64(V a) noexcept { return _mm256_slli_epi64(a, N); }
    // [last block of `before`, blocks 0-2 of `in`]; the same in one instruction of AVX-512 (VL).
    static V shiftBlocks(V in, V before) noexcept {
        return _mm256_alignr_epi8(in, _mm256_permute2x128_si256(before, in, 0x21), 8);
    }
    static V shiftBlocksVl(V in, V before) noexcept { return _mm256_alignr_epi64(in, before, 3); }

    static V add16(V a, V b) noexcept { return _mm256_add_epi16(a, b); }
    static V sub16(V a, V b) noexcept { return _mm256_sub_epi16(a, b); }
    static V mullo16(V a, V b) noexcept { return _mm256_mullo_epi16(a, b); }
    static V mulhi16(V a, V b) noexcept { return _mm256_mulhi_epu16(a, b); }
    static V max16(V a, V b) noexcept { return _mm256_max_epu16(a, b); }
    static V equal16(V a, V b) noexcept { return _mm256_cmpeq_epi16(a, b); }
    // The bytes of `b` where `mask` has its top bit, else those of `a`.
    static V blend8(V a, V b, V mask) noexcept { return _mm256_blendv_epi8(a, b, mask); }
    // The bytes of `a` picked within each 128-bit lane by the bytes of `pick`.
    static V shuffle8(V a, V pick) noexcept { return _mm256_shuffle_epi8(a, pick); }
    // The 16 bytes given, in every 128-bit lane.
    template <class... Bytes> static V bytesPerLane(Bytes... b) noexcept {
        static_assert(sizeof...(Bytes) == 16);
        return _mm256_setr_epi8(static_cast<char>(b)..., static_cast<char>(b)...);
    }
    static V unpacklo32(V a, V b) noexcept { return _mm256_unpacklo_epi32(a, b); }
    static V unpackhi32(V a, V b) noexcept { return _mm256_unpackhi_epi32(a, b); }
    static V unpacklo64(V a, V b) noexcept { return _mm256_unpacklo_epi64(a, b); }
    static V unpackhi64(V a, V b) noexcept { return _mm256_unpackhi_epi64(a, b); }
    // The even (odd) 32-bit words of `a`, then of `b`, within each 128-bit lane.
    static V even32(V a, V b) noexcept {
        return _mm256_castps_si256(
            _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
    }
    static V odd32(V a, V b) noexcept {
        return _mm256_castps_si256(
            _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(3, 1, 3, 1)));
    }
};

} // namespace
} // namespace vorlaxen::chain_detail
