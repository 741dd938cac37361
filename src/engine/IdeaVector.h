#pragma once

// IDEA's vector loops (internal to the engine): sixteen-bit lanes, one word of a block per lane, in
// AVX2 and AVX-512 registers. Each instruction set's kernel is in a file of its own, compiled for it.

#include "engine/VectorLoop.h"

#include <cstdint>
#include <memory>

namespace vorlaxen::idea_detail {

// The 52 subkeys as the vector rounds read them: each word repeated across a 64-byte row, and for the
// multiplications the two words that handle a factor 0 (standing for 65536): 1 - k, and 0 where k is 0
// (every lane then takes the zero case), else 0xFFFF. Wiped on destruction.
struct alignas(64) IdeaLaneKeys {
    std::uint16_t key[52][32];
    std::uint16_t oneMinus[52][32];
    std::uint16_t nonzero[52][32];

    explicit IdeaLaneKeys(const std::uint16_t z[52]) noexcept;
    ~IdeaLaneKeys();
    IdeaLaneKeys(const IdeaLaneKeys&) = delete;
    IdeaLaneKeys& operator=(const IdeaLaneKeys&) = delete;
};

// The loops for the subkeys `z`; each may only be made where DetectedVectorIsa() allows its set.
std::unique_ptr<chain_detail::VectorLoop> MakeIdeaLoopAvx2(const std::uint16_t z[52]);
std::unique_ptr<chain_detail::VectorLoop> MakeIdeaLoopAvx512(const std::uint16_t z[52]);

} // namespace vorlaxen::idea_detail
