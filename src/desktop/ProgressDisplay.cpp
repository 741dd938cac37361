#include "desktop/ProgressDisplay.h"

#include "engine/Messages.h"
#include "engine/TKX_Pwd.h"

#include <cinttypes>
#include <cstdio>

namespace vorlaxen {

ProgressDisplay::ProgressDisplay(ProgressArea& area, TKX_PrgState& state, const TKX_Pwd& pwd)
    : area_(area)
    , state_(state)
    , pwd_(pwd) {}

void ProgressDisplay::StartProcessTimer() {
    tickCount_ = 1;
    area_.StartProcessTimer(kTimerInterval);
}

void ProgressDisplay::StopProcessTimer() {
    area_.StopProcessTimer();
}

void ProgressDisplay::ResetBars() {
    area_.SetProgressBars(0, 0);
}

std::string ProgressDisplay::TimeText(std::int64_t seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%02" PRId64 "m:%02" PRId64 "s", seconds / 60, seconds % 60);
    return text;
}

// All in 64 bits: the products of block counts overflow 32 bits for files of about 170 MB.
void ProgressDisplay::Process_TimerTimer() {
    ++tickCount_;
    const std::int64_t done = pwd_.BlocksDone.load();
    const std::int64_t total = pwd_.BlocksTotal.load();
    // A container too short to hold one block has nothing to divide by; the bars stay as they are.
    if (total > 0) {
        const auto p = static_cast<int>(kBarMax * done / total);
        const int rest = static_cast<int>(kBarMax) - p;
        // Encrypting, the source bar empties while the crypted bar fills; decrypting, the other way round.
        if (state_.IsBusyWith(TKX_PrgState::kEncrypting))
            area_.SetProgressBars(rest, p);
        else
            area_.SetProgressBars(p, rest);
    }
    constexpr std::int64_t ticksPerSecond = 1000 / kTimerInterval;
    if (done <= 0 || tickCount_ % ticksPerSecond != 0)
        return;
    const std::int64_t elapsed = tickCount_ / ticksPerSecond;
    const std::int64_t remaining = (total - done) * elapsed / done;
    ProgressStatistics statistics;
    statistics.elapsed = kElapsedCaption + TimeText(elapsed);
    statistics.remaining = kRemainingCaption + TimeText(remaining);
    statistics.estimated = kEstimatedCaption + TimeText(elapsed + remaining);
    statistics.throughput = kThroughputCaption + std::to_string(done * 8 / elapsed) + " bytes per second";
    statistics.done = kDoneCaption + std::to_string(static_cast<std::uint64_t>(done * 8) >> 10) + " KBytes";
    statistics.size = kSizeCaption + std::to_string(static_cast<std::uint64_t>(total * 8) >> 10) + " Kbytes";
    area_.ShowStatistics(statistics);
}

void ProgressDisplay::RaiseLists() {
    area_.RaiseLists();
    state_.ProgressShown = true;
}

void ProgressDisplay::DropLists() {
    area_.DropLists();
    state_.ProgressShown = false;
}

} // namespace vorlaxen
