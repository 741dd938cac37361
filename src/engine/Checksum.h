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

// Byte 0 of each table word, which the next step's index takes in (see ChecksumRun).
constexpr std::array<std::uint8_t, 256> MakeLowBytes() {
    std::array<std::uint8_t, 256> low{};
    for (std::size_t i = 0; i < 256; ++i)
        low[i] = static_cast<std::uint8_t>(kTableWords[i]);
    return low;
}

inline constexpr std::array<std::uint8_t, 256> kTableLowBytes = MakeLowBytes();

} // namespace checksum_detail

// The checksum continued over `count` bytes at `p` (count > 0), written for the length of its serial
// chain. A step is c' = (c >> 8) ^ word((c ^ b) & 0xFF); the next step's index is then
// byte1(c) ^ b' ^ byte0(word), so the chain from one index to the next is one table load and one XOR
// once byte1(c) ^ b' is ready, and that comes from the rest of c, which runs beside the chain. About
// five cycles a byte instead of seven; every byte-serial pass in the engine runs here.
[[gnu::always_inline]] inline std::uint32_t
ChecksumRun(std::uint32_t c, const std::uint8_t* p, std::size_t count) noexcept {
    using checksum_detail::kTableLowBytes;
    using checksum_detail::kTableWords;
    std::uint32_t index = (c ^ p[0]) & 0xFFu;
    std::uint32_t rest = c >> 8;
    for (std::size_t i = 1; i < count; ++i) {
        std::uint32_t x = (rest & 0xFFu) ^ p[i];
        // Kept apart so that the compiler does not fold it into the chain's XOR in another order.
#if defined(__GNUC__)
        asm("" : "+r"(x));
#endif
        const std::uint32_t next = kTableLowBytes[index] ^ x;
        rest = (rest ^ kTableWords[index]) >> 8;
        index = next;
    }
    return rest ^ kTableWords[index];
}

// The checksum continued over one 8-byte block; the block loops of the ciphers call it inline so that the
// checksum's serial chain overlaps with the cipher's.
inline std::uint32_t ChecksumBlock(std::uint32_t c, const std::uint8_t* block) noexcept {
    return ChecksumRun(c, block, 8);
}

} // namespace vorlaxen
