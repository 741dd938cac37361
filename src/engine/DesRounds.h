#pragma once

// The DES rounds as the block loops run them (internal to the engine).
//
// Between the initial and the final permutation each 32-bit half is kept in expanded form: the eight
// 6-bit groups that the expansion E makes of it, one group in the low six bits of each byte of a 64-bit
// word, the top two bits of every byte zero. E is linear, so XORing the expanded form of f's output
// into the expanded half is the same as expanding the XORed half, and a round is then eight byte
// extractions, eight table reads and XORs, with no rotation or masking. The byte order matches a
// round key's word pair read as one 64-bit word: groups 1, 3, 5, 7 in bytes 7 to 4, groups 2, 4, 6, 8
// in bytes 3 to 0.
//
// The half that a round reads is held already XORed with that round's key (see DesRoundKeys), so the
// key is not on the path from one round to the next.

#include "engine/Checksum.h"
#include "engine/Des.h"
#include "platform/SecureMemory.h"

#include <bit>
#include <cstddef>
#include <cstdint>

namespace vorlaxen::des_detail {

// The published tables; bit 1 is the most significant bit.
inline constexpr std::uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                        2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
inline constexpr std::uint8_t kSBoxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8, 14, 6,  11, 3,  4, 9, 7, 2,  13, 12, 0, 5, 10, 3,  13, 4,  7, 15, 2,  8, 14, 12, 0, 1, 10, 6, 9, 11, 5,
     0,  14, 7, 11, 10, 4,  13, 1, 5, 8, 12, 6,  9,  3, 2, 15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6, 7, 12, 0, 5, 14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0, 8, 13, 3,  12, 9, 7, 5, 10, 6, 1, 13, 0,  11, 7, 4, 9, 1,  10, 14, 3, 5, 12, 2,  15, 8, 6,
     1, 4,  11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5,  9, 2, 6,  11, 13, 8, 1, 4, 10, 7,  9,  5, 0, 15, 14, 2,  3, 12},
    {13, 2,  8, 4, 6, 15, 11, 1, 10, 9, 3,  14, 5,  0, 12, 7, 1, 15, 13, 8, 10, 3,  7, 4,  12, 5,  6, 11, 0, 14, 9, 2,
     7,  11, 4, 1, 9, 12, 14, 2, 0,  6, 10, 13, 15, 3, 5,  8, 2, 1,  14, 7, 4,  10, 8, 13, 15, 12, 9, 0,  3, 5,  6, 11},
};

inline constexpr std::uint32_t kGroupMask = 0x3F3F3F3Fu;
inline constexpr std::uint64_t kExpandedMask = 0x3F3F3F3F3F3F3F3Full;

// The expanded form of a half (bit 1 of the half is bit 31 of x).
constexpr std::uint64_t ExpandHalf(std::uint32_t x) noexcept {
    return static_cast<std::uint64_t>(std::rotr(x, 3) & kGroupMask) << 32 | (std::rotl(x, 1) & kGroupMask);
}

// The half back from its expanded form: the low word holds 24 of its bits, the high word the other 8.
constexpr std::uint32_t CompressHalf(std::uint64_t e) noexcept {
    return std::rotr(static_cast<std::uint32_t>(e) & kGroupMask, 1) |
           std::rotl(static_cast<std::uint32_t>(e >> 32) & 0x0C0C0C0Cu, 3);
}

// The S-box (0 to 7) that reads byte n of an expanded word, low byte first.
inline constexpr int kSBoxOfByte[8] = {7, 5, 3, 1, 6, 4, 2, 0};

// The tables the rounds read, in one block so that one base register reaches them all: for each byte
// position n, the expanded form of f's output when S-box kSBoxOfByte[n] reads the 6-bit value v and
// the others contribute nothing (512 bytes per position), then the container checksum's table words,
// which the interleaved block loop folds in beside the rounds.
struct alignas(64) DesTables {
    std::uint64_t sp[8][64];
    std::uint32_t checksum[256];
};

inline constexpr std::size_t kChecksumTableOffset = sizeof(std::uint64_t) * 8 * 64;

constexpr DesTables MakeDesTables() noexcept {
    DesTables tables{};
    for (int n = 0; n < 8; ++n) {
        const int box = kSBoxOfByte[n];
        for (int v = 0; v < 64; ++v) {
            // The outer bits of the group choose the row, the inner four the column.
            const int row = ((v >> 4) & 2) | (v & 1);
            const int col = (v >> 1) & 15;
            const std::uint32_t sOut = static_cast<std::uint32_t>(kSBoxes[box][row * 16 + col]) << (28 - 4 * box);
            std::uint32_t permuted = 0;
            for (int i = 0; i < 32; ++i)
                if ((sOut >> (32 - kP[i])) & 1u)
                    permuted |= 1u << (31 - i);
            tables.sp[n][v] = ExpandHalf(permuted);
        }
    }
    for (std::size_t i = 0; i < 256; ++i)
        tables.checksum[i] = checksum_detail::kTableWords[i];
    return tables;
}

inline constexpr DesTables kDesTables = MakeDesTables();

// Exchanges the bits of b selected by m with the bits of a selected by m << shift.
inline void SwapBits(std::uint32_t& a, std::uint32_t& b, int shift, std::uint32_t m) noexcept {
    std::uint32_t t = ((a >> shift) ^ b) & m;
    b ^= t;
    a ^= t << shift;
}

// Blocks are 64-bit words holding the 8 bytes in memory order; DES reads them as two big-endian halves.
// The initial permutation is done by exchanges of bit groups between the halves.
inline void InitialPermutation(std::uint64_t block, std::uint32_t& l, std::uint32_t& r) noexcept {
    if constexpr (std::endian::native == std::endian::little)
        block = __builtin_bswap64(block);
    l = static_cast<std::uint32_t>(block >> 32);
    r = static_cast<std::uint32_t>(block);
    SwapBits(l, r, 4, 0x0F0F0F0Fu);
    SwapBits(l, r, 16, 0x0000FFFFu);
    SwapBits(r, l, 2, 0x33333333u);
    SwapBits(r, l, 8, 0x00FF00FFu);
    SwapBits(l, r, 1, 0x55555555u);
}

inline std::uint64_t FinalPermutation(std::uint32_t l, std::uint32_t r) noexcept {
    SwapBits(l, r, 1, 0x55555555u);
    SwapBits(r, l, 8, 0x00FF00FFu);
    SwapBits(r, l, 2, 0x33333333u);
    SwapBits(l, r, 16, 0x0000FFFFu);
    SwapBits(l, r, 4, 0x0F0F0F0Fu);
    std::uint64_t block = static_cast<std::uint64_t>(l) << 32 | r;
    if constexpr (std::endian::native == std::endian::little)
        block = __builtin_bswap64(block);
    return block;
}

// A block between the permutations: both halves in expanded form, a the left one.
struct DesState {
    std::uint64_t a;
    std::uint64_t b;

    DesState& operator^=(const DesState& o) noexcept {
        a ^= o.a;
        b ^= o.b;
        return *this;
    }
};

// Both maps are linear (they move and copy bits), and StoreState undoes LoadState, so a chaining value
// may be XORed in either form.
inline DesState LoadState(std::uint64_t block) noexcept {
    std::uint32_t l, r;
    InitialPermutation(block, l, r);
    return {ExpandHalf(l), ExpandHalf(r)};
}

inline std::uint64_t StoreState(const DesState& s) noexcept {
    return FinalPermutation(CompressHalf(s.a), CompressHalf(s.b));
}

// Plans the key offsets of `stages` (1 or 3) chained key schedules into 17 words per stage: see
// DesRoundKeys.
void PlanRoundKeys(const DesSchedule* schedules,
                   int stages,
                   std::uint64_t* stageKeys,
                   std::uint64_t& exitA,
                   std::uint64_t& exitB) noexcept;

// The keys of 16 * Stages rounds in the form the rounds use. Stages = 3 is encrypt-decrypt-encrypt:
// the final and initial permutations between the stages cancel and are left out, and each later stage
// starts on the halves the one before left, in swapped roles.
//
// A half is kept XORed with the key of the next round that reads it (its offset). A round XORs into the
// half it updates, together with f, its d: the change from the offset that half carried to the key of
// the next round that reads it. Only where a stage begins is a half read twice without an update
// between; there the stage's first word, its adjust, moves the offset of the half it reads first (for
// stage 0 it brings in the first key). The d of the stage's sixteen rounds follow. After the last round
// `exitA` and `exitB` take away what is left.
template <int Stages> struct DesRoundKeys {
    std::uint64_t stage[Stages][17] = {};
    std::uint64_t exitA = 0;
    std::uint64_t exitB = 0;

    DesRoundKeys() = default;
    DesRoundKeys(const DesRoundKeys&) = delete;
    DesRoundKeys& operator=(const DesRoundKeys&) = delete;
    ~DesRoundKeys() { SecureZero(this, sizeof *this); }

    void set(const DesSchedule* schedules) noexcept { PlanRoundKeys(schedules, Stages, stage[0], exitA, exitB); }
};

// Runs the stages on N blocks with `stage(u, v, keys, index)` applying a stage's 17 key words: the
// adjust XORed into v, then sixteen rounds, u updated first and v read first. Even stages start on the
// left half, odd ones on the right. The result is named so that it reads like an input again, a the
// left half of the output block.
template <int Stages, int N, class Stage>
[[gnu::always_inline]] inline void RunStages(const DesRoundKeys<Stages>& keys, DesState (&s)[N], const Stage& stage) {
    std::uint64_t a[N], b[N];
    for (int n = 0; n < N; ++n) {
        a[n] = s[n].a;
        b[n] = s[n].b;
    }
    stage(a, b, keys.stage[0], 0);
    if constexpr (Stages == 3) {
        stage(b, a, keys.stage[1], 1);
        stage(a, b, keys.stage[2], 2);
    }
    for (int n = 0; n < N; ++n)
        s[n] = {b[n] ^ keys.exitB, a[n] ^ keys.exitA};
}

// f in expanded form of an expanded half that already carries the round key.
inline std::uint64_t F(std::uint64_t y) noexcept {
    const auto& t = kDesTables.sp;
    return (t[0][y & 63] ^ t[1][(y >> 8) & 63]) ^ (t[2][(y >> 16) & 63] ^ t[3][(y >> 24) & 63]) ^
           ((t[4][(y >> 32) & 63] ^ t[5][(y >> 40) & 63]) ^ (t[6][(y >> 48) & 63] ^ t[7][y >> 56]));
}

// Sixteen rounds on N blocks in plain C++: for any processor, and the reference that the assembly
// rounds are checked against.
template <int N>
inline void PortableStage(std::uint64_t (&u)[N], std::uint64_t (&v)[N], const std::uint64_t* d) noexcept {
#pragma GCC unroll 8
    for (int k = 0; k < 16; k += 2) {
        for (int n = 0; n < N; ++n)
            u[n] ^= d[k] ^ F(v[n]);
        for (int n = 0; n < N; ++n)
            v[n] ^= d[k + 1] ^ F(u[n]);
    }
}

struct PortableStages {
    template <int N>
    [[gnu::always_inline]] void
    operator()(std::uint64_t (&u)[N], std::uint64_t (&v)[N], const std::uint64_t* keys, int) const noexcept {
        for (int n = 0; n < N; ++n)
            v[n] ^= keys[0];
        PortableStage(u, v, keys + 1);
    }
};

template <int Stages, int N> inline void PortableRounds(const DesRoundKeys<Stages>& keys, DesState (&s)[N]) noexcept {
    RunStages(keys, s, PortableStages{});
}

} // namespace vorlaxen::des_detail
