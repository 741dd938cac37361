// The bitsliced DES loop in AVX-512 (F, VL): 512 blocks per group in 512-bit registers, 256 and 128
// in the narrower ones for the rest of a run, every S-box operation one three-input instruction.

#include "engine/DesRounds.h"
#include "engine/DesVector.h"
#include "engine/VectorLoop.h"
#include "platform/SecureMemory.h"

#include <cstring>
#include <utility>

#if defined(__x86_64__) && defined(__GNUC__)
// GCC 12's AVX-512 headers pass an undefined register as the unused source of some operations, which
// its own uninitialized-use check then reports.
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

#include "engine/DesSboxCircuits.h"

namespace vorlaxen::des_detail {
namespace {

struct Bits512 {
    using V = __m512i;
    static constexpr std::size_t kBlocks = 512;
    static V load(const std::uint8_t* p) noexcept { return _mm512_loadu_si512(p); }
    static void store(std::uint8_t* p, V v) noexcept { _mm512_storeu_si512(p, v); }
    static V zero() noexcept { return _mm512_setzero_si512(); }
    static V ones() noexcept { return _mm512_set1_epi32(-1); }
    static V band(V a, V b) noexcept { return _mm512_and_si512(a, b); }
    static V bor(V a, V b) noexcept { return _mm512_or_si512(a, b); }
    static V bxor(V a, V b) noexcept { return _mm512_xor_si512(a, b); }
    static V bandnot(V a, V b) noexcept { return _mm512_andnot_si512(a, b); }
    static V xorAnd(V a, V b, V m) noexcept { return _mm512_ternarylogic_epi64(a, b, m, 0x28); }
    template <int Imm> static V lut3(V a, V b, V c) noexcept { return _mm512_ternarylogic_epi64(a, b, c, Imm); }
    static V splat(std::uint32_t w) noexcept { return _mm512_set1_epi32(static_cast<int>(w)); }
    static V mask64(std::uint64_t w) noexcept { return _mm512_set1_epi64(static_cast<long long>(w)); }
    template <int N> static V shr64(V a) noexcept { return _mm512_srli_epi64(a, N); }
    template <int N> static V shl64(V a) noexcept { return _mm512_slli_epi64(a, N); }
    static V shiftBlocks(V in, V before) noexcept { return _mm512_alignr_epi64(in, before, 7); }
};

struct Bits256 {
    using V = __m256i;
    static constexpr std::size_t kBlocks = 256;
    static V load(const std::uint8_t* p) noexcept { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
    static void store(std::uint8_t* p, V v) noexcept { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
    static V zero() noexcept { return _mm256_setzero_si256(); }
    static V ones() noexcept { return _mm256_set1_epi32(-1); }
    static V band(V a, V b) noexcept { return _mm256_and_si256(a, b); }
    static V bor(V a, V b) noexcept { return _mm256_or_si256(a, b); }
    static V bxor(V a, V b) noexcept { return _mm256_xor_si256(a, b); }
    static V bandnot(V a, V b) noexcept { return _mm256_andnot_si256(a, b); }
    static V xorAnd(V a, V b, V m) noexcept { return _mm256_ternarylogic_epi64(a, b, m, 0x28); }
    template <int Imm> static V lut3(V a, V b, V c) noexcept { return _mm256_ternarylogic_epi64(a, b, c, Imm); }
    static V splat(std::uint32_t w) noexcept { return _mm256_set1_epi32(static_cast<int>(w)); }
    static V mask64(std::uint64_t w) noexcept { return _mm256_set1_epi64x(static_cast<long long>(w)); }
    template <int N> static V shr64(V a) noexcept { return _mm256_srli_epi64(a, N); }
    template <int N> static V shl64(V a) noexcept { return _mm256_slli_epi64(a, N); }
    static V shiftBlocks(V in, V before) noexcept { return _mm256_alignr_epi64(in, before, 3); }
};

struct Bits128 {
    using V = __m128i;
    static constexpr std::size_t kBlocks = 128;
    static V load(const std::uint8_t* p) noexcept { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
    static void store(std::uint8_t* p, V v) noexcept { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
    static V zero() noexcept { return _mm_setzero_si128(); }
    static V ones() noexcept { return _mm_set1_epi32(-1); }
    static V band(V a, V b) noexcept { return _mm_and_si128(a, b); }
    static V bor(V a, V b) noexcept { return _mm_or_si128(a, b); }
    static V bxor(V a, V b) noexcept { return _mm_xor_si128(a, b); }
    static V bandnot(V a, V b) noexcept { return _mm_andnot_si128(a, b); }
    static V xorAnd(V a, V b, V m) noexcept { return _mm_ternarylogic_epi64(a, b, m, 0x28); }
    template <int Imm> static V lut3(V a, V b, V c) noexcept { return _mm_ternarylogic_epi64(a, b, c, Imm); }
    static V splat(std::uint32_t w) noexcept { return _mm_set1_epi32(static_cast<int>(w)); }
    static V mask64(std::uint64_t w) noexcept { return _mm_set1_epi64x(static_cast<long long>(w)); }
    template <int N> static V shr64(V a) noexcept { return _mm_srli_epi64(a, N); }
    template <int N> static V shl64(V a) noexcept { return _mm_slli_epi64(a, N); }
    static V shiftBlocks(V in, V before) noexcept { return _mm_alignr_epi8(in, before, 8); }
};

} // namespace
} // namespace vorlaxen::des_detail

#include "engine/DesBitslice.h"

namespace vorlaxen::des_detail {

std::unique_ptr<chain_detail::VectorLoop> MakeDesLoopAvx512(const DesSchedule* schedules, int stages) {
    // A rest of fewer than 48 blocks is left to the scalar loop, which is faster there than a whole
    // narrow group.
    return std::make_unique<DesBitsliceLoop<Bits512, Bits256, Bits128, VectorIsa::Avx512, 48>>(schedules, stages);
}

} // namespace vorlaxen::des_detail

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else

namespace vorlaxen::des_detail {

std::unique_ptr<chain_detail::VectorLoop> MakeDesLoopAvx512(const DesSchedule*, int) {
    return nullptr;
}

} // namespace vorlaxen::des_detail

#endif
