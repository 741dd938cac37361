#pragma once

// The DES vector loops (internal to the engine): bitsliced, a register holding one bit of as many
// blocks as it has bits, so that the S-boxes become a few dozen logical operations on whole registers
// and every permutation a renaming. Each instruction set's kernel is in a file of its own, compiled
// for it.

#include "engine/Des.h"
#include "engine/VectorLoop.h"

#include <cstdint>
#include <memory>

namespace vorlaxen::des_detail {

// The round keys of one DES pass or of three (encrypt-decrypt-encrypt), one word per key bit, all ones
// or all zeros, as the bitsliced rounds XOR them into every block at once: round r, S-box s, bit k
// (the first of the six being 0) at bits[r][6 * s + k]. Wiped on destruction.
struct DesBitsliceKeys {
    std::uint32_t bits[48][48] = {};
    int stages = 1;

    // From `stages` (1 or 3) schedules, applied in order.
    DesBitsliceKeys(const DesSchedule* schedules, int stages) noexcept;
    ~DesBitsliceKeys();
    DesBitsliceKeys(const DesBitsliceKeys&) = delete;
    DesBitsliceKeys& operator=(const DesBitsliceKeys&) = delete;
};

// The loops for `stages` schedules; each may only be made where DetectedVectorIsa() allows its set.
std::unique_ptr<chain_detail::VectorLoop> MakeDesLoopAvx2(const DesSchedule* schedules, int stages);
std::unique_ptr<chain_detail::VectorLoop> MakeDesLoopAvx512(const DesSchedule* schedules, int stages);

} // namespace vorlaxen::des_detail
