#pragma once

#include "passwords/TKX_PwdTable.h"
#include "ports/ExpiryControls.h"
#include "ports/MasterPasswordSource.h"
#include "ports/MasterPwdDialog.h"
#include "ports/MessageBox.h"

namespace vorlaxen {

// The master password's dialog logic and expiry. AskMasterPassword shows `TMasterPwd_Form` and holds
// the master password it accepts; "Submit" accepts a password only when the key file takes it (or when
// there is no key file yet). The one-second timer and the expire button make a held master password
// expire; an expired one is dropped at the next operation boundary (the prompts' ReleaseExpiredPasswords).
//
// It is the window's master password source: the password table asks it through the window, which
// forwards here, because the table comes up before this class.
class MasterPasswordLogic : public MasterPasswordSource {
public:
    // `saveToTable` is the program state's flag that "Do not use at all" clears.
    MasterPasswordLogic(
        TKX_PwdTable& table, MessageBox& messages, MasterPwdDialog& dialog, ExpiryControls& expiry, bool& saveToTable);

    // Shows the dialog and sets the master password state from how it was closed.
    void AskMasterPassword() override;
    // The start-up step: asks when passwords are stored on disk, whether or not one is held.
    void AskAtStartup();

    // The dialog's buttons.
    SubmitAction Submit_ButtonClick(bool firstBoxHasFocus, const SecureBytes& first, const SecureBytes& second);
    void NotUse_ButtonClick();

    // Every second while MasterPwd_Timer runs: expires on the tick that reaches the full minutes.
    void MasterPwd_TimerTimer();
    void MasterPwdExpire_ButtonClick();
    // Marks the held master password expired (the Preferences dialog calls it too); Valid stays as it is.
    void SetMasterPwdExpired();

private:
    SubmitAction Refuse(const char* text);

    TKX_PwdTable& table_;
    TKX_MasterPass& master_;
    MessageBox& messages_;
    MasterPwdDialog& dialog_;
    ExpiryControls& expiry_;
    bool& saveToTable_;
};

} // namespace vorlaxen
