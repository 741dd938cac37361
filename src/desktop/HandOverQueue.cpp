#include "desktop/HandOverQueue.h"

namespace vorlaxen {

bool HandOverQueue::DeferClose() {
    if (waiting_.empty())
        return false;
    closeWhenDone_ = true;
    return true;
}

void HandOverQueue::RunWaiting(bool windowFree) {
    while (windowFree && !waiting_.empty() && !commandLine_.running() && !state_.IsBusy()) {
        HandedCommandLine next = std::move(waiting_.front());
        waiting_.pop_front();
        const bool wouldEnd = commandLine_.ProcessHandedOver(std::move(next));
        // A command line that leaves something to the window (a file watched, no file named) keeps it.
        if (!wouldEnd)
            closeWhenDone_ = false;
        if (closeWhenDone_ && waiting_.empty()) {
            closeWhenDone_ = false;
            host_.CloseMainWindow();
            return;
        }
    }
}

} // namespace vorlaxen
