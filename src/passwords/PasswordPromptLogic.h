#pragma once

#include "engine/TKX_Pwd.h"
#include "passwords/TKX_MasterPass.h"
#include "ports/Direction.h"
#include "ports/ExpiryControls.h"
#include "ports/MessageBox.h"
#include "ports/PromptDialogs.h"
#include "ports/StatusLine.h"
#include "ports/WindowSettings.h"

#include <string>
#include <vector>

namespace vorlaxen {

// Answers of the two prompts.
enum class PromptResult {
    GoOn = 1,      // the file password object holds the password to use
    Skip = 2,      // "Cancel": leave this file
    CancelAll = 3, // "Cancel All": stop the list
};

// What the prompts read of the operation they serve, handed in by the owner: the crypt box's work list
// and work directory, and the program state's flag that stores the passwords of encrypted files.
struct PromptContext {
    const std::vector<std::string>& workList;
    const std::string& workDirectory;
    bool& saveToTable;
};

// Where the password of the next file comes from when it is not in the key file: a password held for the
// session or for the list, or the prompt `TEncrypt` / `TDecrypt`. Also keeps the session password's
// expiry (the one-second `PwdTimer`, the expire button) and the reset at every operation boundary that
// drops expired passwords, the file password's and the master password's.
class PasswordPromptLogic {
public:
    PasswordPromptLogic(TKX_Pwd& pwd,
                        TKX_MasterPass& master,
                        MessageBox& messages,
                        StatusLine& status,
                        PromptDialogs& dialogs,
                        ExpiryControls& expiry,
                        const WindowSettings& settings,
                        PromptContext context);

    // A password for the session or for the list is held: the next prompt answers at once, showing nothing.
    bool PasswordHeld() const;
    // `name` is a plain file of the work directory.
    PromptResult PromptToEncrypt(const std::string& name);
    // `containerName` is a container of the work directory, by its file name, and `name` its caption, which
    // the prompt shows; the method shown is the container's.
    PromptResult PromptToDecrypt(const std::string& name, const std::string& containerName);

    // The "Submit" checks of the two prompts. The encryption prompt's upper limit is that of the default
    // method when the prompt was shown; the decryption prompt takes 6 to 24 characters whatever the method.
    SubmitAction EncryptSubmit_ButtonClick(bool firstBoxHasFocus, const SecureBytes& first, const SecureBytes& second);
    SubmitAction DecryptSubmit_ButtonClick(const SecureBytes& password);

    // "Cancel All" of the prompt of that direction is shown for the length of a list or whole-directory run.
    void SetCancelAllVisible(Direction direction, bool visible);
    bool CancelAllVisible(Direction direction) const;

    // The operation boundary, at the start or the end of a list run or of a whole-directory run.
    enum class Boundary { Start, End };
    void ReleaseExpiredPasswords(Boundary boundary);

    // Every second while PwdTimer runs: expires on the tick after the full minutes.
    void PwdTimerTimer();
    void PwdExpire_ButtonClick();
    // Marks the held session password expired; Valid stays until the next boundary.
    void SetPwdExpired();
    // A new default method was chosen: the session password expires, since it was sized for the old one.
    void NotifyOfMethodChange();

private:
    PromptResult TakeAnswer(const PromptAnswer& answer, const PromptSetup& setup, bool encrypting);
    PromptSetup CommonSetup(const std::string& name) const;
    SubmitAction Refuse(const char* text);

    TKX_Pwd& pwd_;
    TKX_MasterPass& master_;
    MessageBox& messages_;
    StatusLine& status_;
    PromptDialogs& dialogs_;
    ExpiryControls& expiry_;
    const WindowSettings& settings_;
    PromptContext context_;
    std::size_t encryptLimit_ = 16;
    bool cancelAllEncrypt_ = false;
    bool cancelAllDecrypt_ = false;
};

} // namespace vorlaxen
