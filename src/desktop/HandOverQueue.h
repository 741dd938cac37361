#pragma once

#include "desktop/CommandLine.h"
#include "desktop/HandedCommandLine.h"
#include "desktop/TKX_PrgState.h"
#include "ports/CommandLineHost.h"

#include <deque>

namespace vorlaxen {

// The command lines that later starts of the program handed to the window, waiting for it to be free:
// each runs, in the order they came, as the window's own command line runs at start-up, once the
// start-up steps have run, no dialog is open, no operation runs and no other command line is being
// worked through.
//
// A window that was there for the user stays, whatever a handed command line does. A window that its
// own command line was about to close (it was started to encrypt a file, say) closes only after the
// command lines that came meanwhile, and only if none of them leaves anything to the window: two starts
// at the same moment end, like one, with no window.
class HandOverQueue {
public:
    HandOverQueue(CommandLine& commandLine, const TKX_PrgState& state, CommandLineHost& host)
        : commandLine_(commandLine)
        , state_(state)
        , host_(host) {}

    void Add(HandedCommandLine commandLine) { waiting_.push_back(std::move(commandLine)); }
    bool waiting() const { return !waiting_.empty(); }

    // The window's own command line is done and would close the window: true when command lines wait,
    // which then run first and decide.
    bool DeferClose();
    // Runs the waiting command lines while the window is free for them (`windowFree`: its start-up steps
    // have run and no dialog is open).
    void RunWaiting(bool windowFree);

private:
    CommandLine& commandLine_;
    const TKX_PrgState& state_;
    CommandLineHost& host_;
    std::deque<HandedCommandLine> waiting_;
    bool closeWhenDone_ = false;
};

} // namespace vorlaxen
