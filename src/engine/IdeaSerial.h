#pragma once

// IDEA's rounds on one block at a time, for the serial chain of cipher block chaining encryption
// (internal to the engine). There each block waits for the one before, so what counts is the latency
// of one block's dependent operations; the parallel loops are built for throughput instead (Idea.cpp,
// IdeaLanes.h).
//
// A round's critical path is three multiplications modulo 65537 (by z1, z5 and z6) and the two XORs
// between them; the multiplications by z4 and the additions run beside it. A multiplication here has
// no branch: the factors are prepared once per file (MulKey), and the correction for the word 0 is
// worked out beside the product. The addition of (b XOR d) to t0 rides in the multiplication's own
// last addition.

#include "engine/Checksum.h"

#include <bit>
#include <cstddef>
#include <cstdint>

// The x86-64 form of the block (GCC-style inline assembly): written out, a round keeps its critical
// path at twenty cycles on processors with a three-cycle multiplier, where the compiler's own
// scheduling lost a tenth of that. Builds with VORLAXEN_PORTABLE_DES, builds with the address
// sanitizer and other processors take the same arithmetic in plain C++.
#if defined(__SANITIZE_ADDRESS__)
#define VORLAXEN_IDEA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define VORLAXEN_IDEA_SANITIZED 1
#endif
#endif
#if defined(__x86_64__) && defined(__GNUC__) && !defined(VORLAXEN_PORTABLE_DES) && !defined(VORLAXEN_IDEA_SANITIZED)
#define VORLAXEN_IDEA_X86 1
#endif

namespace vorlaxen::idea_detail {

// A multiplicative subkey z prepared so that x ⊙ z needs no branch. The factor 65536 that z = 0 stands
// for is used as it is: a word times 65536 still fits 32 bits, and lo - hi + (lo < hi) reduces every
// product of two factors 1 to 65536 (hi * 65536 + lo is congruent to lo - hi). Only the word x = 0
// (65536) is not a factor the multiplier sees; its product 65536 * z is congruent to 1 - z, which the
// reduction adds in place of the empty product.
struct MulKey {
    std::uint32_t factor;   // z, or 65536 for z = 0
    std::uint32_t oneMinus; // (1 - z) modulo 65536

    void set(std::uint16_t z) noexcept {
        factor = z ? z : 0x10000u;
        oneMinus = (1u - z) & 0xFFFFu;
    }
};

struct SerialRoundKeys {
    MulKey z1;
    std::uint32_t z2;
    std::uint32_t z3;
    MulKey z4;
    MulKey z5;
    MulKey z6;
};

struct SerialOutputKeys {
    MulKey z1;
    std::uint32_t z2;
    std::uint32_t z3;
    MulKey z4;
};

// The subkeys of one file in the serial rounds' form, with copies of the checksum's tables, so that the
// assembly reaches everything from one base register. Wiped by its owner.
struct SerialKeys {
    SerialRoundKeys rounds[8];
    SerialOutputKeys output;
    std::uint32_t checksumWords[256];
    std::uint8_t checksumLow[256];

    void set(const std::uint16_t subkeys[52]) noexcept {
        for (int r = 0; r < 8; ++r) {
            const std::uint16_t* k = subkeys + 6 * r;
            rounds[r].z1.set(k[0]);
            rounds[r].z2 = k[1];
            rounds[r].z3 = k[2];
            rounds[r].z4.set(k[3]);
            rounds[r].z5.set(k[4]);
            rounds[r].z6.set(k[5]);
        }
        output.z1.set(subkeys[48]);
        output.z2 = subkeys[49];
        output.z3 = subkeys[50];
        output.z4.set(subkeys[51]);
        for (std::size_t i = 0; i < 256; ++i) {
            checksumWords[i] = checksum_detail::kTableWords[i];
            checksumLow[i] = checksum_detail::kTableLowBytes[i];
        }
    }
};

// A block as the serial loop chains it: its four words, each in the low 16 bits of a register of its
// own, so that the chaining XOR is four independent XORs. Above the low 16 bits the words are 0, except
// that of the third word while the rounds run.
struct IdeaWords {
    std::uint32_t x[4];

    IdeaWords& operator^=(const IdeaWords& o) noexcept {
        for (int i = 0; i < 4; ++i)
            x[i] ^= o.x[i];
        keepInRegisters();
        return *this;
    }

    // Left to itself the compiler packs the four words into vector registers or pairs of words for
    // the XOR and for storing the block, and unpacks them on the chain between two blocks.
    [[gnu::always_inline]] void keepInRegisters() noexcept {
#if defined(__GNUC__)
        asm("" : "+r"(x[0]), "+r"(x[1]), "+r"(x[2]), "+r"(x[3]));
#endif
    }
};

// Blocks are 64-bit words holding the 8 bytes in memory order; IDEA reads them as four words, low byte
// first.
inline IdeaWords SplitWords(std::uint64_t block) noexcept {
    if constexpr (std::endian::native == std::endian::big)
        block = __builtin_bswap64(block);
    IdeaWords w;
    for (int i = 0; i < 4; ++i)
        w.x[i] = static_cast<std::uint32_t>(block >> (16 * i)) & 0xFFFFu;
    return w;
}

inline std::uint64_t JoinWords(const IdeaWords& w) noexcept {
    std::uint64_t block = 0;
    for (int i = 0; i < 4; ++i)
        block |= static_cast<std::uint64_t>(w.x[i] & 0xFFFFu) << (16 * i);
    if constexpr (std::endian::native == std::endian::big)
        block = __builtin_bswap64(block);
    return block;
}

// (x ⊙ z + addend) modulo 65536 for a word x, in plain C++. The correction is a mask: (x - 1) >> 16 is
// 0xFFFF for x = 0 and 0 for every other word.
inline std::uint32_t MulAdd(std::uint32_t x, const MulKey& k, std::uint32_t addend = 0) noexcept {
    const std::uint32_t extra = (k.oneMinus & ((x - 1u) >> 16)) + addend;
    const std::uint32_t p = x * k.factor;
    const std::uint32_t lo = p & 0xFFFFu;
    const std::uint32_t hi = p >> 16;
    return (lo - hi + (lo < hi ? 1u : 0u) + extra) & 0xFFFFu;
}

inline void SerialRound(IdeaWords& w, const SerialRoundKeys& k) noexcept {
    const std::uint32_t a = MulAdd(w.x[0], k.z1);
    const std::uint32_t b = w.x[1] + k.z2; // only its low 16 bits are used
    const std::uint32_t c = (w.x[2] + k.z3) & 0xFFFFu;
    const std::uint32_t d = MulAdd(w.x[3], k.z4);
    const std::uint32_t e = b ^ d;
    const std::uint32_t s = MulAdd(a ^ c, k.z5, e); // t0 + e
    const std::uint32_t t1 = MulAdd(s, k.z6);
    const std::uint32_t t2 = s - e + t1; // t0 + t1, in its low 16 bits
    w.x[0] = a ^ t1;
    w.x[1] = c ^ t1;
    w.x[2] = b ^ t2;
    w.x[3] = (d ^ t2) & 0xFFFFu;
}

inline void SerialOutput(IdeaWords& w, const SerialOutputKeys& k) noexcept {
    const std::uint32_t y1 = MulAdd(w.x[0], k.z1);
    const std::uint32_t y2 = (w.x[2] + k.z2) & 0xFFFFu;
    const std::uint32_t y3 = (w.x[1] + k.z3) & 0xFFFFu;
    const std::uint32_t y4 = MulAdd(w.x[3], k.z4);
    w.x[0] = y1;
    w.x[1] = y2;
    w.x[2] = y3;
    w.x[3] = y4;
}

#ifdef VORLAXEN_IDEA_X86

// Offsets into SerialKeys, as the assembly below writes them.
static_assert(sizeof(SerialRoundKeys) == 40 && offsetof(SerialRoundKeys, z2) == 8 &&
              offsetof(SerialRoundKeys, z3) == 12 && offsetof(SerialRoundKeys, z4) == 16 &&
              offsetof(SerialRoundKeys, z5) == 24 && offsetof(SerialRoundKeys, z6) == 32);
static_assert(offsetof(SerialKeys, output) == 320 && offsetof(SerialOutputKeys, z2) == 8 &&
              offsetof(SerialOutputKeys, z3) == 12 && offsetof(SerialOutputKeys, z4) == 16);
static_assert(offsetof(SerialKeys, checksumWords) == 344 && offsetof(SerialKeys, checksumLow) == 1368);

// clang-format off
// Register roles, for the operands of every statement below:
//   %[k]  the SerialKeys (also an input in memory, so that the compiler knows the statement reads them);
//   X1 to X4 the block's words; A, D, E, F, S five more registers. A round leaves its result in A, X3,
//   X2, D (the next round's X1 to X4) and takes X1, X4, E, F, S as its next A, D, E, F, S, so that two
//   rounds bring every role back to its register;
//   %[ci], %[cr], %[cx] the checksum's chain (ChecksumChain's index and rest, and a temporary).
//
// F = the correction of a multiplication by the key at byte KO of %[k] for the word in X: 1 - z when X
// is 0, else 0. A conditional move, two operations beside the product; clearing F first is free.
#define VORLAXEN_IDEA_FIX(X, F, KO)                                                                                    \
    "xor %k[" F "], %k[" F "]\n\t"                                                                                     \
    "test %k[" X "], %k[" X "]\n\t"                                                                                    \
    "cmovz " KO "+4(%[k]), %k[" F "]\n\t"

// R = (X ⊙ z + F) modulo 65536 with the factor at byte KO of %[k], R clean above its 16 bits; X is
// left holding nothing of use. lo - hi in sixteen bits leaves the borrow for the addition with carry,
// and sixteen-bit operations keep the zero-extended lo half clean above them.
#define VORLAXEN_IDEA_MUL(X, R, F, KO)                                                                                 \
    "imul " KO "(%[k]), %k[" X "]\n\t"                                                                                 \
    "movzwl %w[" X "], %k[" R "]\n\t"                                                                                  \
    "shr $16, %k[" X "]\n\t"                                                                                           \
    "sub %w[" X "], %w[" R "]\n\t"                                                                                     \
    "adc %w[" F "], %w[" R "]\n\t"

// One step of the checksum over the plain byte operand B (ChecksumChain::advance); empty when B is "".
#define VORLAXEN_IDEA_CHECKSUM_STEP(B)                                                                                 \
    "movzbl %b[cr], %k[cx]\n\t"                                                                                        \
    "xorb " B ", %b[cx]\n\t"                                                                                           \
    "xor 344(%[k],%q[ci],4), %k[cr]\n\t"                                                                               \
    "shr $8, %k[cr]\n\t"                                                                                               \
    "movzbl 1368(%[k],%q[ci]), %k[ci]\n\t"                                                                             \
    "xor %k[cx], %k[ci]\n\t"

// One round with its keys at byte KO of %[k], after STEP (a checksum step or nothing). The order is
// the fastest of the many tried on the processor these figures come from (bench/README.md): the
// processor picks the oldest ready operation, and which operations meet on one unit decides how
// often the critical path waits a cycle.
#define VORLAXEN_IDEA_ROUND(KO, X1, X2, X3, X4, A, D, E, F, S, STEP)                                                   \
    STEP                                                                                                               \
    VORLAXEN_IDEA_FIX(X1, F, KO)                                                                                       \
    VORLAXEN_IDEA_MUL(X1, A, F, KO)                                                                                    \
    "add " KO "+8(%[k]), %k[" X2 "]\n\t"                                                                               \
    "add " KO "+12(%[k]), %k[" X3 "]\n\t"                                                                              \
    "movzwl %w[" X3 "], %k[" X3 "]\n\t"                                                                                \
    "mov %k[" A "], %k[" X1 "]\n\t"                                                                                    \
    "xor %k[" X3 "], %k[" X1 "]\n\t"                                                                                   \
    VORLAXEN_IDEA_FIX(X4, E, KO "+16")                                                                                 \
    VORLAXEN_IDEA_MUL(X4, D, E, KO "+16")                                                                              \
    "mov %k[" X2 "], %k[" E "]\n\t"                                                                                    \
    "xor %k[" D "], %k[" E "]\n\t"                                                                                     \
    VORLAXEN_IDEA_FIX(X1, F, KO "+24")                                                                                 \
    "add %k[" E "], %k[" F "]\n\t"                                                                                     \
    VORLAXEN_IDEA_MUL(X1, S, F, KO "+24")                                                                              \
    VORLAXEN_IDEA_FIX(S, F, KO "+32")                                                                                  \
    "mov %k[" S "], %k[" X4 "]\n\t"                                                                                    \
    VORLAXEN_IDEA_MUL(X4, X1, F, KO "+32")                                                                             \
    "xor %k[" X1 "], %k[" A "]\n\t"                                                                                    \
    "xor %k[" X1 "], %k[" X3 "]\n\t"                                                                                   \
    "sub %k[" E "], %k[" S "]\n\t"                                                                                     \
    "add %k[" X1 "], %k[" S "]\n\t"                                                                                    \
    "xor %k[" S "], %k[" X2 "]\n\t"                                                                                    \
    "xor %k[" S "], %k[" D "]\n\t"                                                                                     \
    "movzwl %w[" D "], %k[" D "]\n\t"

#define VORLAXEN_IDEA_ROUND_PAIR(KO1, KO2, STEP1, STEP2)                                                               \
    VORLAXEN_IDEA_ROUND(KO1, "x1", "x2", "x3", "x4", "a", "d", "e", "f", "s", STEP1)                                   \
    VORLAXEN_IDEA_ROUND(KO2, "a", "x3", "x2", "d", "x1", "x4", "e", "f", "s", STEP2)

// The output transformation, back in the block's own registers: y1 to X1, y2 (from X3) to X2, y3 (from
// X2) to X3, y4 to X4.
#define VORLAXEN_IDEA_OUTPUT                                                                                           \
    VORLAXEN_IDEA_FIX("x1", "f", "320")                                                                                \
    VORLAXEN_IDEA_MUL("x1", "a", "f", "320")                                                                           \
    VORLAXEN_IDEA_FIX("x4", "e", "336")                                                                                \
    VORLAXEN_IDEA_MUL("x4", "d", "e", "336")                                                                           \
    "add 328(%[k]), %k[x3]\n\t"                                                                                        \
    "movzwl %w[x3], %k[e]\n\t"                                                                                         \
    "add 332(%[k]), %k[x2]\n\t"                                                                                        \
    "movzwl %w[x2], %k[x3]\n\t"                                                                                        \
    "mov %k[e], %k[x2]\n\t"                                                                                            \
    "mov %k[a], %k[x1]\n\t"                                                                                            \
    "mov %k[d], %k[x4]\n\t"

#define VORLAXEN_IDEA_BLOCK(S1, S2, S3, S4, S5, S6, S7)                                                                \
    VORLAXEN_IDEA_ROUND_PAIR("0", "40", "", S1)                                                                        \
    VORLAXEN_IDEA_ROUND_PAIR("80", "120", S2, S3)                                                                      \
    VORLAXEN_IDEA_ROUND_PAIR("160", "200", S4, S5)                                                                     \
    VORLAXEN_IDEA_ROUND_PAIR("240", "280", S6, S7)                                                                     \
    VORLAXEN_IDEA_OUTPUT
// clang-format on

// The eight rounds and the output transformation on one block.
[[gnu::always_inline]] inline void SerialBlockX86(IdeaWords& w, const SerialKeys& keys) noexcept {
    std::uint32_t a, d, e, f, s;
    // clang-format off
    asm(VORLAXEN_IDEA_BLOCK("", "", "", "", "", "", "")
        : [x1] "+r"(w.x[0]), [x2] "+r"(w.x[1]), [x3] "+r"(w.x[2]), [x4] "+r"(w.x[3]),
          [a] "=&r"(a), [d] "=&r"(d), [e] "=&r"(e), [f] "=&r"(f), [s] "=&r"(s)
        : [k] "r"(&keys), "m"(keys)
        : "cc");
    // clang-format on
}

// The same, taking the checksum chain `fold` over the plain bytes b[1] to b[7] among the rounds, a byte
// a round: the checksum's own serial chain then runs beside the block's instead of after it.
[[gnu::always_inline]] inline void
SerialBlockFoldingX86(IdeaWords& w, const SerialKeys& keys, ChecksumChain& fold, const std::uint8_t* b) noexcept {
    std::uint32_t a, d, e, f, s, cx;
    // 64 bits wide: the index addresses the tables, and a 32-bit operand's register may carry anything above.
    std::uint64_t ci = fold.index;
    std::uint64_t cr = fold.rest;
    // clang-format off
    asm(VORLAXEN_IDEA_BLOCK(VORLAXEN_IDEA_CHECKSUM_STEP("%[b1]"), VORLAXEN_IDEA_CHECKSUM_STEP("%[b2]"),
                            VORLAXEN_IDEA_CHECKSUM_STEP("%[b3]"), VORLAXEN_IDEA_CHECKSUM_STEP("%[b4]"),
                            VORLAXEN_IDEA_CHECKSUM_STEP("%[b5]"), VORLAXEN_IDEA_CHECKSUM_STEP("%[b6]"),
                            VORLAXEN_IDEA_CHECKSUM_STEP("%[b7]"))
        : [x1] "+r"(w.x[0]), [x2] "+r"(w.x[1]), [x3] "+r"(w.x[2]), [x4] "+r"(w.x[3]),
          [a] "=&r"(a), [d] "=&r"(d), [e] "=&r"(e), [f] "=&r"(f), [s] "=&r"(s),
          [ci] "+r"(ci), [cr] "+r"(cr), [cx] "=&r"(cx)
        : [k] "r"(&keys), "m"(keys), [b1] "m"(b[1]), [b2] "m"(b[2]), [b3] "m"(b[3]), [b4] "m"(b[4]), [b5] "m"(b[5]),
          [b6] "m"(b[6]), [b7] "m"(b[7])
        : "cc");
    // clang-format on
    fold.index = static_cast<std::uint32_t>(ci);
    fold.rest = static_cast<std::uint32_t>(cr);
}

#undef VORLAXEN_IDEA_BLOCK
#undef VORLAXEN_IDEA_OUTPUT
#undef VORLAXEN_IDEA_ROUND_PAIR
#undef VORLAXEN_IDEA_ROUND
#undef VORLAXEN_IDEA_CHECKSUM_STEP
#undef VORLAXEN_IDEA_MUL
#undef VORLAXEN_IDEA_FIX

#endif

// The eight rounds and the output transformation on one block.
[[gnu::always_inline]] inline void SerialBlock(IdeaWords& w, const SerialKeys& keys) noexcept {
#ifdef VORLAXEN_IDEA_X86
    SerialBlockX86(w, keys);
#else
    for (const SerialRoundKeys& k : keys.rounds)
        SerialRound(w, k);
    SerialOutput(w, keys.output);
#endif
}

// The same, continuing `checksum` over the 8 plain bytes at `b` among the rounds.
[[gnu::always_inline]] inline void
SerialBlockFolding(IdeaWords& w, const SerialKeys& keys, std::uint32_t& checksum, const std::uint8_t* b) noexcept {
    ChecksumChain fold = ChecksumChain::Start(checksum, b[0]);
#ifdef VORLAXEN_IDEA_X86
    SerialBlockFoldingX86(w, keys, fold, b);
#else
    for (int r = 0; r < 8; ++r) {
        SerialRound(w, keys.rounds[r]);
        if (r < 7)
            fold.advance(b + r + 1, 1);
    }
    SerialOutput(w, keys.output);
#endif
    checksum = fold.finish();
}

} // namespace vorlaxen::idea_detail
