#pragma once

#include "engine/CipherMethod.h"

#include <cstdint>
#include <string>

namespace vorlaxen {

// The state of every control of `TPreferences`, as the dialog shows it. "Shown" means enabled and
// visible. The values it starts with are those of the dialog's definition; each showing fills it from
// the settings first.
struct PreferencesControls {
    // "Security"
    bool onePwd = false;         // OnePwd_CheckBox "One password for a session"
    bool panel1Shown = false;    // Panel1: "expires in" [ExpTime_SpinEdit] "minutes" [Never_Button]
    std::int32_t expTime = 0;    // ExpTime_SpinEdit, 0 to 600 minutes
    bool onePerList = false;     // OnePerList_CheckBox "One password for a file list", at Panel1's place
    bool onePerListShown = true; //
    // "Encrypt with"
    // The writable method whose radio button is checked: `DES_RadioButton`, `IDEA_RadioButton`,
    // `TDES_RadioButton`.
    CipherMethod method = CipherMethod::Idea;
    // "External passwords store"
    bool store = false;                 // Store_CheckBox "Store passwords on disk"
    bool storePanelShown = false;       // StorePanel, which holds the next five controls
    std::string path;                   // Path_Edit "Path to key file:", beside Browse "Set path..."
    bool masterPwdExpires = false;      // MasterPwdExpires_CheckBox "One master password for a session"
    bool panel3Shown = false;           // Panel3: "expires in" [MasterPwdExpTime_SpinEdit] "minutes" [Button1]
    std::int32_t masterPwdExpTime = 10; // MasterPwdExpTime_SpinEdit, 0 to 600 minutes
    // "Other"
    bool showCry = false; // ShowCry_CheckBox "Show ".cry" extensions for crypted files"
    bool showTip = false; // ShowTIP_CheckBox "Show Tip window starting Vorlaxen"

    bool operator==(const PreferencesControls&) const = default;
};

// `TPreferences` ("Preferences"), shown modally over `controls`, which the user changes through the
// dialog's rules (PreferencesForm). "Set path..." opens the platform's save dialog with its file name
// preset to `keyFilePath` and the default extension "key"; a confirmed file's full name goes into
// Path_Edit. True when the dialog was closed with "Ok", false for "Cancel" (Escape).
class PreferencesDialog {
public:
    virtual ~PreferencesDialog() = default;
    virtual bool ShowPreferencesDialog(PreferencesControls& controls, const std::string& keyFilePath) = 0;
};

} // namespace vorlaxen
