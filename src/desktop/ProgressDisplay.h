#pragma once

#include "desktop/TKX_PrgState.h"
#include "engine/TKX_Pwd.h"
#include "ports/ProgressArea.h"

#include <cstdint>
#include <string>

namespace vorlaxen {

// The progress of the file being encrypted or decrypted: the two bars, the statistics that the 50 ms
// progress timer writes once a second, and the progress area shown under the panes for a list run.
// The figures come from the engine's block counters; the elapsed time is counted in timer ticks, which
// arrive only when the engine lets events run.
class ProgressDisplay {
public:
    static constexpr int kTimerInterval = 50; // milliseconds
    static constexpr std::int64_t kBarMax = 100;

    // The figures are the block counters of `pwd`, the engine that runs.
    ProgressDisplay(ProgressArea& area, TKX_PrgState& state, const TKX_Pwd& pwd);

    // Around one engine call: the tick count restarts at 1 for every file.
    void StartProcessTimer();
    void StopProcessTimer();
    // Both bars back to their minimum after a file.
    void ResetBars();

    // A tick of Process_Timer.
    void Process_TimerTimer();
    std::int64_t tickCount() const { return tickCount_; }

    // Shows or hides the progress area and keeps the program state's progress-shown flag.
    void RaiseLists();
    void DropLists();

    // "%2.2dm:%2.2ds": minutes and the remaining seconds, each at least two digits.
    static std::string TimeText(std::int64_t seconds);

private:
    ProgressArea& area_;
    TKX_PrgState& state_;
    const TKX_Pwd& pwd_;
    std::int64_t tickCount_ = 0;
};

} // namespace vorlaxen
