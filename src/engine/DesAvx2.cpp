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

#include "engine/DesBitslice.h"

namespace vorlaxen::des_detail {

std::unique_ptr<chain_detail::VectorLoop> MakeDesLoopAvx2(const DesSchedule* schedules, int stages) {
    using Bits256 = DesBits<256, VectorIsa::Avx2>;
    using Bits128 = DesBits<128, VectorIsa::Avx2>;
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
