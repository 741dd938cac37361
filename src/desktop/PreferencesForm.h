#pragma once

#include "ports/PreferencesDialog.h"

#include <cstdint>
#include <string_view>

namespace vorlaxen {

// The rules of the Preferences dialog's controls, kept on a PreferencesControls that the dialog shows:
// which rows are shown, the exclusion of the two password options, the "Never expires" buttons and what
// a spin edit's text means. Setting a check box runs its handler, as a click on it does; the handlers
// give the same result however often they run.
class PreferencesForm {
public:
    static constexpr std::int32_t kMaxMinutes = 600;

    explicit PreferencesForm(PreferencesControls& controls)
        : c_(controls) {}

    // OnePwd_CheckBox and OnePerList_CheckBox share OnePwd_CheckBoxClick: the expiry row is shown
    // exactly when "One password for a session" is checked, "One password for a file list" exactly when
    // it is not, and a hidden "One password for a file list" is unchecked.
    void setOnePwd(bool checked);
    void setOnePerList(bool checked);
    void OnePwd_CheckBoxClick();

    // StorePanel is shown exactly when Store_CheckBox is checked, Panel3 exactly when
    // MasterPwdExpires_CheckBox is.
    void setStore(bool checked);
    void setMasterPwdExpires(bool checked);

    // "Never expires" of "Security" (Never_Button) and of the store (Button1): the minutes become 0.
    void Never_ButtonClick() { c_.expTime = 0; }
    void Button1Click() { c_.masterPwdExpTime = 0; }

    // The minutes a spin edit's text stands for: a text that is not a whole number is 0 (never expires),
    // a number outside 0 to 600 gives the nearer end.
    static std::int32_t SpinValue(std::string_view text);
    static std::int32_t ClampMinutes(std::int64_t minutes);

    // On activation the dialog's height reaches 35 pixels below the bottom edge of "Ok".
    static int FormHeight(int okBottom) { return okBottom + 35; }

private:
    PreferencesControls& c_;
};

} // namespace vorlaxen
