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

#include "engine/X86Registers512.h"
// The 512-bit registers are specialized before any header that uses them (the include order matters).
#include "engine/IdeaLanes.h"

namespace vorlaxen::idea_detail {

std::unique_ptr<chain_detail::VectorLoop> MakeIdeaLoopAvx512(const std::uint16_t z[52]) {
    return std::make_unique<IdeaLoop<IdeaWords<512, VectorIsa::Avx512>>>(z);
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
