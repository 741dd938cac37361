#include "desktop/ProgressDisplay.h"

#include "engine/Messages.h"
#include "engine/TKX_Pwd.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace vorlaxen {

namespace {

using Seconds = std::chrono::duration<double>;

} // namespace

ProgressDisplay::ProgressDisplay(ProgressArea& area,
                                 TKX_PrgState& state,
                                 const TKX_Pwd& pwd,
                                 std::function<Clock::time_point()> now)
    : area_(area)
    , state_(state)
    , pwd_(pwd)
    , now_(std::move(now)) {}

void ProgressDisplay::StartRun() {
    ProgressStatistics captions;
    captions.estimated = kEstimatedCaption;
    captions.done = kDoneCaption;
    captions.size = kSizeCaption;
    captions.elapsed = kElapsedCaption;
    captions.remaining = kRemainingCaption;
    captions.throughput = kThroughputCaption;
    area_.ShowStatistics(captions);
}

void ProgressDisplay::StartProcessTimer() {
    started_ = now_();
    paused_ = {};
    pausedSince_.reset();
    secondsShown_ = 0;
    area_.StartProcessTimer(kTimerInterval);
}

void ProgressDisplay::StopProcessTimer() {
    area_.StopProcessTimer();
    ResumeClock();
    // The last figures of the file, which the once-a-second updates have not reached.
    const std::int64_t done = pwd_.BlocksDone.load();
    if (done > 0)
        ShowFigures(done, pwd_.BlocksTotal.load(), Elapsed());
}

void ProgressDisplay::ResetBars() {
    area_.SetProgressBars(0, 0);
}

void ProgressDisplay::PauseClock() {
    if (!pausedSince_)
        pausedSince_ = now_();
}

void ProgressDisplay::ResumeClock() {
    if (!pausedSince_)
        return;
    paused_ += now_() - *pausedSince_;
    pausedSince_.reset();
}

ProgressDisplay::Clock::duration ProgressDisplay::Elapsed() const {
    return (pausedSince_ ? *pausedSince_ : now_()) - started_ - paused_;
}

std::string ProgressDisplay::TimeText(std::int64_t seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%02" PRId64 "m:%02" PRId64 "s", seconds / 60, seconds % 60);
    return text;
}

void ProgressDisplay::Process_TimerTimer() {
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
    // The figures once a second: each time the file's time reaches another whole second.
    const Clock::duration elapsed = Elapsed();
    if (done <= 0 || std::chrono::floor<std::chrono::seconds>(elapsed).count() <= secondsShown_)
        return;
    ShowFigures(done, total, elapsed);
}

// Block counts in 64 bits: their products overflow 32 bits for files of about 170 MB. The remaining time
// and the throughput are worked out from the time as the clock measured it, the texts show whole seconds.
void ProgressDisplay::ShowFigures(std::int64_t done, std::int64_t total, Clock::duration elapsed) {
    const double seconds = std::max(Seconds(elapsed).count(), 1e-9);
    const std::int64_t elapsedSeconds = std::chrono::floor<std::chrono::seconds>(elapsed).count();
    const auto remaining =
        static_cast<std::int64_t>(static_cast<double>(total - done) * seconds / static_cast<double>(done));
    secondsShown_ = elapsedSeconds;
    ProgressStatistics statistics;
    statistics.elapsed = kElapsedCaption + TimeText(elapsedSeconds);
    statistics.remaining = kRemainingCaption + TimeText(remaining);
    statistics.estimated = kEstimatedCaption + TimeText(elapsedSeconds + remaining);
    statistics.throughput = kThroughputCaption +
                            std::to_string(static_cast<std::int64_t>(static_cast<double>(done * 8) / seconds)) +
                            " bytes per second";
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
