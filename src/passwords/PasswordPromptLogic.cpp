#include "passwords/PasswordPromptLogic.h"

#include "engine/ContainerFormat.h"
#include "engine/Messages.h"
#include "passwords/PasswordRules.h"

#include <filesystem>

namespace vorlaxen {

namespace {

bool Reusable(const TKX_Pwd& pwd) {
    return pwd.Valid && (pwd.SessionMode || pwd.ListMode);
}

// The directory and the name joined as everywhere else in the program: one "/" between them unless the
// directory is empty or already ends in one.
std::string JoinPath(const std::string& directory, const std::string& name) {
    return (std::filesystem::path(directory) / name).string();
}

} // namespace

PasswordPromptLogic::PasswordPromptLogic(TKX_Pwd& pwd,
                                         TKX_MasterPass& master,
                                         MessageBox& messages,
                                         StatusLine& status,
                                         PromptDialogs& dialogs,
                                         ExpiryControls& expiry,
                                         const WindowSettings& settings,
                                         PromptContext context)
    : pwd_(pwd)
    , master_(master)
    , messages_(messages)
    , status_(status)
    , dialogs_(dialogs)
    , expiry_(expiry)
    , settings_(settings)
    , context_(context) {}

PromptSetup PasswordPromptLogic::CommonSetup(const std::string& name) const {
    PromptSetup setup;
    setup.fileDirectory = context_.workDirectory;
    setup.fileName = name;
    // A list of one file has nothing to share a password with; in session mode the password is shared anyway.
    setup.onePwdListEnabled = !pwd_.SessionMode && context_.workList.size() > 1;
    setup.onePwdListChecked = setup.onePwdListEnabled && settings_.OnePerListOn();
    return setup;
}

bool PasswordPromptLogic::PasswordHeld() const {
    return Reusable(pwd_);
}

PromptResult PasswordPromptLogic::PromptToEncrypt(const std::string& name) {
    if (Reusable(pwd_))
        return PromptResult::GoOn;
    const CipherMethod method = WritableMethod(settings_.DefaultMethod());
    encryptLimit_ = EncryptPasswordLimit(method);
    PromptSetup setup = CommonSetup(name);
    setup.methodName = MethodName(method);
    setup.enterLabel = EnterPasswordText(encryptLimit_);
    setup.savePwdEnabled = master_.UseKeyFile;
    setup.savePwdChecked = setup.savePwdEnabled;
    setup.cancelAllVisible = cancelAllEncrypt_;
    const PromptAnswer answer = dialogs_.ShowEncryptPrompt(
        setup, [this](bool firstBoxHasFocus, const SecureBytes& first, const SecureBytes& second) {
            return EncryptSubmit_ButtonClick(firstBoxHasFocus, first, second);
        });
    return TakeAnswer(answer, setup, true);
}

PromptResult PasswordPromptLogic::PromptToDecrypt(const std::string& name, const std::string& containerName) {
    if (Reusable(pwd_))
        return PromptResult::GoOn;
    PromptSetup setup = CommonSetup(name);
    const MethodInfo* method = MethodOfFile(JoinPath(context_.workDirectory, containerName));
    setup.methodName = method ? method->name : "-";
    // The label names the key length of the container's method; the check takes any length up to 24.
    setup.enterLabel = EnterPasswordText(method ? method->keyLength : kMaxDecryptPasswordLength);
    setup.cancelAllVisible = cancelAllDecrypt_;
    const PromptAnswer answer =
        dialogs_.ShowDecryptPrompt(setup, [this](bool, const SecureBytes& password, const SecureBytes&) {
            return DecryptSubmit_ButtonClick(password);
        });
    return TakeAnswer(answer, setup, false);
}

PromptResult PasswordPromptLogic::TakeAnswer(const PromptAnswer& answer, const PromptSetup& setup, bool encrypting) {
    // "Cancel" and "Cancel All" leave the held password, ListMode and SaveToTable as they were.
    if (answer.result == DialogResult::Cancel)
        return PromptResult::Skip;
    if (answer.result == DialogResult::Abort)
        return PromptResult::CancelAll;
    pwd_.SetPassword(answer.password.data(), answer.password.size());
    pwd_.Valid = true;
    if (pwd_.SessionMode) {
        pwd_.Expired = false;
        if (pwd_.ExpiryMinutes > 0) {
            pwd_.SecondsElapsed = 0;
            expiry_.EnablePwdTimer(true);
        }
    }
    // A disabled box cannot have been changed from its unticked state.
    pwd_.ListMode = setup.onePwdListEnabled && answer.onePwdList;
    if (encrypting)
        context_.saveToTable = setup.savePwdEnabled && answer.savePwd;
    if (pwd_.SessionMode)
        expiry_.EnablePwdExpireButton(true);
    return PromptResult::GoOn;
}

SubmitAction PasswordPromptLogic::Refuse(const char* text) {
    (void)messages_.ShowMessage(MessageKind::Error, text, MessageButtons::Ok);
    return SubmitAction::StayOpen;
}

SubmitAction PasswordPromptLogic::EncryptSubmit_ButtonClick(bool firstBoxHasFocus,
                                                            const SecureBytes& first,
                                                            const SecureBytes& second) {
    if (firstBoxHasFocus)
        return SubmitAction::MoveToSecondBox;
    if (const char* error = PasswordLengthError(first.size(), encryptLimit_))
        return Refuse(error);
    if (first != second)
        return Refuse(kVerificationFailed);
    return SubmitAction::Close;
}

SubmitAction PasswordPromptLogic::DecryptSubmit_ButtonClick(const SecureBytes& password) {
    if (const char* error = PasswordLengthError(password.size(), kMaxDecryptPasswordLength))
        return Refuse(error);
    return SubmitAction::Close;
}

void PasswordPromptLogic::SetCancelAllVisible(Direction direction, bool visible) {
    (direction == Direction::Encrypt ? cancelAllEncrypt_ : cancelAllDecrypt_) = visible;
}

bool PasswordPromptLogic::CancelAllVisible(Direction direction) const {
    return direction == Direction::Encrypt ? cancelAllEncrypt_ : cancelAllDecrypt_;
}

void PasswordPromptLogic::ReleaseExpiredPasswords(Boundary boundary) {
    if (boundary == Boundary::Start)
        pwd_.ListMode = false;
    pwd_.Valid = pwd_.Valid && pwd_.SessionMode && !pwd_.Expired;
    master_.Valid = master_.Valid && !master_.Expired;
    // A dropped password is never used again: a later one is typed, taken from the key file or checked
    // anew before anything reads the object, so the bytes need not stay in memory.
    if (!pwd_.Valid)
        pwd_.ClearPassword();
    if (!master_.Valid)
        master_.ClearPassword();
}

void PasswordPromptLogic::PwdTimerTimer() {
    ++pwd_.SecondsElapsed;
    if (pwd_.SecondsElapsed > pwd_.ExpiryMinutes * 60)
        SetPwdExpired();
}

void PasswordPromptLogic::PwdExpire_ButtonClick() {
    SetPwdExpired();
}

void PasswordPromptLogic::SetPwdExpired() {
    pwd_.Expired = true;
    expiry_.EnablePwdTimer(false);
    expiry_.EnablePwdExpireButton(false);
}

void PasswordPromptLogic::NotifyOfMethodChange() {
    SetPwdExpired();
    status_.ShowStatus(
        "Since your default encryption method has changed, you will be prompted to assign a new password.");
}

} // namespace vorlaxen
