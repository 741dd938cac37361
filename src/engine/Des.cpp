#include "engine/Des.h"

#include "engine/ChainModes.h"
#include "engine/DesBlocksSse2.h"
#include "engine/DesRounds.h"
#include "engine/DesRoundsX86.h"
#include "engine/DesVector.h"
#include "platform/SecureMemory.h"

namespace vorlaxen {

namespace {

using des_detail::DesRoundKeys;
using des_detail::DesState;

// The published key schedule tables; bit 1 is the most significant bit of the first byte.
constexpr std::uint8_t kPc1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
                                   35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
                                   46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr std::uint8_t kPc2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                   26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                   51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr std::uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

#ifdef VORLAXEN_DES_X86
// Four blocks; the first stage also continues *checksum over the 32 bytes at `plain` when given.
struct FourLaneStages {
    std::uint32_t* checksum;
    const std::uint64_t (*plain)[4];

    [[gnu::always_inline]] void
    operator()(std::uint64_t (&u)[4], std::uint64_t (&v)[4], const std::uint64_t* keys, int stage) const noexcept {
        if (checksum && stage == 0)
            des_detail::FourLaneStageFolding(u, v, keys, *checksum, *plain);
        else
            des_detail::FourLaneStage(u, v, keys);
    }
};

struct OneLaneStages {
    [[gnu::always_inline]] void
    operator()(std::uint64_t (&u)[1], std::uint64_t (&v)[1], const std::uint64_t* keys, int) const noexcept {
        des_detail::OneLaneStage(u[0], v[0], keys);
    }
};

// One block; the first stage also continues *checksum over the block's plain bytes.
struct OneLaneFoldingStages {
    std::uint32_t* checksum;
    const std::uint8_t* plain;

    [[gnu::always_inline]] void
    operator()(std::uint64_t (&u)[1], std::uint64_t (&v)[1], const std::uint64_t* keys, int stage) const noexcept {
        if (stage == 0)
            des_detail::OneLaneStageFolding(u[0], v[0], keys, *checksum, plain);
        else
            des_detail::OneLaneStage(u[0], v[0], keys);
    }
};
#endif

// The rounds of a chain on N blocks with the fastest code there is for N, continuing `checksum` over the
// N blocks at `plain` when it is given.
template <int Stages, int N>
[[gnu::always_inline]] inline void Rounds(const DesRoundKeys<Stages>& keys,
                                          DesState (&s)[N],
                                          std::uint32_t* checksum = nullptr,
                                          const std::uint64_t (*plain)[N] = nullptr) noexcept {
#ifdef VORLAXEN_DES_X86
    if constexpr (N == 4) {
        des_detail::RunStages(keys, s, FourLaneStages{checksum, plain});
        return;
    }
#endif
    if (checksum)
        for (int n = 0; n < N; ++n) {
            std::uint8_t bytes[8];
            chain_detail::Store(bytes, (*plain)[n]);
            *checksum = ChecksumBlock(*checksum, bytes);
        }
#ifdef VORLAXEN_DES_X86
    if constexpr (N == 1) {
        des_detail::RunStages(keys, s, OneLaneStages{});
        return;
    }
#endif
    des_detail::PortableRounds(keys, s);
}

// One DES pass (Stages = 1) or encrypt-decrypt-encrypt (Stages = 3), in the form the block loops of
// ChainModes.h take: the loaded form for chaining, lanes of four blocks for the parallel loops.
template <int Stages> struct DesKernel {
    using State = DesState;
    DesRoundKeys<Stages> keys;

    DesState load(std::uint64_t block) const noexcept {
#ifdef VORLAXEN_DES_SSE2
        return des_detail::LoadState1(block);
#else
        return des_detail::LoadState(block);
#endif
    }

    std::uint64_t store(const DesState& s) const noexcept {
#ifdef VORLAXEN_DES_SSE2
        return des_detail::StoreState1(s);
#else
        return des_detail::StoreState(s);
#endif
    }

    // Both inlined into the chaining loop: called, they take the block through memory on its chain.
    [[gnu::always_inline]] void advance(DesState& s) const noexcept {
        DesState one[1] = {s};
        Rounds(keys, one);
        s = one[0];
    }

    // The same, continuing `checksum` over the 8 plain bytes at `plain` among the rounds.
    [[gnu::always_inline]] void
    advanceFolding(DesState& s, std::uint32_t& checksum, const std::uint8_t* plain) const noexcept {
        DesState one[1] = {s};
#ifdef VORLAXEN_DES_X86
        des_detail::RunStages(keys, one, OneLaneFoldingStages{&checksum, plain});
#else
        const std::uint64_t block[1] = {chain_detail::Load(plain)};
        Rounds(keys, one, &checksum, &block);
#endif
        s = one[0];
    }

    template <int N>
    [[gnu::always_inline]] void loadLanes(const std::uint64_t (&blocks)[N], DesState (&s)[N]) const noexcept {
#ifdef VORLAXEN_DES_SSE2
        if constexpr (N == 4) {
            des_detail::LoadStates4(blocks, s);
            return;
        }
#endif
        for (int n = 0; n < N; ++n)
            s[n] = des_detail::LoadState(blocks[n]);
    }

    template <int N>
    [[gnu::always_inline]] void
    advanceLanes(DesState (&s)[N], std::uint32_t* checksum, const std::uint64_t (*plain)[N]) const noexcept {
        Rounds(keys, s, checksum, plain);
    }

    template <int N>
    [[gnu::always_inline]] void storeLanes(const DesState (&s)[N], std::uint64_t (&blocks)[N]) const noexcept {
#ifdef VORLAXEN_DES_SSE2
        if constexpr (N == 4) {
            des_detail::StoreStates4(s, blocks);
            return;
        }
#endif
        for (int n = 0; n < N; ++n)
            blocks[n] = des_detail::StoreState(s[n]);
    }

    template <int N> void transformLanes(std::uint64_t (&blocks)[N]) const noexcept {
        DesState s[N];
        loadLanes(blocks, s);
        Rounds(keys, s);
        storeLanes(s, blocks);
    }

    std::uint64_t transform(std::uint64_t block) const noexcept {
        std::uint64_t one[1] = {block};
        transformLanes<1>(one);
        return one[0];
    }
};

// Four blocks in flight: enough to fill the wait of each block's rounds, and the most the abort flag
// may lag behind.
constexpr int kDesLanes = 4;

} // namespace

DesSchedule::~DesSchedule() {
    SecureZero(words, sizeof words);
}

void DesKeySchedule(const std::uint8_t key[8], CipherDirection direction, DesSchedule& schedule) {
    auto keyBit = [key](int bit) { return (key[(bit - 1) / 8] >> (7 - (bit - 1) % 8)) & 1u; };
    // The halves C and D of the key and their join hold key bits: kept where they are zeroed on return.
    ZeroingArray<std::uint64_t, 3> halves;
    std::uint64_t& c = halves[0];
    std::uint64_t& d = halves[1];
    std::uint64_t& cd = halves[2];
    for (int i = 0; i < 28; ++i) {
        c = c << 1 | keyBit(kPc1[i]);
        d = d << 1 | keyBit(kPc1[i + 28]);
    }
    ZeroingArray<std::uint32_t, 8> groups;
    for (int round = 0; round < 16; ++round) {
        for (int s = 0; s < kShifts[round]; ++s) {
            c = ((c << 1) | (c >> 27)) & 0x0FFFFFFFu;
            d = ((d << 1) | (d >> 27)) & 0x0FFFFFFFu;
        }
        cd = c << 28 | d;
        for (auto& group : groups.items)
            group = 0;
        for (int j = 0; j < 48; ++j) {
            auto bit = static_cast<std::uint32_t>((cd >> (56 - kPc2[j])) & 1u);
            groups[static_cast<std::size_t>(j / 6)] = groups[static_cast<std::size_t>(j / 6)] << 1 | bit;
        }
        int slot = direction == CipherDirection::Encrypt ? round : 15 - round;
        schedule.words[2 * slot] = groups[0] << 24 | groups[2] << 16 | groups[4] << 8 | groups[6];
        schedule.words[2 * slot + 1] = groups[1] << 24 | groups[3] << 16 | groups[5] << 8 | groups[7];
    }
}

void DesCipherBlock(const DesSchedule& schedule, std::uint8_t block[8]) {
    DesRoundKeys<1> keys;
    keys.set(&schedule);
    DesState s[1] = {des_detail::LoadState(chain_detail::Load(block))};
    des_detail::PortableRounds(keys, s);
    chain_detail::Store(block, des_detail::StoreState(s[0]));
    SecureZero(s, sizeof s);
}

namespace {

// The vector loop of a chain over `stages` schedules, where its loops run in parallel.
template <class Chain> void AddVectorLoop(Chain& chain, const DesSchedule* schedules, int stages, VectorIsa most) {
    if (!chain.parallel())
        return;
    switch (SupportedVectorIsa(most)) {
    case VectorIsa::Avx512:
        chain.setVectorLoop(des_detail::MakeDesLoopAvx512(schedules, stages));
        break;
    case VectorIsa::Avx2:
        chain.setVectorLoop(des_detail::MakeDesLoopAvx2(schedules, stages));
        break;
    case VectorIsa::Scalar:
        break;
    }
}

} // namespace

std::unique_ptr<BlockChain>
MakeDesChain(const std::uint8_t key[8], bool chained, CipherDirection direction, VectorIsa most) {
    auto chain = std::make_unique<chain_detail::KernelChain<DesKernel<1>, kDesLanes>>(chained, direction);
    DesSchedule schedule;
    DesKeySchedule(key, direction, schedule);
    chain->kernel().keys.set(&schedule);
    AddVectorLoop(*chain, &schedule, 1, most);
    return chain;
}

std::unique_ptr<BlockChain> MakeTripleDesChain(const std::uint8_t key[24], CipherDirection direction, VectorIsa most) {
    auto chain = std::make_unique<chain_detail::KernelChain<DesKernel<3>, kDesLanes>>(true, direction);
    DesSchedule s[3];
    if (direction == CipherDirection::Encrypt) {
        DesKeySchedule(key, CipherDirection::Encrypt, s[0]);
        DesKeySchedule(key + 8, CipherDirection::Decrypt, s[1]);
        DesKeySchedule(key + 16, CipherDirection::Encrypt, s[2]);
    } else {
        DesKeySchedule(key + 16, CipherDirection::Decrypt, s[0]);
        DesKeySchedule(key + 8, CipherDirection::Encrypt, s[1]);
        DesKeySchedule(key, CipherDirection::Decrypt, s[2]);
    }
    chain->kernel().keys.set(s);
    AddVectorLoop(*chain, s, 3, most);
    return chain;
}

namespace des_detail {

DesBitsliceKeys::DesBitsliceKeys(const DesSchedule* schedules, int stageCount) noexcept
    : stages(stageCount) {
    for (int round = 0; round < 16 * stages; ++round) {
        const std::uint32_t* words = schedules[round / 16].words + 2 * (round % 16);
        for (int s = 0; s < 8; ++s) {
            // S-boxes 1, 3, 5, 7 in the first word, 2, 4, 6, 8 in the second, the lower-numbered higher.
            const std::uint32_t group = (words[s % 2] >> (24 - 8 * (s / 2))) & 0x3Fu;
            for (int k = 0; k < 6; ++k)
                bits[round][6 * s + k] = (group >> (5 - k)) & 1u ? 0xFFFFFFFFu : 0u;
        }
    }
}

DesBitsliceKeys::~DesBitsliceKeys() {
    SecureZero(bits, sizeof bits);
}

} // namespace des_detail

} // namespace vorlaxen
