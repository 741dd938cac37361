#include "engine/Des.h"

#include "engine/ChainModes.h"
#include "platform/SecureMemory.h"

#include <array>
#include <bit>

namespace vorlaxen {

namespace {

// The published tables; bit 1 is the most significant bit of the first byte.
constexpr std::uint8_t kPc1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
                                   35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
                                   46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr std::uint8_t kPc2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                   26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                   51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr std::uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
constexpr std::uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                 2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
constexpr std::uint8_t kSBoxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8,  3,  10, 6,  12, 5,  9,  0, 7,  0, 15, 7,  4,  14, 2,  13, 1,  10, 6, 12, 11,
     9,  5,  3,  8, 4,  1,  14, 8,  13, 6,  2,  11, 15, 12, 9, 7,  3, 10, 5,  0,  15, 12, 8,  2,  4,  9, 1,  7,
     5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4,  9,  7, 2,  13, 12, 0, 5,  10, 3, 13, 4,  7,  15, 2,  8,  14, 12, 0, 1, 10,
     6,  9,  11, 5,  0,  14, 7,  11, 10, 4, 13, 1,  5,  8, 12, 6,  9, 3,  2,  15, 13, 8,  10, 1,  3,  15, 4, 2,
     11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7,  11, 4,  2,  8,  13, 7,  0,  9,  3, 4,  6,  10, 2,  8, 5,  14,
     12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0,  11, 1,  2,  12, 5,  10, 14, 7,  1, 10, 13, 0,  6,  9, 8,  7,
     4,  15, 14, 3,  11, 5, 2,  12},
    {7,  13, 14, 3,  0,  6,  9,  10, 1,  2,  8,  5,  11, 12, 4,  15, 13, 8, 11, 5,  6,  15, 0,  3,  4,  7, 2,  12,
     1,  10, 14, 9,  10, 6,  9,  0,  12, 11, 7,  13, 15, 1,  3,  14, 5,  2, 8,  4,  3,  15, 0,  6,  10, 1, 13, 8,
     9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4,  1,  7,  10, 11, 6, 8,  5,  3,  15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,  13, 1,  5,  0, 15, 10,
     3,  9,  8,  6,  4,  2,  1,  11, 10, 13, 7, 8,  15, 9,  12, 5,  6,  3,  0,  14, 11, 8,  12, 7,  1,  14, 2, 13,
     6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6,  8,  0, 13, 3,  4,  14, 7,  5,  11, 10, 15, 4,  2,  7,  12, 9,  5,  6,  1, 13, 14,
     0,  11, 3,  8,  9,  14, 15, 5,  2, 8,  12, 3,  7,  0,  4,  10, 1,  13, 11, 6,  4,  3,  2,  12, 9,  5, 15, 10,
     11, 14, 1,  7,  6,  0,  8,  13},
    {4,  11, 2,  14, 15, 0, 8,  13, 3,  12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4,  9,  1,  10, 14, 3, 5,  12,
     2,  15, 8,  6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,  0,  5,  9,  2,  6,  11, 13, 8,  1,  4, 10, 7,
     9,  5,  0,  15, 14, 2, 3,  12},
    {13, 2,  8, 4,  6,  15, 11, 1,  10, 9,  3,  14, 5,  0,  12, 7,  1,  15, 13, 8,  10, 3,  7,  4,  12, 5, 6,  11,
     0,  14, 9, 2,  7,  11, 4,  1,  9,  12, 14, 2,  0,  6,  10, 13, 15, 3, 5,  8,  2,  1,  14, 7,  4,  10, 8, 13,
     15, 12, 9, 0,  3,  5,  6,  11},
};

// Merged S-box and P tables. Entry v of table n is what S-box n+1 contributes to f for the 6-bit input
// v, permuted by P and rotated left by one bit, because the rounds keep both halves rotated that way:
// the expansion E then becomes a rotation and two masks. Each table is indexed by a whole byte of the
// round's work word, whose top two bits do not belong to the group, so it repeats every 64 entries.
constexpr std::array<std::array<std::uint32_t, 256>, 8> MakeSpTables() {
    std::array<std::array<std::uint32_t, 256>, 8> tables{};
    for (int n = 0; n < 8; ++n) {
        for (int v = 0; v < 64; ++v) {
            int row = ((v >> 4) & 2) | (v & 1);
            int col = (v >> 1) & 15;
            std::uint32_t sOut = static_cast<std::uint32_t>(kSBoxes[n][row * 16 + col]) << (28 - 4 * n);
            std::uint32_t permuted = 0;
            for (int i = 0; i < 32; ++i)
                if ((sOut >> (32 - kP[i])) & 1u)
                    permuted |= 1u << (31 - i);
            std::uint32_t entry = std::rotl(permuted, 1);
            for (int repeat = 0; repeat < 4; ++repeat)
                tables[static_cast<std::size_t>(n)][static_cast<std::size_t>(v + 64 * repeat)] = entry;
        }
    }
    return tables;
}

alignas(64) constexpr std::array<std::array<std::uint32_t, 256>, 8> kSp = MakeSpTables();

// f of one round, with r rotated left by one: the groups of S-boxes 1, 3, 5, 7 sit in the bytes of r
// rotated right by four, those of 2, 4, 6, 8 in the bytes of r itself.
inline std::uint32_t F(std::uint32_t r, const std::uint32_t* k) noexcept {
    std::uint32_t a = std::rotr(r, 4) ^ k[0];
    std::uint32_t b = r ^ k[1];
    return (kSp[0][a >> 24] ^ kSp[2][(a >> 16) & 0xFF]) ^ (kSp[4][(a >> 8) & 0xFF] ^ kSp[6][a & 0xFF]) ^
           ((kSp[1][b >> 24] ^ kSp[3][(b >> 16) & 0xFF]) ^ (kSp[5][(b >> 8) & 0xFF] ^ kSp[7][b & 0xFF]));
}

template <int N>
inline void Rounds(std::uint32_t (&l)[N], std::uint32_t (&r)[N], const std::uint32_t* k) noexcept {
#pragma GCC unroll 8
    for (int round = 0; round < 16; round += 2) {
        for (int n = 0; n < N; ++n)
            l[n] ^= F(r[n], k + 2 * round);
        for (int n = 0; n < N; ++n)
            r[n] ^= F(l[n], k + 2 * round + 2);
    }
}

// Exchanges the bits of b selected by m with the bits of a selected by m << shift.
inline void SwapBits(std::uint32_t& a, std::uint32_t& b, int shift, std::uint32_t m) noexcept {
    std::uint32_t t = ((a >> shift) ^ b) & m;
    b ^= t;
    a ^= t << shift;
}

// The initial permutation by exchanges of bit groups between the halves, then the rotation of the rounds.
inline void InitialPermutation(std::uint32_t& l, std::uint32_t& r) noexcept {
    SwapBits(l, r, 4, 0x0F0F0F0Fu);
    SwapBits(l, r, 16, 0x0000FFFFu);
    SwapBits(r, l, 2, 0x33333333u);
    SwapBits(r, l, 8, 0x00FF00FFu);
    SwapBits(l, r, 1, 0x55555555u);
    l = std::rotl(l, 1);
    r = std::rotl(r, 1);
}

inline void FinalPermutation(std::uint32_t& l, std::uint32_t& r) noexcept {
    l = std::rotr(l, 1);
    r = std::rotr(r, 1);
    SwapBits(l, r, 1, 0x55555555u);
    SwapBits(r, l, 8, 0x00FF00FFu);
    SwapBits(r, l, 2, 0x33333333u);
    SwapBits(l, r, 16, 0x0000FFFFu);
    SwapBits(l, r, 4, 0x0F0F0F0Fu);
}

// Blocks are 64-bit words holding the 8 bytes in memory order; DES reads them as two big-endian halves.
inline void Split(std::uint64_t block, std::uint32_t& l, std::uint32_t& r) noexcept {
    if constexpr (std::endian::native == std::endian::little)
        block = __builtin_bswap64(block);
    l = static_cast<std::uint32_t>(block >> 32);
    r = static_cast<std::uint32_t>(block);
}

inline std::uint64_t Join(std::uint32_t l, std::uint32_t r) noexcept {
    std::uint64_t block = static_cast<std::uint64_t>(l) << 32 | r;
    if constexpr (std::endian::native == std::endian::little)
        block = __builtin_bswap64(block);
    return block;
}

// One DES pass (stages = 1) or encrypt-decrypt-encrypt (stages = 3) over N blocks. The permutations
// between the stages cancel, so they are left out.
template <int Stages>
struct DesKernel {
    DesSchedule schedules[Stages];

    template <int N>
    void transformLanes(std::uint64_t (&blocks)[N]) const noexcept {
        std::uint32_t l[N];
        std::uint32_t r[N];
        for (int n = 0; n < N; ++n) {
            Split(blocks[n], l[n], r[n]);
            InitialPermutation(l[n], r[n]);
        }
        Rounds(l, r, schedules[0].words);
        if constexpr (Stages == 3) {
            Rounds(r, l, schedules[1].words);
            Rounds(l, r, schedules[2].words);
        }
        for (int n = 0; n < N; ++n) {
            FinalPermutation(r[n], l[n]);
            blocks[n] = Join(r[n], l[n]);
        }
    }

    std::uint64_t transform(std::uint64_t block) const noexcept {
        std::uint64_t one[1] = {block};
        transformLanes<1>(one);
        return one[0];
    }
};

constexpr int kDesLanes = 4;

} // namespace

DesSchedule::~DesSchedule() {
    SecureZero(words, sizeof words);
}

void DesKeySchedule(const std::uint8_t key[8], CipherDirection direction, DesSchedule& schedule) {
    auto keyBit = [key](int bit) { return (key[(bit - 1) / 8] >> (7 - (bit - 1) % 8)) & 1u; };
    std::uint32_t c = 0;
    std::uint32_t d = 0;
    for (int i = 0; i < 28; ++i) {
        c = c << 1 | keyBit(kPc1[i]);
        d = d << 1 | keyBit(kPc1[i + 28]);
    }
    for (int round = 0; round < 16; ++round) {
        for (int s = 0; s < kShifts[round]; ++s) {
            c = ((c << 1) | (c >> 27)) & 0x0FFFFFFFu;
            d = ((d << 1) | (d >> 27)) & 0x0FFFFFFFu;
        }
        std::uint64_t cd = static_cast<std::uint64_t>(c) << 28 | d;
        std::uint32_t groups[8] = {};
        for (int j = 0; j < 48; ++j) {
            auto bit = static_cast<std::uint32_t>((cd >> (56 - kPc2[j])) & 1u);
            groups[j / 6] = groups[j / 6] << 1 | bit;
        }
        int slot = direction == CipherDirection::Encrypt ? round : 15 - round;
        schedule.words[2 * slot] = groups[0] << 24 | groups[2] << 16 | groups[4] << 8 | groups[6];
        schedule.words[2 * slot + 1] = groups[1] << 24 | groups[3] << 16 | groups[5] << 8 | groups[7];
        SecureZero(groups, sizeof groups);
    }
    c = d = 0;
}

void DesCipherBlock(const DesSchedule& schedule, std::uint8_t block[8]) {
    std::uint32_t l[1];
    std::uint32_t r[1];
    Split(chain_detail::Load(block), l[0], r[0]);
    InitialPermutation(l[0], r[0]);
    Rounds(l, r, schedule.words);
    FinalPermutation(r[0], l[0]);
    chain_detail::Store(block, Join(r[0], l[0]));
}

std::unique_ptr<BlockChain> MakeDesChain(const std::uint8_t key[8], bool chained, CipherDirection direction) {
    auto chain = std::make_unique<chain_detail::KernelChain<DesKernel<1>, kDesLanes>>(chained, direction);
    DesKeySchedule(key, direction, chain->kernel().schedules[0]);
    return chain;
}

std::unique_ptr<BlockChain> MakeTripleDesChain(const std::uint8_t key[24], CipherDirection direction) {
    auto chain = std::make_unique<chain_detail::KernelChain<DesKernel<3>, kDesLanes>>(true, direction);
    auto& s = chain->kernel().schedules;
    if (direction == CipherDirection::Encrypt) {
        DesKeySchedule(key, CipherDirection::Encrypt, s[0]);
        DesKeySchedule(key + 8, CipherDirection::Decrypt, s[1]);
        DesKeySchedule(key + 16, CipherDirection::Encrypt, s[2]);
    } else {
        DesKeySchedule(key + 16, CipherDirection::Decrypt, s[0]);
        DesKeySchedule(key + 8, CipherDirection::Encrypt, s[1]);
        DesKeySchedule(key, CipherDirection::Decrypt, s[2]);
    }
    return chain;
}

} // namespace vorlaxen
