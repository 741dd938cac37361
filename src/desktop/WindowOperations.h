#pragma once

#include "desktop/BatchProcessing.h"
#include "desktop/FileOperations.h"
#include "desktop/ProgramObjects.h"
#include "desktop/ProgressDisplay.h"
#include "passwords/MasterPasswordLogic.h"
#include "passwords/PasswordPromptLogic.h"
#include "ports/WindowPorts.h"

namespace vorlaxen {

// Everything the main window's commands, timers and dialogs call, built over the four program-wide
// objects and the window's ports. The window keeps one and forwards to it: its master password source
// to master(), the timers' ticks to the *Timer* handlers, the buttons and menus to the
// operations.
class WindowOperations {
public:
    WindowOperations(ProgramObjects& objects, const WindowPorts& ports);
    WindowOperations(const WindowOperations&) = delete;
    WindowOperations& operator=(const WindowOperations&) = delete;

    PasswordPromptLogic& prompts() { return prompts_; }
    MasterPasswordLogic& master() { return master_; }
    ProgressDisplay& progress() { return progress_; }
    FileOperations& files() { return files_; }
    BatchProcessing& batch() { return batch_; }

private:
    PasswordPromptLogic prompts_;
    MasterPasswordLogic master_;
    ProgressDisplay progress_;
    FileOperations files_;
    BatchProcessing batch_;
};

} // namespace vorlaxen
