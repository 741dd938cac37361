// The bitsliced DES loop in AVX2: 256 blocks per group in 256-bit registers, 128 in 128-bit ones for
// the rest of a run, each three-input operation of the S-box networks as two-input ones.

#include "engine/DesRounds.h"
#include "engine/DesVector.h"
#include "engine/VectorLoop.h"
#include "platform/SecureMemory.h"

#include <cstring>
#include <utility>

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

#include "engine/DesSboxCircuits.h"

namespace vorlaxen::des_detail {
namespace {

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
    static V xorAnd(V a, V b, V m) noexcept { return band(bxor(a, b), m); }
    template <int Imm> static V lut3(V a, V b, V c) noexcept { return Lut3ByGates<Imm, Bits256>(a, b, c); }
    static V splat(std::uint32_t w) noexcept { return _mm256_set1_epi32(static_cast<int>(w)); }
    static V mask64(std::uint64_t w) noexcept { return _mm256_set1_epi64x(static_cast<long long>(w)); }
    template <int N> static V shr64(V a) noexcept { return _mm256_srli_epi64(a, N); }
    template <int N> static V shl64(V a) noexcept { return _mm256_slli_epi64(a, N); }
    // [last block of `before`, blocks 0-2 of `in`]
    static V shiftBlocks(V in, V before) noexcept {
        return _mm256_alignr_epi8(in, _mm256_permute2x128_si256(before, in, 0x21), 8);
    }
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
    static V xorAnd(V a, V b, V m) noexcept { return band(bxor(a, b), m); }
    template <int Imm> static V lut3(V a, V b, V c) noexcept { return Lut3ByGates<Imm, Bits128>(a, b, c); }
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

std::unique_ptr<chain_detail::VectorLoop> MakeDesLoopAvx2(const DesSchedule* schedules, int stages) {
    // A rest of fewer than 64 blocks is left to the scalar loop, which is faster there than a whole
    // narrow group.
    return std::make_unique<DesBitsliceLoop<Bits256, Bits256, Bits128, VectorIsa::Avx2, 64>>(schedules, stages);
}

} // namespace vorlaxen::des_detail

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else

namespace vorlaxen::des_detail {

std::unique_ptr<chain_detail::VectorLoop> MakeDesLoopAvx2(const DesSchedule*, int) {
    return nullptr;
}

} // namespace vorlaxen::des_detail

#endif
