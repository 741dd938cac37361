#pragma once

#include "platform/SecureMemory.h"
#include "ports/SubmitCheck.h"

#include <string>

namespace vorlaxen {

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

} // namespace vorlaxen
