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

#include "engine/IdeaLanes.h"

namespace vorlaxen::idea_detail {

std::unique_ptr<chain_detail::VectorLoop> MakeIdeaLoopAvx2(const std::uint16_t z[52]) {
    return std::make_unique<IdeaLoop<IdeaWords<256, VectorIsa::Avx2>>>(z);
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
