#include "engine/DesRounds.h"

namespace vorlaxen::des_detail {

namespace {

// The rounds read bytes of expanded words as table indices without masking them: every word that is
// ever XORed into a half must keep the top two bits of each byte clear.
constexpr bool TablesKeepTopBitsClear() {
    for (const auto& table : kDesTables.sp)
        for (std::uint64_t entry : table)
            if (entry & ~kExpandedMask)
                return false;
    return true;
}
static_assert(TablesKeepTopBitsClear());
static_assert(CompressHalf(ExpandHalf(0x80000001u)) == 0x80000001u);
static_assert(CompressHalf(ExpandHalf(0x12345678u)) == 0x12345678u);
static_assert(offsetof(DesTables, checksum) == kChecksumTableOffset);

// Round g of the chain updates the left half when this is true, else the right one, and reads the other.
constexpr bool UpdatesLeft(int g) noexcept {
    return ((g / 16 + g % 16) & 1) == 0;
}

} // namespace

void PlanRoundKeys(const DesSchedule* schedules,
                   int stages,
                   std::uint64_t* stageKeys,
                   std::uint64_t& exitA,
                   std::uint64_t& exitB) noexcept {
    const int rounds = 16 * stages;
    std::uint64_t k[48];
    for (int g = 0; g < rounds; ++g) {
        // A round key's word pair is already the expanded layout: groups in the low six bits of each byte.
        const std::uint32_t* w = schedules[g / 16].words + 2 * (g % 16);
        k[g] = (static_cast<std::uint64_t>(w[0]) << 32 | w[1]) & kExpandedMask;
    }
    std::uint64_t offsetA = 0;
    std::uint64_t offsetB = 0;
    for (int g = 0; g < rounds; ++g) {
        const bool left = UpdatesLeft(g);
        std::uint64_t& in = left ? offsetB : offsetA;
        std::uint64_t& out = left ? offsetA : offsetB;
        if (g % 16 == 0) {
            stageKeys[17 * (g / 16)] = in ^ k[g];
            in = k[g];
        }
        // The next round reads the half just updated, unless it updates it again.
        const std::uint64_t next = g + 1 < rounds && UpdatesLeft(g + 1) != left ? k[g + 1] : 0;
        stageKeys[17 * (g / 16) + 1 + g % 16] = out ^ next;
        out = next;
    }
    exitA = offsetA;
    exitB = offsetB;
    SecureZero(k, sizeof k);
    offsetA = offsetB = 0;
}

} // namespace vorlaxen::des_detail
