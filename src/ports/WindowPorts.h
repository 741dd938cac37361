#pragma once

#include "ports/DelDialog.h"
#include "ports/ExpiryControls.h"
#include "ports/MasterPwdDialog.h"
#include "ports/MessageBox.h"
#include "ports/PaneView.h"
#include "ports/PendingEvents.h"
#include "ports/ProgressArea.h"
#include "ports/PromptDialogs.h"
#include "ports/StatusLine.h"
#include "ports/WindowSettings.h"

namespace vorlaxen {

// Every port the window logic reaches, handed over together. The window implements them; the tests
// implement them with fakes.
struct WindowPorts {
    MessageBox& messages;
    StatusLine& status;
    PendingEvents& events;
    const WindowSettings& settings;
    PaneView& panes;
    ProgressArea& progress;
    ExpiryControls& expiry;
    PromptDialogs& prompts;
    MasterPwdDialog& masterDialog;
    DelDialog& delDialog;
};

} // namespace vorlaxen
