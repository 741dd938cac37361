#pragma once

#include "desktop/PreferencesLogic.h"
#include "desktop/WindowOperations.h"
#include "ports/MethodSelection.h"
#include "ports/PreferencesDialog.h"
#include "ports/WindowPorts.h"

namespace vorlaxen {

class TMainWin;
class TPreferences;

// The main window's dialogs beyond those of the file operations: Preferences, with their logic. It
// creates the dialogs, hidden, as children of the window, and is the port through which the logic shows
// them and reaches the method buttons.
class MainWinDialogs : public PreferencesDialog, public MethodSelection {
public:
    MainWinDialogs(TMainWin& window, ProgramObjects& objects, WindowOperations& operations, const WindowPorts& ports);
    MainWinDialogs(const MainWinDialogs&) = delete;
    MainWinDialogs& operator=(const MainWinDialogs&) = delete;

    PreferencesLogic& preferences() { return preferences_; }
    TPreferences& preferencesDialog() { return *preferencesDialog_; }

    // PreferencesDialog
    bool ShowPreferencesDialog(PreferencesControls& controls, const std::string& keyFilePath) override;
    // MethodSelection
    void SetDES() override;
    void SetIDEA() override;
    void SetTripleDES() override;

private:
    TMainWin& window_;
    TPreferences* preferencesDialog_;
    PreferencesLogic preferences_;
};

} // namespace vorlaxen
