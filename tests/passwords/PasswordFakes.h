#pragma once

#include "engine/TKX_Pwd.h"
#include "ports/ExpiryControls.h"
#include "ports/MasterPwdDialog.h"
#include "ports/PromptDialogs.h"
#include "ports/WindowSettings.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace vorlaxen::test {

inline SecureBytes Bytes(const std::string& text) {
    return SecureBytes(text.begin(), text.end());
}

// The password a TKX_Pwd holds, as typed.
template <class Pwd> std::string Unmasked(const Pwd& pwd) {
    std::vector<std::uint8_t> typed(pwd.Password.begin(), pwd.Password.begin() + pwd.PasswordLength);
    MaskBytes(typed.data(), typed.size());
    return std::string(typed.begin(), typed.end());
}

class FakeSettings : public WindowSettings {
public:
    bool OnePerListOn() const override { return onePerList; }
    bool ShowCryOn() const override { return showCry; }
    std::int32_t DefaultMethod() const override { return method; }

    bool onePerList = false;
    bool showCry = false;
    std::int32_t method = 1;
};

class FakeExpiry : public ExpiryControls {
public:
    void EnablePwdTimer(bool on) override { pwdTimer = on; }
    void EnablePwdExpireButton(bool on) override { pwdButton = on; }
    void EnableMasterPwdTimer(bool on) override { masterTimer = on; }
    void EnableMasterPwdExpireButton(bool on) override { masterButton = on; }

    bool pwdTimer = false;
    bool pwdButton = false;
    bool masterTimer = false;
    bool masterButton = false;
};

// One thing the user does in an open password dialog: types into the boxes and presses "Submit" (Ok),
// or leaves with "Cancel" / "Cancel All" (Abort). A refused submit keeps the dialog open for the next
// step of the script. Unset check boxes keep the state the dialog opened with.
struct DialogStep {
    DialogResult result = DialogResult::Ok;
    std::string first;
    std::optional<std::string> second; // the verification box; the first text when unset
    std::optional<bool> onePwdList;
    std::optional<bool> savePwd;
    bool notUseAtAll = false; // master password dialog: "Do not use at all"
};

inline DialogStep Type(const std::string& password) {
    DialogStep step;
    step.first = password;
    return step;
}
// Types different texts into the password box and the verification box.
inline DialogStep Type(const std::string& first, const std::string& second) {
    DialogStep step = Type(first);
    step.second = second;
    return step;
}
inline DialogStep TypeForList(const std::string& password) {
    DialogStep step = Type(password);
    step.onePwdList = true;
    return step;
}
inline DialogStep Press(DialogResult result) {
    DialogStep step;
    step.result = result;
    return step;
}
// A press of `result` with the check boxes set first.
inline DialogStep Press(DialogResult result, bool onePwdList, bool savePwd) {
    DialogStep step = Press(result);
    step.onePwdList = onePwdList;
    step.savePwd = savePwd;
    return step;
}
inline DialogStep NotUseAtAll() {
    DialogStep step = Press(DialogResult::Cancel);
    step.notUseAtAll = true;
    return step;
}

// Plays DialogSteps against the prompts and records what each prompt showed.
class FakePromptDialogs : public PromptDialogs {
public:
    PromptAnswer ShowEncryptPrompt(const PromptSetup& setup, const SubmitCheck& submit) override {
        shown.push_back(setup);
        if (onShow)
            onShow();
        return Play(setup, submit, true);
    }
    PromptAnswer ShowDecryptPrompt(const PromptSetup& setup, const SubmitCheck& submit) override {
        shown.push_back(setup);
        if (onShow)
            onShow();
        return Play(setup, submit, false);
    }

    std::deque<DialogStep> steps;
    std::vector<PromptSetup> shown;
    std::function<void()> onShow; // called as each prompt opens

private:
    PromptAnswer Play(const PromptSetup& setup, const SubmitCheck& submit, bool encrypt) {
        PromptAnswer answer;
        answer.onePwdList = setup.onePwdListChecked;
        answer.savePwd = setup.savePwdChecked;
        while (true) {
            if (steps.empty()) {
                ADD_FAILURE() << "a prompt was shown for " << setup.fileName << " with nothing scripted";
                return answer;
            }
            DialogStep step = steps.front();
            steps.pop_front();
            if (step.onePwdList && setup.onePwdListEnabled)
                answer.onePwdList = *step.onePwdList;
            if (step.savePwd && setup.savePwdEnabled)
                answer.savePwd = *step.savePwd;
            answer.result = step.result;
            if (step.result != DialogResult::Ok)
                return answer;
            const SecureBytes first = Bytes(step.first);
            const SecureBytes second = Bytes(encrypt ? step.second.value_or(step.first) : "");
            // Enter in the first box of the encryption prompt only moves on to the second.
            if (encrypt) {
                EXPECT_EQ(submit(true, first, second), SubmitAction::MoveToSecondBox);
            }
            if (submit(false, first, second) == SubmitAction::Close) {
                answer.password = first;
                return answer;
            }
        }
    }
};

class FakeMasterDialog : public MasterPwdDialog {
public:
    DialogResult ShowMasterPwdForm(const SubmitCheck& submit, const std::function<void()>& notUseAtAll) override {
        ++shown;
        while (true) {
            if (steps.empty())
                return DialogResult::Cancel; // "Do not use now"
            DialogStep step = steps.front();
            steps.pop_front();
            if (step.notUseAtAll) {
                notUseAtAll();
                return DialogResult::Cancel;
            }
            if (step.result != DialogResult::Ok)
                return step.result;
            const SecureBytes first = Bytes(step.first);
            const SecureBytes second = Bytes(step.second.value_or(step.first));
            EXPECT_EQ(submit(true, first, second), SubmitAction::MoveToSecondBox);
            if (submit(false, first, second) == SubmitAction::Close)
                return DialogResult::Ok;
        }
    }

    std::deque<DialogStep> steps;
    int shown = 0;
};

} // namespace vorlaxen::test
