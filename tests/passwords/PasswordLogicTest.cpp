// The prompts and the master password: where a password comes from, what each dialog accepts, and when a
// held password expires and is dropped.

#include "passwords/MasterPasswordLogic.h"
#include "passwords/PasswordFakes.h"
#include "passwords/PasswordPromptLogic.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace vorlaxen {
namespace {

using test::Bytes;
using test::DialogStep;
using test::Press;
using test::Type;
using test::TypeForList;
using test::Unmasked;
using Texts = std::vector<std::string>;

class PasswordLogic : public ::testing::Test {
protected:
    PasswordLogic() {
        table.MasterPass.KeyFilePath = dir / "xwords.001";
        host.onAskMasterPassword = [this] { master.AskMasterPassword(); };
    }

    Texts messages() const {
        Texts texts;
        for (const auto& message : host.messages)
            texts.push_back(message.text);
        return texts;
    }
    // What the last prompt showed; a failure, and an empty setup, when no prompt was shown.
    PromptSetup lastSetup() const {
        if (dialogs.shown.empty()) {
            ADD_FAILURE() << "no prompt was shown";
            return {};
        }
        return dialogs.shown.back();
    }
    void tick(int seconds, void (PasswordPromptLogic::*handler)()) {
        for (int i = 0; i < seconds; ++i)
            (prompts.*handler)();
    }

    test::TempDir dir;
    test::FakeHost host;
    test::FakeSettings settings;
    test::FakeExpiry expiry;
    test::FakePromptDialogs dialogs;
    test::FakeMasterDialog masterDialog;
    TKX_Pwd pwd;
    TKX_PwdTable table{host, host, host, pwd};
    std::vector<std::string> workList{"a.txt", "b.txt", "c.txt"};
    std::string workDirectory = "/home/ann/docs";
    bool saveToTable = false;
    PasswordPromptLogic prompts{pwd,
                                table.MasterPass,
                                host,
                                host,
                                dialogs,
                                expiry,
                                settings,
                                PromptContext{workList, workDirectory, saveToTable}};
    MasterPasswordLogic master{table, host, masterDialog, expiry, saveToTable};
};

TEST_F(PasswordLogic, TheEncryptionPromptTakesTheLengthsOfTheDefaultMethod) {
    struct Case {
        int method;
        const char* name;
        std::size_t limit;
    };
    for (Case c : {Case{1, "IDEA", 16}, Case{3, "DES", 8}, Case{4, "3xDES", 24}, Case{2, "DES", 8}}) {
        SCOPED_TRACE(c.name);
        settings.method = c.method;
        host.messages.clear();
        pwd.Valid = false;
        dialogs.steps = {Type("12345"),
                         Type(std::string(c.limit + 1, 'x')),
                         Type("abcdef", "abcdeF"),
                         Type(std::string(c.limit, 'p'))};
        EXPECT_EQ(prompts.PromptToEncrypt("a.txt"), PromptResult::GoOn);
        EXPECT_EQ(
            messages(),
            (Texts{"Too few characters in password.", "Too many characters in password.", "Verification failed."}));
        EXPECT_EQ(lastSetup().methodName, c.name);
        EXPECT_EQ(lastSetup().enterLabel, "Enter the password (6 - " + std::to_string(c.limit) + " symbols)");
        ASSERT_EQ(Unmasked(pwd), std::string(c.limit, 'p'));
        EXPECT_EQ(pwd.Password[0], 'p' ^ kPasswordMask) << "held masked";
        EXPECT_TRUE(pwd.Valid);
    }
    EXPECT_EQ(lastSetup().fileDirectory, "/home/ann/docs");
    EXPECT_EQ(lastSetup().fileName, "a.txt");

    // A mouse click into the verification box submits at once.
    EXPECT_EQ(prompts.EncryptSubmit_ButtonClick(false, Bytes("abcdefgh"), Bytes("")), SubmitAction::StayOpen);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(messages().back(), "Verification failed.");
}

TEST_F(PasswordLogic, TheDecryptionPromptTakesSixToTwentyFourWhateverTheContainerShows) {
    test::WriteFile(dir / "des.txt.cry", "KX9B and so on");
    test::WriteFile(dir / "idea.txt.cry", "KX98 and so on");
    workDirectory = dir.path();
    struct Case {
        const char* name;
        const char* method;
        const char* label;
    };
    for (Case c : {Case{"des.txt", "DES", "(6 - 8 symbols)"},
                   Case{"idea.txt", "IDEA", "(6 - 16 symbols)"},
                   Case{"gone.txt", "-", "(6 - 24 symbols)"}}) {
        SCOPED_TRACE(c.name);
        pwd.Valid = false;
        dialogs.steps = {Type("12345"), Type(std::string(25, 'x')), Type("nine-char")};
        EXPECT_EQ(prompts.PromptToDecrypt(c.name, c.name + std::string(".cry")), PromptResult::GoOn);
        EXPECT_EQ(lastSetup().methodName, c.method);
        EXPECT_EQ(lastSetup().enterLabel, std::string("Enter the password ") + c.label);
        EXPECT_EQ(Unmasked(pwd), "nine-char");
    }
    EXPECT_EQ(messages().size(), 6u);
    EXPECT_EQ(prompts.DecryptSubmit_ButtonClick(Bytes(std::string(24, 'x'))), SubmitAction::Close);

    pwd.Valid = false;
    dialogs.steps = {Type("password")};
    prompts.PromptToDecrypt("IDEA.TXT", "idea.txt.cry");
    EXPECT_EQ(lastSetup().methodName, "IDEA") << "the container given, whatever the caption";
}

TEST_F(PasswordLogic, CancelAndCancelAllChangeNothing) {
    pwd.SetPassword("held-pw");
    pwd.Valid = true;
    pwd.ListMode = false;
    saveToTable = true;
    table.MasterPass.UseKeyFile = true;
    dialogs.steps = {Press(DialogResult::Cancel, true, false)};
    EXPECT_EQ(prompts.PromptToEncrypt("a.txt"), PromptResult::Skip);
    dialogs.steps = {Press(DialogResult::Abort, true, false)};
    EXPECT_EQ(prompts.PromptToEncrypt("a.txt"), PromptResult::CancelAll);
    dialogs.steps = {Press(DialogResult::Abort)};
    EXPECT_EQ(prompts.PromptToDecrypt("a.txt", "a.txt.cry"), PromptResult::CancelAll);
    EXPECT_EQ(Unmasked(pwd), "held-pw");
    EXPECT_TRUE(pwd.Valid);
    EXPECT_FALSE(pwd.ListMode);
    EXPECT_TRUE(saveToTable);
}

TEST_F(PasswordLogic, TheCheckBoxesFollowTheListTheSessionAndTheKeyFile) {
    settings.onePerList = true;
    dialogs.steps = {Type("password")};
    prompts.PromptToEncrypt("a.txt");
    EXPECT_TRUE(lastSetup().onePwdListEnabled && lastSetup().onePwdListChecked);
    EXPECT_FALSE(lastSetup().savePwdEnabled || lastSetup().savePwdChecked) << "no key file in use";
    EXPECT_TRUE(pwd.ListMode);
    EXPECT_FALSE(saveToTable);

    workList = {"a.txt"};
    table.MasterPass.UseKeyFile = true;
    pwd.Valid = false;
    dialogs.steps = {Type("password")};
    prompts.PromptToEncrypt("a.txt");
    EXPECT_FALSE(lastSetup().onePwdListEnabled || lastSetup().onePwdListChecked) << "a list of one file";
    EXPECT_TRUE(lastSetup().savePwdEnabled && lastSetup().savePwdChecked);
    EXPECT_FALSE(pwd.ListMode);
    EXPECT_TRUE(saveToTable);

    workList = {"a.txt", "b.txt"};
    pwd.Valid = false;
    DialogStep unticked = TypeForList("password");
    unticked.savePwd = false;
    dialogs.steps = {unticked};
    prompts.PromptToEncrypt("a.txt");
    EXPECT_TRUE(pwd.ListMode);
    EXPECT_FALSE(saveToTable) << "unticked by the user";

    pwd.Valid = false;
    pwd.SessionMode = true;
    dialogs.steps = {Type("password")};
    prompts.PromptToDecrypt("a.txt", "a.txt.cry");
    EXPECT_FALSE(lastSetup().onePwdListEnabled) << "in session mode no list offers it";
    EXPECT_FALSE(pwd.ListMode);
}

TEST_F(PasswordLogic, ASessionPasswordIsReusedUntilTheBoundaryAfterItsExpiry) {
    pwd.SessionMode = true;
    pwd.ExpiryMinutes = 1;
    prompts.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::Start);
    dialogs.steps = {Type("session-pw")};
    EXPECT_EQ(prompts.PromptToEncrypt("a.txt"), PromptResult::GoOn);
    EXPECT_TRUE(expiry.pwdTimer && expiry.pwdButton);
    EXPECT_EQ(prompts.PromptToDecrypt("b.txt", "b.txt.cry"), PromptResult::GoOn);
    EXPECT_EQ(dialogs.shown.size(), 1u) << "reused without a prompt";
    prompts.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::End);

    tick(60, &PasswordPromptLogic::PwdTimerTimer);
    EXPECT_FALSE(pwd.Expired) << "the session password lasts the full minute";
    prompts.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::Start); // a list starts at 60 s
    tick(1, &PasswordPromptLogic::PwdTimerTimer);
    EXPECT_TRUE(pwd.Expired);
    EXPECT_FALSE(expiry.pwdTimer || expiry.pwdButton);
    EXPECT_EQ(prompts.PromptToEncrypt("c.txt"), PromptResult::GoOn) << "still held inside that list";
    EXPECT_EQ(dialogs.shown.size(), 1u);
    prompts.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::End);
    EXPECT_FALSE(pwd.Valid);
    EXPECT_TRUE(pwd.Password.empty()) << "a dropped password leaves no bytes behind";

    dialogs.steps = {Type("new-session")};
    prompts.PromptToEncrypt("c.txt");
    EXPECT_EQ(dialogs.shown.size(), 2u);
    EXPECT_FALSE(pwd.Expired);
    EXPECT_EQ(pwd.SecondsElapsed, 0);

    prompts.NotifyOfMethodChange();
    EXPECT_TRUE(pwd.Expired);
    ASSERT_FALSE(host.statuses.empty());
    EXPECT_EQ(host.statuses.back(),
              "Since your default encryption method has changed, you will be prompted to assign a new password.");
}

TEST_F(PasswordLogic, AListPasswordLastsForItsListAndTheBoundaryRules) {
    dialogs.steps = {TypeForList("list-pw")};
    prompts.PromptToEncrypt("a.txt");
    EXPECT_EQ(prompts.PromptToEncrypt("b.txt"), PromptResult::GoOn);
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_FALSE(expiry.pwdButton) << "only a session password enables the expire button";
    prompts.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::End);
    EXPECT_FALSE(pwd.Valid);

    // The master password: dropped only when expired, and never by the file password's rules.
    table.MasterPass.Valid = true;
    prompts.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::Start);
    EXPECT_TRUE(table.MasterPass.Valid);
    table.MasterPass.Expired = true;
    prompts.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::End);
    EXPECT_FALSE(table.MasterPass.Valid);

    // ListMode survives an end boundary (a whole-directory run) and goes at a start.
    pwd.SessionMode = true;
    pwd.ListMode = true;
    prompts.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::End);
    EXPECT_TRUE(pwd.ListMode);
    prompts.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::Start);
    EXPECT_FALSE(pwd.ListMode);
}

TEST_F(PasswordLogic, TheMasterPasswordDialogChecksLengthsVerificationAndTheKeyFile) {
    masterDialog.steps = {
        Type("12345"), Type(std::string(17, 'm')), Type("master-pw", "master-PW"), Type(std::string(16, 'm'))};
    master.AskMasterPassword();
    EXPECT_EQ(messages(),
              (Texts{"Too few characters in password.", "Too many characters in password.", "Verification failed."}));
    EXPECT_TRUE(table.MasterPass.Valid) << "without a key file any password of 6 to 16 is accepted";

    // The first stored password creates the key file under it; from then on only that one is accepted.
    pwd.SetPassword("file-pw");
    ASSERT_TRUE(table.StorePassword("/home/ann/a.txt"));
    table.MasterPass.Valid = false;
    host.messages.clear();
    masterDialog.steps = {Type("mmmmmm"), Type(std::string(16, 'm'))};
    master.AskMasterPassword();
    EXPECT_EQ(messages(), Texts{"Invalid password."});
    EXPECT_TRUE(table.MasterPass.Valid);
    EXPECT_EQ(masterDialog.shown, 2);

    table.MasterPass.Valid = false;
    masterDialog.steps = {Type("mmmmmm"), Press(DialogResult::Cancel)};
    master.AskMasterPassword();
    EXPECT_FALSE(table.MasterPass.Valid) << "\"Do not use now\" after a refused try holds nothing";
    EXPECT_EQ(Unmasked(table.MasterPass), "mmmmmm") << "the refused password stays in the object";
}

TEST_F(PasswordLogic, DoNotUseAtAllTurnsTheKeyFileOffAndDoNotUseNowOnlyForThisTime) {
    table.MasterPass.UseKeyFile = true;
    saveToTable = true;
    master.AskAtStartup();
    EXPECT_EQ(masterDialog.shown, 1);
    EXPECT_TRUE(table.MasterPass.UseKeyFile && saveToTable) << "\"Do not use now\" changes no setting";
    EXPECT_FALSE(table.FindPassword("/home/ann/a.txt"));
    EXPECT_EQ(masterDialog.shown, 2) << "asked again at the next table access";

    masterDialog.steps = {test::NotUseAtAll()};
    EXPECT_FALSE(table.FindPassword("/home/ann/a.txt"));
    EXPECT_FALSE(table.MasterPass.UseKeyFile || saveToTable || table.MasterPass.Valid);
    EXPECT_FALSE(table.FindPassword("/home/ann/a.txt"));
    EXPECT_EQ(masterDialog.shown, 3) << "the key file is no longer asked about";
    master.AskAtStartup();
    EXPECT_EQ(masterDialog.shown, 3);
}

TEST_F(PasswordLogic, TheMasterPasswordExpiresOnTheTickThatReachesItsMinutes) {
    table.MasterPass.ExpiryOn = true;
    table.MasterPass.ExpiryMinutes = 1;
    table.MasterPass.Expired = true;
    masterDialog.steps = {Type("master-pw")};
    master.AskMasterPassword();
    EXPECT_TRUE(table.MasterPass.Valid);
    EXPECT_FALSE(table.MasterPass.Expired);
    EXPECT_TRUE(expiry.masterTimer && expiry.masterButton);
    for (int i = 0; i < 59; ++i)
        master.MasterPwd_TimerTimer();
    EXPECT_FALSE(table.MasterPass.Expired);
    master.MasterPwd_TimerTimer();
    EXPECT_TRUE(table.MasterPass.Expired);
    EXPECT_TRUE(table.MasterPass.Valid) << "held until the next boundary";
    EXPECT_FALSE(expiry.masterTimer || expiry.masterButton);

    // With minutes 0 the timer is not started; with ExpiryOn off nothing about expiry changes.
    table.MasterPass.ExpiryMinutes = 0;
    masterDialog.steps = {Type("master-pw")};
    master.AskMasterPassword();
    EXPECT_FALSE(expiry.masterTimer);
    EXPECT_TRUE(expiry.masterButton);
    master.MasterPwdExpire_ButtonClick();
    EXPECT_TRUE(table.MasterPass.Expired);
    // Expired once in this run (by the button here, by a change of the key-file settings in the window):
    // a master password given afterwards with expiry off is kept until the program closes.
    table.MasterPass.ExpiryOn = false;
    masterDialog.steps = {Type("master-pw")};
    master.AskMasterPassword();
    EXPECT_FALSE(table.MasterPass.Expired);
    EXPECT_FALSE(expiry.masterTimer || expiry.masterButton);
    prompts.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::End);
    prompts.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::Start);
    EXPECT_TRUE(table.MasterPass.Valid) << "kept across operation boundaries";
}

} // namespace
} // namespace vorlaxen
