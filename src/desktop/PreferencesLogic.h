#pragma once

#include "desktop/ProgramObjects.h"
#include "passwords/MasterPasswordLogic.h"
#include "ports/ExpiryControls.h"
#include "ports/MethodSelection.h"
#include "ports/PaneView.h"
#include "ports/PreferencesDialog.h"
#include "ports/StatusLine.h"

#include <cstdint>

namespace vorlaxen {

// The program-wide settings that live in the main window, as references to their homes.
struct ProgramOptions {
    bool& onePerList;     // "OnePerList"
    bool& showCry;        // "ShowCry"
    bool& showTip;        // "ShowTIP"
    std::int32_t& method; // "Method": 1 IDEA, 3 DES, 4 Triple DES
};

// What ShowPreferences reaches besides the program-wide objects and settings.
struct PreferencesPorts {
    PreferencesDialog& dialog;
    MethodSelection& methods;
    MasterPasswordLogic& master; // SetMasterPwdExpired
    PaneView& panes;             // ReadFLists
    StatusLine& status;
    ExpiryControls& expiry;
};

// ShowPreferences, "&Options..." of the File menu: fills `TPreferences` from the settings, shows it, and
// on "Ok" writes the settings back into their homes with their consequences (the panes read again for a
// changed ".cry" display, the method-change notice, the master password expired when a key-file setting
// changed, the held file password dropped). "Cancel" changes nothing but an empty key file path, which
// becomes the default key file. The dialog's controls keep their states between showings, as the one
// dialog of the program does.
class PreferencesLogic {
public:
    PreferencesLogic(ProgramObjects& objects, ProgramOptions options, const PreferencesPorts& ports);

    void ShowPreferences();

    const PreferencesControls& controls() const { return controls_; }

private:
    void Fill();
    void Apply();
    void ApplyMethod();

    TKX_Pwd& pwd_;
    TKX_MasterPass& master_;
    TKX_PrgState& state_;
    ProgramOptions options_;
    PreferencesPorts ports_;
    PreferencesControls controls_;
};

} // namespace vorlaxen
