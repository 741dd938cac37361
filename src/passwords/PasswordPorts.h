#pragma once

#include "platform/SecureMemory.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vorlaxen {

// What the password logic needs from the main window and its dialogs. The window implements these; the
// tests implement them with scripted fakes. The dialogs only show, collect what was typed and call back
// into the logic: every check, message and state change is the logic's.

// Which way a file goes: encryption takes files from "Available for encryption", decryption from
// "Crypted files". The numbers are the direction arguments of the pane operations.
enum class Direction { Encrypt = 0, Decrypt = 1 };

// What the dialog does after "Submit" was pressed (or Enter, or a click into the box that submits).
enum class SubmitAction {
    MoveToSecondBox, // the focus was in the first box: it goes on to the second, nothing is checked
    StayOpen,        // a check failed and its message has been shown; the typed texts stay
    Close,           // accepted: the dialog closes with the OK result
};

// The logic behind a dialog's "Submit": whether the first password box has the focus (false for a click
// into the box that submits, which takes the focus), and the texts of the boxes as UTF-8 bytes (the
// second is empty in a dialog with one box).
using SubmitCheck =
    std::function<SubmitAction(bool firstBoxHasFocus, const SecureBytes& first, const SecureBytes& second)>;

// How a modal password dialog was closed: "Submit" accepted, "Cancel" (or "Do not use now", "Do not use
// at all"), or "Cancel All".
enum class DialogResult { Ok, Cancel, Abort };

// The program-wide settings that live in the main window and nowhere else.
class WindowSettings {
public:
    virtual ~WindowSettings() = default;
    virtual bool OnePerListOn() const = 0;          // "One password for a file list" starts ticked
    virtual bool ShowCryOn() const = 0;             // the "Crypted files" pane shows names with ".cry"
    virtual std::int32_t DefaultMethod() const = 0; // 1 IDEA, 3 DES, 4 Triple DES
};

// The two one-second expiry timers (`PwdTimer`, `MasterPwd_Timer`) and the tool buttons that make a
// password expire now (`PwdExpire_Button`, `MasterPwdExpire_Button`). Enabling a timer starts it from a
// full second; its ticks call PwdTimerTimer and MasterPwd_TimerTimer of the logic.
class ExpiryControls {
public:
    virtual ~ExpiryControls() = default;
    virtual void EnablePwdTimer(bool on) = 0;
    virtual void EnablePwdExpireButton(bool on) = 0;
    virtual void EnableMasterPwdTimer(bool on) = 0;
    virtual void EnableMasterPwdExpireButton(bool on) = 0;
};

// What a password prompt shows when it opens. The dialog empties its boxes and puts the focus into
// MaskEdit1 each time it is shown; both boxes show "*" for every character.
struct PromptSetup {
    std::string fileDirectory;      // FName_Label: the directory, shortened from the left with an ellipsis
    std::string fileName;           //   when long, then the file's name in full
    std::string methodName;         // Method_Label: "IDEA", "DES", "3xDES" (or "-" for an unreadable container)
    std::string enterLabel;         // Enter_Label, e.g. "Enter the password (6 - 16 symbols)"
    bool onePwdListEnabled = false; // OnePwdList_CheckBox "One password for a file list"
    bool onePwdListChecked = false;
    bool savePwdEnabled = false; // SavePwd_CheckBox "Save password on disk" (encryption prompt only)
    bool savePwdChecked = false;
    bool cancelAllVisible = false; // "Cancel All" is shown only while a list is processed
};

// How a prompt was closed. With DialogResult::Ok, `password` holds the text of MaskEdit1 (the dialog
// then empties its boxes); the check boxes' states at closing are given with every result.
struct PromptAnswer {
    DialogResult result = DialogResult::Cancel;
    SecureBytes password;
    bool onePwdList = false;
    bool savePwd = false;
};

// The two password prompts, `TEncrypt` ("Encryption procedure", two boxes) and `TDecrypt` ("Decryption
// procedure", one box), shown modally. "Submit", Enter and a click into the box that submits (MaskEdit2
// of TEncrypt, MaskEdit1 of TDecrypt) run `submit` and act on its answer; "Cancel" closes with Cancel,
// "Cancel All" with Abort. Clicking a check box puts the focus back into MaskEdit1.
class PromptDialogs {
public:
    virtual ~PromptDialogs() = default;
    virtual PromptAnswer ShowEncryptPrompt(const PromptSetup& setup, const SubmitCheck& submit) = 0;
    virtual PromptAnswer ShowDecryptPrompt(const PromptSetup& setup, const SubmitCheck& submit) = 0;
};

// The master password dialog `TMasterPwd_Form` ("The Master password", two boxes), shown modally with
// its boxes emptied and the focus in MaskEdit1. "Submit", Enter and a click into MaskEdit2 run `submit`
// and act on its answer (Close gives DialogResult::Ok); "Do not use now" closes with Cancel; "Do not use
// at all" runs `notUseAtAll` and then closes with Cancel.
class MasterPwdDialog {
public:
    virtual ~MasterPwdDialog() = default;
    virtual DialogResult ShowMasterPwdForm(const SubmitCheck& submit, const std::function<void()>& notUseAtAll) = 0;
};

} // namespace vorlaxen
