#pragma once

#include "engine/BlockChain.h"

#include <cstdint>
#include <memory>

namespace vorlaxen {

// The 16 round keys of one DES key for one direction. Each 48-bit round key is two words: the first
// holds the 6-bit groups that feed S-boxes 1, 3, 5 and 7, the second those of 2, 4, 6 and 8, one group
// in the low six bits of each byte, the lower-numbered group in the more significant byte. A decryption
// schedule holds the encryption round keys in reverse order. Wiped on destruction.
struct DesSchedule {
    std::uint32_t words[32] = {};

    DesSchedule() = default;
    ~DesSchedule();
    DesSchedule(const DesSchedule&) = delete;
    DesSchedule& operator=(const DesSchedule&) = delete;
};

// Builds the schedule of an 8-byte key (standard bit order, parity bits ignored).
void DesKeySchedule(const std::uint8_t key[8], CipherDirection direction, DesSchedule& schedule);

// DES on one 8-byte block in place: encryption with an encryption schedule, decryption with a decryption
// schedule.
void DesCipherBlock(const DesSchedule& schedule, std::uint8_t block[8]);

// Single DES over blocks, each block alone (`chained` false, method 0) or in cipher block chaining. The
// parallel loops (decryption, blocks each alone) run in vector registers up to `most` where this
// processor has them.
std::unique_ptr<BlockChain>
MakeDesChain(const std::uint8_t key[8], bool chained, CipherDirection direction, VectorIsa most = DefaultVectorIsa());

// Three-key Triple DES, encrypt-decrypt-encrypt, in cipher block chaining: key bytes 0-7, 8-15, 16-23.
std::unique_ptr<BlockChain>
MakeTripleDesChain(const std::uint8_t key[24], CipherDirection direction, VectorIsa most = DefaultVectorIsa());

} // namespace vorlaxen
