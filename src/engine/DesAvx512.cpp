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

#include "engine/X86Registers512.h"
// The 512-bit registers are specialized before any header that uses them (the include order matters).
#include "engine/DesBitslice.h"

namespace vorlaxen::des_detail {

std::unique_ptr<chain_detail::VectorLoop> MakeDesLoopAvx512(const DesSchedule* schedules, int stages) {
    using Bits512 = DesBits<512, VectorIsa::Avx512>;
    using Bits256 = DesBits<256, VectorIsa::Avx512>;
    using Bits128 = DesBits<128, VectorIsa::Avx512>;
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
