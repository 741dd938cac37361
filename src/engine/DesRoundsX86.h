#pragma once

// The DES rounds in x86-64 assembly (GCC-style inline assembly; internal to the engine). The compiler
// left to itself spends about thirty instructions on a round and spills the halves of interleaved
// blocks; written out, a round is twenty-one and every half stays in a register.
//
// Register roles, for the operands of every statement below:
//   %[T]  base of kDesTables: the eight 512-byte S-box tables, then the checksum table words;
//   %[k]  the stage's keys (DesRoundKeys::stage): the offset change of its first input half, then
//         the d of its rounds, 8 bytes each;
//   %[t]  copy of the half being read, one of a, b, c, d: the second byte of those four can be read
//         directly (%h), so a shift frees two bytes, not one;
//   %[i]  table index, one of the eight legacy registers: an instruction that reads a high byte cannot
//         carry the prefix needed to reach r8-r15.
// Bytes of the expanded halves are at most 63 (DesRounds.h), so a byte is an index as it stands.

#include "engine/DesRounds.h"

// Builds with the address sanitizer take the portable rounds: the sanitizer keeps registers for itself,
// so the compiler cannot hand the assembly the fourteen it needs, and it could not check the
// assembly's memory reads anyway.
#if defined(__SANITIZE_ADDRESS__)
#define VORLAXEN_DES_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define VORLAXEN_DES_SANITIZED 1
#endif
#endif

#if defined(__x86_64__) && defined(__GNUC__) && !defined(VORLAXEN_PORTABLE_DES) && !defined(VORLAXEN_DES_SANITIZED)
#define VORLAXEN_DES_X86 1

namespace vorlaxen::des_detail {

// U ^= d ^ f(V) for one of four interleaved blocks, d at KOFF bytes from %[k]. Built for throughput:
// the fewest operations, the XORs in one chain (the other blocks fill the wait).
#define VORLAXEN_DES_LANE(U, V, KOFF)                                                                                  \
    "mov %[" V "], %[t]\n\t"                                                                                           \
    "xor " KOFF "(%[k]), %[" U "]\n\t"                                                                                 \
    "movzbl %b[t], %k[i]\n\t"                                                                                          \
    "xor (%[T],%q[i],8), %[" U "]\n\t"                                                                                 \
    "movzbl %h[t], %k[i]\n\t"                                                                                          \
    "xor 512(%[T],%q[i],8), %[" U "]\n\t"                                                                              \
    "shr $16, %[t]\n\t"                                                                                                \
    "movzbl %b[t], %k[i]\n\t"                                                                                          \
    "xor 1024(%[T],%q[i],8), %[" U "]\n\t"                                                                             \
    "movzbl %h[t], %k[i]\n\t"                                                                                          \
    "xor 1536(%[T],%q[i],8), %[" U "]\n\t"                                                                             \
    "shr $16, %[t]\n\t"                                                                                                \
    "movzbl %b[t], %k[i]\n\t"                                                                                          \
    "xor 2048(%[T],%q[i],8), %[" U "]\n\t"                                                                             \
    "movzbl %h[t], %k[i]\n\t"                                                                                          \
    "xor 2560(%[T],%q[i],8), %[" U "]\n\t"                                                                             \
    "shr $16, %[t]\n\t"                                                                                                \
    "movzbl %b[t], %k[i]\n\t"                                                                                          \
    "xor 3072(%[T],%q[i],8), %[" U "]\n\t"                                                                             \
    "movzbl %h[t], %k[i]\n\t"                                                                                          \
    "xor 3584(%[T],%q[i],8), %[" U "]\n\t"

// One step of the container checksum over byte OFF at %[p]: c = (c >> 8) ^ word((c ^ byte) & 0xFF).
// %[i] is free between two lanes.
#define VORLAXEN_DES_CHECKSUM_STEP(OFF)                                                                                \
    "movzbl " OFF "(%[p]), %k[i]\n\t"                                                                                  \
    "xor %k[c], %k[i]\n\t"                                                                                             \
    "movzbl %b[i], %k[i]\n\t"                                                                                          \
    "shr $8, %k[c]\n\t"                                                                                                \
    "xor 4096(%[T],%q[i],4), %k[c]\n\t"

// The stage's first input half takes the offset change `adjust` (see DesRoundKeys).
#define VORLAXEN_DES_ADJUST                                                                                            \
    "xor (%[k]), %[v0]\n\t"                                                                                            \
    "xor (%[k]), %[v1]\n\t"                                                                                            \
    "xor (%[k]), %[v2]\n\t"                                                                                            \
    "xor (%[k]), %[v3]\n\t"                                                                                            \
    "add $8, %[k]\n\t"

static_assert(kChecksumTableOffset == 4096);

// Sixteen rounds on four blocks, u updated first, v read first: a loop of eight round pairs (small
// enough to stay in the decoded-instruction cache).
[[gnu::always_inline]] inline void
FourLaneStage(std::uint64_t (&u)[4], std::uint64_t (&v)[4], const std::uint64_t* keys) noexcept {
    const std::uint64_t* end = keys + 17;
    std::uint64_t t;
    std::uint32_t i;
    // clang-format off
    asm(VORLAXEN_DES_ADJUST
        "1:\n\t"
        VORLAXEN_DES_LANE("u0", "v0", "0") VORLAXEN_DES_LANE("u1", "v1", "0")
        VORLAXEN_DES_LANE("u2", "v2", "0") VORLAXEN_DES_LANE("u3", "v3", "0")
        VORLAXEN_DES_LANE("v0", "u0", "8") VORLAXEN_DES_LANE("v1", "u1", "8")
        VORLAXEN_DES_LANE("v2", "u2", "8") VORLAXEN_DES_LANE("v3", "u3", "8")
        "add $16, %[k]\n\t"
        "cmp %[end], %[k]\n\t"
        "jne 1b"
        : [u0] "+r"(u[0]), [u1] "+r"(u[1]), [u2] "+r"(u[2]), [u3] "+r"(u[3]),
          [v0] "+r"(v[0]), [v1] "+r"(v[1]), [v2] "+r"(v[2]), [v3] "+r"(v[3]),
          [k] "+r"(keys), [t] "=&Q"(t), [i] "=&R"(i)
        : [T] "r"(&kDesTables), [end] "m"(end)
        : "cc", "memory");
    // clang-format on
}

// The same, continuing `checksum` over the 32 bytes at `plain` on the way: four bytes per round pair.
// The checksum is one long serial chain; run after the rounds it would hold the processor's window
// and leave the next blocks' rounds waiting, run among them it costs almost nothing.
[[gnu::always_inline]] inline void FourLaneStageFolding(std::uint64_t (&u)[4],
                                                        std::uint64_t (&v)[4],
                                                        const std::uint64_t* keys,
                                                        std::uint32_t& checksum,
                                                        const std::uint64_t (&plain)[4]) noexcept {
    const std::uint64_t* end = keys + 17;
    const std::uint64_t* p = plain;
    std::uint64_t t;
    std::uint32_t i;
    // clang-format off
    asm(VORLAXEN_DES_ADJUST
        "1:\n\t"
        VORLAXEN_DES_CHECKSUM_STEP("0")
        VORLAXEN_DES_LANE("u0", "v0", "0") VORLAXEN_DES_LANE("u1", "v1", "0")
        VORLAXEN_DES_CHECKSUM_STEP("1")
        VORLAXEN_DES_LANE("u2", "v2", "0") VORLAXEN_DES_LANE("u3", "v3", "0")
        VORLAXEN_DES_CHECKSUM_STEP("2")
        VORLAXEN_DES_LANE("v0", "u0", "8") VORLAXEN_DES_LANE("v1", "u1", "8")
        VORLAXEN_DES_CHECKSUM_STEP("3")
        VORLAXEN_DES_LANE("v2", "u2", "8") VORLAXEN_DES_LANE("v3", "u3", "8")
        "add $4, %[p]\n\t"
        "add $16, %[k]\n\t"
        "cmp %[end], %[k]\n\t"
        "jne 1b"
        : [u0] "+r"(u[0]), [u1] "+r"(u[1]), [u2] "+r"(u[2]), [u3] "+r"(u[3]),
          [v0] "+r"(v[0]), [v1] "+r"(v[1]), [v2] "+r"(v[2]), [v3] "+r"(v[3]),
          [k] "+r"(keys), [p] "+r"(p), [c] "+r"(checksum), [t] "=&Q"(t), [i] "=&R"(i)
        : [T] "r"(&kDesTables), [end] "m"(end)
        : "cc", "memory");
    // clang-format on
}

// U ^= d ^ f(V) for a lone block, built for latency: every index is at most two operations from V, and
// the nine terms meet in a tree of depth four rather than a chain of nine. The eight table reads of a
// round are ready within two cycles and go three at a time, and the order of the statements decides
// which of them wait: this one is the fastest of about two thousand orders measured on the processor
// the benchmark figures come from, rounds in three passes with the roles swapped between passes as
// Triple DES runs them (about 11.5 cycles a round against 12.3 for the order before it). It starts
// every index copy at once and the round key first. U and V are both a, b, c or d (their roles
// alternate), as are %[w] and %[x]; %[i] and %[j] are then si, di or bp. Each register
// that has given up its indices takes a partial sum, so the rounds need ten registers and leave the
// block loop around them enough to keep its own values out of memory: a value that goes to the stack
// and comes back each block ties the loads of the next block to that store, and when the processor
// guesses that tie wrong it starts the block over.
#define VORLAXEN_DES_SERIAL(U, V, KOFF)                                                                                \
    "xor " KOFF "(%[k]), %[" U "]\n\t"                                                                                 \
    "mov %[" V "], %[x]\n\t"                                                                                           \
    "mov %[" V "], %[z]\n\t"                                                                                           \
    "mov %[" V "], %[w]\n\t"                                                                                           \
    "shr $56, %[z]\n\t"                                                                                                \
    "mov %[" V "], %[y]\n\t"                                                                                           \
    "shr $32, %[x]\n\t"                                                                                                \
    "shr $16, %[w]\n\t"                                                                                                \
    "movzbl %h[" V "], %k[j]\n\t"                                                                                      \
    "shr $48, %[y]\n\t"                                                                                                \
    "movzbl %b[" V "], %k[i]\n\t"                                                                                      \
    "xor (%[T],%q[i],8), %[" U "]\n\t"                                                                                 \
    "mov 3584(%[T],%[z],8), %[z]\n\t"                                                                                  \
    "xor 512(%[T],%q[j],8), %[z]\n\t"                                                                                  \
    "movzbl %b[x], %k[i]\n\t"                                                                                          \
    "movzbl %h[x], %k[j]\n\t"                                                                                          \
    "mov 2048(%[T],%q[i],8), %[x]\n\t"                                                                                 \
    "xor 2560(%[T],%q[j],8), %[x]\n\t"                                                                                 \
    "movzbl %b[w], %k[i]\n\t"                                                                                          \
    "movzbl %h[w], %k[j]\n\t"                                                                                          \
    "mov 1024(%[T],%q[i],8), %[w]\n\t"                                                                                 \
    "movzbl %b[y], %k[i]\n\t"                                                                                          \
    "xor %[z], %[" U "]\n\t"                                                                                           \
    "xor 1536(%[T],%q[j],8), %[w]\n\t"                                                                                 \
    "xor %[x], %[w]\n\t"                                                                                               \
    "xor 3072(%[T],%q[i],8), %[" U "]\n\t"                                                                             \
    "xor %[w], %[" U "]\n\t"

#define VORLAXEN_DES_SERIAL_PAIR(K0, K1) VORLAXEN_DES_SERIAL("u", "v", K0) VORLAXEN_DES_SERIAL("v", "u", K1)

// Sixteen rounds on one block, written out so that no loop branch sits in the serial chain of cipher
// block chaining encryption.
[[gnu::always_inline]] inline void
OneLaneStage(std::uint64_t& u, std::uint64_t& v, const std::uint64_t* keys) noexcept {
    std::uint64_t w, x, y, z;
    std::uint32_t i, j;
    // clang-format off
    asm("xor (%[k]), %[v]\n\t"
        VORLAXEN_DES_SERIAL_PAIR("8", "16") VORLAXEN_DES_SERIAL_PAIR("24", "32")
        VORLAXEN_DES_SERIAL_PAIR("40", "48") VORLAXEN_DES_SERIAL_PAIR("56", "64")
        VORLAXEN_DES_SERIAL_PAIR("72", "80") VORLAXEN_DES_SERIAL_PAIR("88", "96")
        VORLAXEN_DES_SERIAL_PAIR("104", "112") VORLAXEN_DES_SERIAL_PAIR("120", "128")
        : [u] "+Q"(u), [v] "+Q"(v), [w] "=&Q"(w), [x] "=&Q"(x), [y] "=&r"(y), [z] "=&r"(z),
          [i] "=&R"(i), [j] "=&R"(j)
        : [T] "r"(&kDesTables), [k] "r"(keys)
        : "cc", "memory");
    // clang-format on
}

// The same, continuing `checksum` over the block's 8 plain bytes on the way, one byte per round pair.
// The checksum's chain then runs beside the block's rounds instead of competing with them for the
// processor's window. The plain bytes are read from memory, so that no register is needed for them, one
// operand each (%[b0] to %[b7]): an offset put before one operand would read "1+(%reg)" where the
// operand has no displacement of its own, which the assembler completes with a warning.
#define VORLAXEN_DES_SERIAL_FOLD(N)                                                                                    \
    "movzbl %[b" N "], %k[i]\n\t"                                                                                      \
    "xor %k[c], %k[i]\n\t"                                                                                             \
    "movzbl %b[i], %k[i]\n\t"                                                                                          \
    "shr $8, %k[c]\n\t"                                                                                                \
    "xor 4096(%[T],%q[i],4), %k[c]\n\t"

[[gnu::always_inline]] inline void OneLaneStageFolding(std::uint64_t& u,
                                                       std::uint64_t& v,
                                                       const std::uint64_t* keys,
                                                       std::uint32_t& checksum,
                                                       const std::uint8_t* b) noexcept {
    std::uint64_t w, x, y, z;
    std::uint32_t i, j;
    // clang-format off
    asm("xor (%[k]), %[v]\n\t"
        VORLAXEN_DES_SERIAL_PAIR("8", "16") VORLAXEN_DES_SERIAL_FOLD("0")
        VORLAXEN_DES_SERIAL_PAIR("24", "32") VORLAXEN_DES_SERIAL_FOLD("1")
        VORLAXEN_DES_SERIAL_PAIR("40", "48") VORLAXEN_DES_SERIAL_FOLD("2")
        VORLAXEN_DES_SERIAL_PAIR("56", "64") VORLAXEN_DES_SERIAL_FOLD("3")
        VORLAXEN_DES_SERIAL_PAIR("72", "80") VORLAXEN_DES_SERIAL_FOLD("4")
        VORLAXEN_DES_SERIAL_PAIR("88", "96") VORLAXEN_DES_SERIAL_FOLD("5")
        VORLAXEN_DES_SERIAL_PAIR("104", "112") VORLAXEN_DES_SERIAL_FOLD("6")
        VORLAXEN_DES_SERIAL_PAIR("120", "128") VORLAXEN_DES_SERIAL_FOLD("7")
        : [u] "+Q"(u), [v] "+Q"(v), [w] "=&Q"(w), [x] "=&Q"(x), [y] "=&r"(y), [z] "=&r"(z),
          [i] "=&R"(i), [j] "=&R"(j), [c] "+r"(checksum)
        : [T] "r"(&kDesTables), [k] "r"(keys), [b0] "m"(b[0]), [b1] "m"(b[1]), [b2] "m"(b[2]), [b3] "m"(b[3]),
          [b4] "m"(b[4]), [b5] "m"(b[5]), [b6] "m"(b[6]), [b7] "m"(b[7])
        : "cc", "memory");
    // clang-format on
}

#undef VORLAXEN_DES_SERIAL_FOLD
#undef VORLAXEN_DES_SERIAL_PAIR
#undef VORLAXEN_DES_SERIAL
#undef VORLAXEN_DES_ADJUST
#undef VORLAXEN_DES_CHECKSUM_STEP
#undef VORLAXEN_DES_LANE

} // namespace vorlaxen::des_detail

#endif
