#pragma once

#include "engine/BlockChain.h"

#include <cstdint>
#include <memory>

namespace vorlaxen {

// IDEA as published, with every 16-bit word of keys and blocks taken low byte first.

// 52 subkeys, six per round and four for the output transformation. Wiped on destruction.
struct IdeaSubkeys {
    std::uint16_t z[52] = {};

    IdeaSubkeys() = default;
    ~IdeaSubkeys();
    IdeaSubkeys(const IdeaSubkeys&) = delete;
    IdeaSubkeys& operator=(const IdeaSubkeys&) = delete;
};

void IdeaExpandKey(const std::uint8_t key[16], IdeaSubkeys& encryption);
void IdeaInvertKey(const IdeaSubkeys& encryption, IdeaSubkeys& decryption);
// Input and output may be the same block.
void IdeaCipherBlock(const std::uint8_t in[8], std::uint8_t out[8], const IdeaSubkeys& subkeys);

// Multiplication modulo 65537 in which the word 0 stands for 65536, and its inverse.
std::uint16_t IdeaMul(std::uint16_t a, std::uint16_t b) noexcept;
std::uint16_t IdeaMulInverse(std::uint16_t x) noexcept;

// IDEA in cipher block chaining over a 16-byte key; decryption runs in vector registers up to `most`
// where this processor has them.
std::unique_ptr<BlockChain>
MakeIdeaChain(const std::uint8_t key[16], CipherDirection direction, VectorIsa most = DefaultVectorIsa());

} // namespace vorlaxen
