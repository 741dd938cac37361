#include "passwords/MasterPasswordLogic.h"

#include "engine/Messages.h"
#include "passwords/PasswordRules.h"

namespace vorlaxen {

MasterPasswordLogic::MasterPasswordLogic(
    TKX_PwdTable& table, MessageBox& messages, MasterPwdDialog& dialog, ExpiryControls& expiry, bool& saveToTable)
    : table_(table)
    , master_(table.MasterPass)
    , messages_(messages)
    , dialog_(dialog)
    , expiry_(expiry)
    , saveToTable_(saveToTable) {}

void MasterPasswordLogic::AskMasterPassword() {
    const DialogResult result = dialog_.ShowMasterPwdForm(
        [this](bool firstBoxHasFocus, const SecureBytes& first, const SecureBytes& second) {
            return Submit_ButtonClick(firstBoxHasFocus, first, second);
        },
        [this] { NotUse_ButtonClick(); });
    if (result != DialogResult::Ok) {
        master_.Valid = false;
        return;
    }
    master_.Valid = true;
    // A master password just given has not expired, whatever happened to the one before it: with expiry
    // off it is kept until the program closes, with expiry on until its time is up.
    master_.Expired = false;
    if (master_.ExpiryOn) {
        if (master_.ExpiryMinutes > 0) {
            master_.SecondsElapsed = 0;
            expiry_.EnableMasterPwdTimer(true);
        }
        expiry_.EnableMasterPwdExpireButton(true);
    }
}

void MasterPasswordLogic::AskAtStartup() {
    if (master_.UseKeyFile)
        AskMasterPassword();
}

SubmitAction MasterPasswordLogic::Refuse(const char* text) {
    (void)messages_.ShowMessage(MessageKind::Error, text, MessageButtons::Ok);
    return SubmitAction::StayOpen;
}

SubmitAction
MasterPasswordLogic::Submit_ButtonClick(bool firstBoxHasFocus, const SecureBytes& first, const SecureBytes& second) {
    if (firstBoxHasFocus)
        return SubmitAction::MoveToSecondBox;
    if (const char* error = PasswordLengthError(first.size(), static_cast<std::size_t>(TKX_MasterPass::kMaxLength)))
        return Refuse(error);
    if (first != second)
        return Refuse(kVerificationFailed);
    // The candidate goes into the object because the key check is made from it; a refused one stays
    // there, but Valid does not change.
    master_.SetPassword(first.data(), first.size());
    // Only a wrong key check refuses: without a key file any password becomes the key file's password
    // when the first entry is stored, and a damaged key file is reported when the table is next used.
    if (table_.LoadKeyFile(false) == ResultCode::WrongPassword)
        return Refuse(kInvalidPassword);
    return SubmitAction::Close;
}

void MasterPasswordLogic::NotUse_ButtonClick() {
    master_.UseKeyFile = false;
    saveToTable_ = false;
}

void MasterPasswordLogic::MasterPwd_TimerTimer() {
    ++master_.SecondsElapsed;
    if (master_.SecondsElapsed >= master_.ExpiryMinutes * 60)
        SetMasterPwdExpired();
}

void MasterPasswordLogic::MasterPwdExpire_ButtonClick() {
    SetMasterPwdExpired();
}

void MasterPasswordLogic::SetMasterPwdExpired() {
    expiry_.EnableMasterPwdTimer(false);
    master_.Expired = true;
    expiry_.EnableMasterPwdExpireButton(false);
}

} // namespace vorlaxen
