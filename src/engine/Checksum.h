#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vorlaxen {

// The one 32-bit checksum of containers and the key file. It walks the reflected CRC-32 table as a
// 1024-byte array and reads each step's 32-bit word at the byte offset (c XOR b) AND 0xFF rather than at
// that entry, so it is not CRC-32: "abc" gives 0x5C6277B7. No initial or final inversion; stored files
// carry values of exactly this routine. Continuing from a previous result over the next bytes gives the
// same value as one call over all of them. An absent buffer or a count of 0 returns `start`.
std::uint32_t UpdateChecksum(std::uint32_t start, const void* data, std::size_t count) noexcept;

namespace checksum_detail {

inline constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// Table words T(i) for i = 0..255: the little-endian word formed by bytes i..i+3 of the reflected
// CRC-32 table laid out as 256 little-endian entries. Only bytes 0..258 of that table are ever read.
constexpr std::array<std::uint32_t, 256> MakeTableWords() {
    std::array<std::uint8_t, 260> bytes{};
    for (std::uint32_t k = 0; k < 65; ++k) {
        std::uint32_t crc = k;
        for (int step = 0; step < 8; ++step)
            crc = (crc & 1u) ? (crc >> 1) ^ kPolynomial : crc >> 1;
        for (std::uint32_t b = 0; b < 4; ++b)
            bytes[4 * k + b] = static_cast<std::uint8_t>(crc >> (8 * b));
    }
    std::array<std::uint32_t, 256> words{};
    for (std::size_t i = 0; i < 256; ++i)
        words[i] = static_cast<std::uint32_t>(bytes[i]) | static_cast<std::uint32_t>(bytes[i + 1]) << 8 |
                   static_cast<std::uint32_t>(bytes[i + 2]) << 16 | static_cast<std::uint32_t>(bytes[i + 3]) << 24;
    return words;
}

inline constexpr std::array<std::uint32_t, 256> kTableWords = MakeTableWords();

} // namespace checksum_detail

// The checksum continued over one 8-byte block; the block loops of the ciphers call it inline so that the
// checksum's serial chain overlaps with the cipher's.
inline std::uint32_t ChecksumBlock(std::uint32_t c, const std::uint8_t* block) noexcept {
    for (int i = 0; i < 8; ++i)
        c = (c >> 8) ^ checksum_detail::kTableWords[(c ^ block[i]) & 0xFFu];
    return c;
}

} // namespace vorlaxen
