#pragma once

#include <chrono>
#include <functional>
#include <vector>

namespace vorlaxen {

// The steps that run when the main window becomes active for the first time, and never again: every
// other window is modal and hands the focus back without a new start. A window manager that shows a new
// window without activating it (focus-stealing prevention, some compositors) would leave the window
// unstarted until the user clicks it: the steps also run a moment after the window is first shown,
// whichever comes first.
class StartupSequence {
public:
    static constexpr std::chrono::milliseconds kActivationWait{500};

    void Add(std::function<void()> step) { steps_.push_back(std::move(step)); }

    // Runs the steps in order the first time; later calls do nothing. True when this call ran them.
    bool RunOnce() {
        if (done_)
            return false;
        done_ = true;
        for (auto& step : steps_) {
            if (endedEarly_)
                break;
            step();
        }
        return true;
    }

    // The program is ending: the steps not yet run are left out.
    void EndEarly() { endedEarly_ = true; }

    bool hasRun() const { return done_; }

private:
    std::vector<std::function<void()>> steps_;
    bool done_ = false;
    bool endedEarly_ = false;
};

} // namespace vorlaxen
