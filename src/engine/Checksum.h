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

// The checksum in the middle of a run, written for the length of its serial chain. A step is
// c' = (c >> 8) ^ word((c ^ b) & 0xFF); the next step's index is then byte1(c) ^ b' ^ byte0(word), so
// the chain from one index to the next is one table load and one XOR once byte1(c) ^ b' is ready, and
// that comes from the rest of c, which runs beside the chain. About five cycles a byte instead of seven.
struct ChecksumChain {
    std::uint32_t index; // (c ^ next byte) & 0xFF
    std::uint32_t rest;  // c >> 8

    // Starts from the checksum `c` before the byte `first`.
    [[gnu::always_inline]] static ChecksumChain Start(std::uint32_t c, std::uint8_t first) noexcept {
        return {(c ^ first) & 0xFFu, c >> 8};
    }

    // Takes the byte started with, then all but the last of the `count` bytes at `p`, which is the next
    // one to start with.
    [[gnu::always_inline]] void advance(const std::uint8_t* p, std::size_t count) noexcept {
        using checksum_detail::kTableLowBytes;
        using checksum_detail::kTableWords;
        // In locals: the byte reads could alias the members, which would then go to memory every step.
        std::uint32_t i0 = index;
        std::uint32_t r0 = rest;
        for (std::size_t i = 0; i < count; ++i) {
            std::uint32_t x = (r0 & 0xFFu) ^ p[i];
            // Kept apart so that the compiler does not fold it into the chain's XOR in another order.
#if defined(__GNUC__)
            asm("" : "+r"(x));
#endif
            const std::uint32_t next = kTableLowBytes[i0] ^ x;
            r0 = (r0 ^ kTableWords[i0]) >> 8;
            i0 = next;
        }
        index = i0;
        rest = r0;
    }

    // The checksum after the byte started with or last advanced to.
    [[gnu::always_inline]] std::uint32_t finish() const noexcept {
        return rest ^ checksum_detail::kTableWords[index];
    }
};

// The checksum continued over `count` bytes at `p` (count > 0); every byte-serial pass of the engine
// runs here.
[[gnu::always_inline]] inline std::uint32_t
ChecksumRun(std::uint32_t c, const std::uint8_t* p, std::size_t count) noexcept {
    ChecksumChain chain = ChecksumChain::Start(c, p[0]);
    chain.advance(p + 1, count - 1);
    return chain.finish();
}

// The checksum continued over one 8-byte block; the block loops of the ciphers call it inline so that the
// checksum's serial chain overlaps with the cipher's.
inline std::uint32_t ChecksumBlock(std::uint32_t c, const std::uint8_t* block) noexcept {
    return ChecksumRun(c, block, 8);
}

} // namespace vorlaxen
