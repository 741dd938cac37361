#pragma once

#include "desktop/TKX_PrgState.h"
#include "engine/TKX_Pwd.h"
#include "ports/ProgressArea.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vorlaxen {

// The progress of the file being encrypted or decrypted: the two bars, the statistics that the 50 ms
// progress timer writes once a second, and the progress area shown under the panes for a list run.
// The figures are those of the file being processed, from the engine's block counters and the time
// since the file started on the clock handed in; when a file ends, its last figures are shown, so that
// they stay true between files. The clock stops while the user is asked whether to stop.
class ProgressDisplay {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kTimerInterval = 50; // milliseconds
    static constexpr std::int64_t kBarMax = 100;

    // The figures are the block counters of `pwd`, the engine that runs.
    ProgressDisplay(ProgressArea& area,
                    TKX_PrgState& state,
                    const TKX_Pwd& pwd,
                    std::function<Clock::time_point()> now = Clock::now);

    // A list run or whole-directory run starts: the statistics show their captions alone, nothing of the
    // run before.
    void StartRun();
    // Around one engine call: the time of a file starts when its engine does. Stopping shows the file's
    // last figures.
    void StartProcessTimer();
    void StopProcessTimer();
    // Both bars back to their minimum after a file.
    void ResetBars();
    // While the stop question is open, the file's time does not run.
    void PauseClock();
    void ResumeClock();

    // A tick of Process_Timer.
    void Process_TimerTimer();

    // Shows or hides the progress area and keeps the program state's progress-shown flag.
    void RaiseLists();
    void DropLists();

    // "%2.2dm:%2.2ds": minutes and the remaining seconds, each at least two digits.
    static std::string TimeText(std::int64_t seconds);

private:
    Clock::duration Elapsed() const;
    void ShowFigures(std::int64_t done, std::int64_t total, Clock::duration elapsed);

    ProgressArea& area_;
    TKX_PrgState& state_;
    const TKX_Pwd& pwd_;
    std::function<Clock::time_point()> now_;
    Clock::time_point started_{};
    Clock::duration paused_{};
    std::optional<Clock::time_point> pausedSince_;
    std::int64_t secondsShown_ = 0; // the elapsed whole seconds that the figures show
};

} // namespace vorlaxen
