#include "engine/Idea.h"

#include "engine/ChainModes.h"
#include "engine/IdeaSerial.h"
#include "engine/IdeaVector.h"
#include "platform/SecureMemory.h"

namespace vorlaxen {

namespace {

// Multiplication modulo 65537 on words held in 32-bit registers, 0 standing for 65536. For nonzero
// factors the product is never a multiple of the prime, and hi * 65536 + lo is congruent to lo - hi.
// Built for throughput (the parallel loops, where other blocks fill its wait): the zero case is a
// branch that is almost never taken. The serial loop's multiplication is in IdeaSerial.h.
inline std::uint32_t Mul(std::uint32_t a, std::uint32_t b) noexcept {
    std::uint32_t p = a * b;
    if (p != 0) [[likely]] {
        std::uint32_t lo = p & 0xFFFFu;
        std::uint32_t hi = p >> 16;
        return (lo - hi + (lo < hi ? 1u : 0u)) & 0xFFFFu;
    }
    return (1u - a - b) & 0xFFFFu;
}

// IDEA in the two forms the block loops of ChainModes.h take: groups of independent blocks
// (transformLanes, built for throughput), and the loaded form of cipher block chaining encryption
// (load, advance, store, built for latency), whose chain also takes the checksum among its rounds.
struct IdeaKernel {
    using State = idea_detail::IdeaWords;

    // The subkeys widened to 32 bits once per file, so the rounds need no conversions.
    std::uint32_t z[52] = {};
    idea_detail::SerialKeys serial = {};

    ~IdeaKernel() {
        SecureZero(z, sizeof z);
        SecureZero(&serial, sizeof serial);
    }

    void set(const std::uint16_t subkeys[52]) noexcept {
        for (int i = 0; i < 52; ++i)
            z[i] = subkeys[i];
        serial.set(subkeys);
    }

    State load(std::uint64_t block) const noexcept { return idea_detail::SplitWords(block); }

    // Joined from a copy, so that the packing does not become the form the chain keeps the words in.
    std::uint64_t store(const State& s) const noexcept {
        State copy = s;
        copy.keepInRegisters();
        return idea_detail::JoinWords(copy);
    }

    [[gnu::always_inline]] void advance(State& s) const noexcept { idea_detail::SerialBlock(s, serial); }

    // The same, continuing `checksum` over the 8 plain bytes at `plain` among the rounds.
    [[gnu::always_inline]] void
    advanceFolding(State& s, std::uint32_t& checksum, const std::uint8_t* plain) const noexcept {
        idea_detail::SerialBlockFolding(s, serial, checksum, plain);
    }

    template <int N> void transformLanes(std::uint64_t (&blocks)[N]) const noexcept {
        std::uint32_t x1[N], x2[N], x3[N], x4[N];
        for (int n = 0; n < N; ++n) {
            const idea_detail::IdeaWords w = idea_detail::SplitWords(blocks[n]);
            x1[n] = w.x[0];
            x2[n] = w.x[1];
            x3[n] = w.x[2];
            x4[n] = w.x[3];
        }
        const std::uint32_t* k = z;
#pragma GCC unroll 8
        for (int round = 0; round < 8; ++round, k += 6) {
            for (int n = 0; n < N; ++n) {
                std::uint32_t a = Mul(x1[n], k[0]);
                std::uint32_t b = (x2[n] + k[1]) & 0xFFFFu;
                std::uint32_t c = (x3[n] + k[2]) & 0xFFFFu;
                std::uint32_t d = Mul(x4[n], k[3]);
                std::uint32_t t0 = Mul(a ^ c, k[4]);
                std::uint32_t t1 = Mul(((b ^ d) + t0) & 0xFFFFu, k[5]);
                std::uint32_t t2 = (t0 + t1) & 0xFFFFu;
                x1[n] = a ^ t1;
                x4[n] = d ^ t2;
                x2[n] = c ^ t1;
                x3[n] = b ^ t2;
            }
        }
        for (int n = 0; n < N; ++n) {
            blocks[n] = idea_detail::JoinWords({{Mul(x1[n], k[0]), x3[n] + k[1], x2[n] + k[2], Mul(x4[n], k[3])}});
        }
    }

    std::uint64_t transform(std::uint64_t block) const noexcept {
        std::uint64_t one[1] = {block};
        transformLanes<1>(one);
        return one[0];
    }
};

constexpr int kIdeaLanes = 4;

inline std::uint16_t Negate(std::uint16_t x) noexcept {
    return static_cast<std::uint16_t>(0x10000u - x);
}

} // namespace

IdeaSubkeys::~IdeaSubkeys() {
    SecureZero(z, sizeof z);
}

std::uint16_t IdeaMul(std::uint16_t a, std::uint16_t b) noexcept {
    return static_cast<std::uint16_t>(Mul(a, b));
}

std::uint16_t IdeaMulInverse(std::uint16_t x) noexcept {
    if (x <= 1)
        return x;
    // Extended Euclid over 65537 and x, keeping only the coefficient of x.
    std::int32_t r0 = 65537;
    std::int32_t r1 = x;
    std::int32_t c0 = 0;
    std::int32_t c1 = 1;
    while (r1 != 0) {
        std::int32_t q = r0 / r1;
        std::int32_t r2 = r0 - q * r1;
        std::int32_t c2 = c0 - q * c1;
        r0 = r1;
        r1 = r2;
        c0 = c1;
        c1 = c2;
    }
    if (c0 < 0)
        c0 += 65537;
    return static_cast<std::uint16_t>(c0 & 0xFFFF);
}

void IdeaExpandKey(const std::uint8_t key[16], IdeaSubkeys& encryption) {
    std::uint16_t* w = encryption.z;
    for (int j = 0; j < 8; ++j)
        w[j] = static_cast<std::uint16_t>(key[2 * j] | key[2 * j + 1] << 8);
    for (int n = 8; n < 52; ++n) {
        int a = (n % 8 == 7) ? n - 15 : n - 7;
        int b = (n % 8 == 6 || n % 8 == 7) ? n - 14 : n - 6;
        w[n] = static_cast<std::uint16_t>((w[a] << 9) | (w[b] >> 7));
    }
}

void IdeaInvertKey(const IdeaSubkeys& encryption, IdeaSubkeys& decryption) {
    const std::uint16_t* e = encryption.z;
    IdeaSubkeys temp;
    std::uint16_t* d = temp.z;
    d[48] = IdeaMulInverse(e[0]);
    d[49] = Negate(e[1]);
    d[50] = Negate(e[2]);
    d[51] = IdeaMulInverse(e[3]);
    const std::uint16_t* next = e + 4;
    for (int j = 42; j >= 0; j -= 6, next += 6) {
        d[j + 4] = next[0];
        d[j + 5] = next[1];
        d[j] = IdeaMulInverse(next[2]);
        if (j > 0) {
            d[j + 2] = Negate(next[3]);
            d[j + 1] = Negate(next[4]);
        } else {
            d[1] = Negate(next[3]);
            d[2] = Negate(next[4]);
        }
        d[j + 3] = IdeaMulInverse(next[5]);
    }
    for (int i = 0; i < 52; ++i)
        decryption.z[i] = d[i];
}

void IdeaCipherBlock(const std::uint8_t in[8], std::uint8_t out[8], const IdeaSubkeys& subkeys) {
    // The parallel form's rounds only: their own multiplication, the reference the serial loop is tested against.
    IdeaKernel kernel;
    for (int i = 0; i < 52; ++i)
        kernel.z[i] = subkeys.z[i];
    chain_detail::Store(out, kernel.transform(chain_detail::Load(in)));
}

std::unique_ptr<BlockChain> MakeIdeaChain(const std::uint8_t key[16], CipherDirection direction, VectorIsa most) {
    auto chain = std::make_unique<chain_detail::KernelChain<IdeaKernel, kIdeaLanes>>(true, direction);
    IdeaSubkeys encryption;
    IdeaExpandKey(key, encryption);
    IdeaSubkeys decryption;
    if (direction == CipherDirection::Decrypt)
        IdeaInvertKey(encryption, decryption);
    const IdeaSubkeys& subkeys = direction == CipherDirection::Encrypt ? encryption : decryption;
    chain->kernel().set(subkeys.z);
    if (chain->parallel()) {
        switch (SupportedVectorIsa(most)) {
        case VectorIsa::Avx512:
            chain->setVectorLoop(idea_detail::MakeIdeaLoopAvx512(subkeys.z));
            break;
        case VectorIsa::Avx2:
            chain->setVectorLoop(idea_detail::MakeIdeaLoopAvx2(subkeys.z));
            break;
        case VectorIsa::Scalar:
            break;
        }
    }
    return chain;
}

namespace idea_detail {

IdeaLaneKeys::IdeaLaneKeys(const std::uint16_t z[52]) noexcept {
    for (int i = 0; i < 52; ++i)
        for (int lane = 0; lane < 32; ++lane) {
            key[i][lane] = z[i];
            oneMinus[i][lane] = static_cast<std::uint16_t>(1u - z[i]);
            nonzero[i][lane] = z[i] ? 0xFFFFu : 0u;
        }
}

IdeaLaneKeys::~IdeaLaneKeys() {
    SecureZero(this, sizeof *this);
}

} // namespace idea_detail

} // namespace vorlaxen
