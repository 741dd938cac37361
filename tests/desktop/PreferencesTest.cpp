// ShowPreferences over the window logic's fakes: what the dialog is filled with, and what "Ok" and
// "Cancel" change.

#include "desktop/PreferencesForm.h"
#include "desktop/PreferencesLogic.h"
#include "desktop/WindowFixture.h"

#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace vorlaxen {
namespace {

// The dialog: records what it was shown and lets the test act as the user, through the dialog's rules.
class FakePreferencesDialog : public PreferencesDialog {
public:
    bool ShowPreferencesDialog(PreferencesControls& controls, const std::string& keyFilePath) override {
        shown.push_back(controls);
        presets.push_back(keyFilePath);
        PreferencesForm form(controls);
        return user ? user(form, controls) : true;
    }

    std::function<bool(PreferencesForm&, PreferencesControls&)> user; // none: "Ok" without a change
    std::vector<PreferencesControls> shown;
    std::vector<std::string> presets;
};

// The method buttons as the window has them: the method, its button and the notice.
class FakeMethods : public MethodSelection {
public:
    FakeMethods(std::int32_t& method, PasswordPromptLogic& prompts)
        : method_(method)
        , prompts_(prompts) {}
    void SetDES() override { Set(CodeOf(CipherMethod::Des)); }
    void SetIDEA() override { Set(CodeOf(CipherMethod::Idea)); }
    void SetTripleDES() override { Set(CodeOf(CipherMethod::TripleDes)); }
    std::vector<std::int32_t> calls;

private:
    void Set(std::int32_t code) {
        calls.push_back(code);
        method_ = code;
        prompts_.NotifyOfMethodChange();
    }
    std::int32_t& method_;
    PasswordPromptLogic& prompts_;
};

constexpr const char* kNotice =
    "Since your default encryption method has changed, you will be prompted to assign a new password.";

class Preferences : public test::WindowTest {
protected:
    Preferences() {
        const char* saved = std::getenv("HOME");
        savedHome_ = saved ? saved : "";
        ::setenv("HOME", userHome.path().c_str(), 1);
        // The settings as a user left them: a session password and a master password are held.
        pwd().SessionMode = true;
        pwd().ExpiryMinutes = 5;
        pwd().SetPassword("session-password");
        pwd().Valid = true;
        masterPass().UseKeyFile = true;
        masterPass().ExpiryOn = true;
        masterPass().ExpiryMinutes = 10;
        masterPass().SetPassword("master-password");
        masterPass().Valid = true;
        expiry.pwdTimer = expiry.pwdButton = expiry.masterTimer = expiry.masterButton = true;
        settings.method = 1;
    }
    ~Preferences() override { ::setenv("HOME", savedHome_.c_str(), 1); }

    // Everything ShowPreferences may change, to compare before and after.
    struct Snapshot {
        bool onePerList, showCry, showTip;
        std::int32_t method;
        bool sessionMode;
        std::int32_t expire;
        bool pwdValid;
        bool store;
        std::string dir;
        bool expires;
        std::int32_t expTime;
        bool masterExpired;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot snapshot() {
        return {settings.onePerList,
                settings.showCry,
                showTip,
                settings.method,
                pwd().SessionMode,
                pwd().ExpiryMinutes,
                pwd().Valid,
                masterPass().UseKeyFile,
                masterPass().KeyFilePath,
                masterPass().ExpiryOn,
                masterPass().ExpiryMinutes,
                masterPass().Expired};
    }

    test::TempDir userHome;
    bool showTip = true;
    FakePreferencesDialog dialog;
    FakeMethods methods{settings.method, ops.prompts()};
    PreferencesLogic logic{objects,
                           ProgramOptions{settings.onePerList, settings.showCry, showTip, settings.method},
                           PreferencesPorts{dialog, methods, ops.master(), panes, host, expiry}};

private:
    std::string savedHome_;
};

TEST_F(Preferences, TheDialogIsFilledFromTheSettingsAndTheSessionOptionWinsOverTheListOption) {
    settings.onePerList = true; // both stored as 1
    pwd().ExpiryMinutes = 1000; // outside what the spin edit offers
    masterPass().ExpiryOn = false;
    masterPass().ExpiryMinutes = -3;
    masterPass().KeyFilePath = "/keys/mine.key";
    settings.method = 3;
    logic.ShowPreferences();
    ASSERT_EQ(dialog.shown.size(), 1u);
    PreferencesControls c = dialog.shown[0];
    EXPECT_TRUE(c.onePwd);
    EXPECT_TRUE(c.panel1Shown) << "the expiry row in its place";
    EXPECT_FALSE(c.onePerList);
    EXPECT_FALSE(c.onePerListShown);
    EXPECT_EQ(c.expTime, 600) << "shown clamped";
    EXPECT_EQ(c.method, CipherMethod::Des);
    EXPECT_TRUE(c.store);
    EXPECT_TRUE(c.storePanelShown);
    EXPECT_FALSE(c.masterPwdExpires);
    EXPECT_FALSE(c.panel3Shown);
    EXPECT_EQ(c.masterPwdExpTime, 0);
    EXPECT_EQ(c.path, "/keys/mine.key");
    EXPECT_EQ(dialog.presets[0], "/keys/mine.key") << "Set path... starts from the key file";
    EXPECT_FALSE(c.showCry);
    EXPECT_TRUE(c.showTip);
    EXPECT_FALSE(settings.onePerList) << "Ok stores \"OnePerList\" as 0";
    EXPECT_EQ(pwd().ExpiryMinutes, 600);

    // A method that no radio button stands for leaves them as the last showing left them.
    settings.method = 7;
    pwd().SessionMode = false;
    dialog.user = [](PreferencesForm&, PreferencesControls&) { return false; };
    logic.ShowPreferences();
    EXPECT_EQ(dialog.shown[1].method, CipherMethod::Des);
    EXPECT_FALSE(dialog.shown[1].onePwd);
    EXPECT_FALSE(dialog.shown[1].panel1Shown);
    EXPECT_TRUE(dialog.shown[1].onePerListShown) << "brought back, unchecked";
    EXPECT_FALSE(dialog.shown[1].onePerList);
}

TEST_F(Preferences, CancelChangesNothingButAnEmptyKeyFilePath) {
    masterPass().KeyFilePath.clear();
    host.statuses.clear();
    const int reads = panes.reads;
    dialog.user = [](PreferencesForm& form, PreferencesControls& c) {
        form.setOnePwd(false);
        form.setOnePerList(true);
        form.setStore(false);
        form.setMasterPwdExpires(false);
        form.Button1Click();
        c.method = CipherMethod::TripleDes;
        c.path = "/elsewhere/other.key"; // as "Set path..." writes it
        c.showCry = c.showTip = false;
        return false;
    };
    Snapshot before = snapshot();
    logic.ShowPreferences();
    before.dir = userHome / "xwords.001";
    EXPECT_EQ(dialog.shown[0].path, userHome / "xwords.001") << "the default key file, as a full path";
    EXPECT_TRUE(snapshot() == before) << "the default key file path stays, nothing else changed";
    EXPECT_EQ(pwd().PasswordLength, 16) << "the held password stays";
    EXPECT_TRUE(masterPass().Valid);
    EXPECT_TRUE(methods.calls.empty());
    EXPECT_TRUE(host.statuses.empty());
    EXPECT_EQ(panes.reads, reads);
    EXPECT_TRUE(expiry.pwdTimer && expiry.pwdButton && expiry.masterTimer && expiry.masterButton);
}

TEST_F(Preferences, OkWithoutAChangeDropsTheFilePasswordAndNothingElse) {
    masterPass().KeyFilePath = "/keys/mine.key";
    host.statuses.clear();
    const int reads = panes.reads;
    Snapshot expected = snapshot();
    expected.pwdValid = false;
    logic.ShowPreferences();
    EXPECT_TRUE(snapshot() == expected);
    EXPECT_EQ(pwd().PasswordLength, 0);
    EXPECT_TRUE(pwd().Password.empty()) << "a dropped password leaves no bytes behind";
    EXPECT_FALSE(expiry.pwdTimer);
    EXPECT_FALSE(expiry.pwdButton);
    EXPECT_TRUE(masterPass().Valid && !masterPass().Expired) << "no master password expiry";
    EXPECT_TRUE(expiry.masterTimer && expiry.masterButton);
    EXPECT_TRUE(methods.calls.empty()) << "no method notice";
    EXPECT_TRUE(host.statuses.empty());
    EXPECT_EQ(panes.reads, reads) << "no refill";

    // The next encryption asks for a password again.
    write("a.txt", "text");
    select(Pane::Source, {"a.txt"});
    prompts.steps = {test::Type("fresh-password")};
    batch().EncrFileList();
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(OpensWith(path("a.txt.cry"), "fresh-password"));
}

TEST_F(Preferences, AnotherMethodGivesTheNoticeAndAMethodWithoutAButtonTakesTheCheckedOne) {
    dialog.user = [](PreferencesForm&, PreferencesControls& c) {
        c.method = CipherMethod::Des;
        return true;
    };
    logic.ShowPreferences();
    EXPECT_EQ(methods.calls, std::vector<std::int32_t>{3});
    EXPECT_EQ(settings.method, 3);
    ASSERT_FALSE(host.statuses.empty());
    EXPECT_EQ(host.statuses.back(), kNotice);
    EXPECT_TRUE(pwd().Expired);

    // "Method" 0 (an unreadable setting) shows no button down; the radio button "Ok" confirms is taken.
    settings.method = 0;
    dialog.user = [](PreferencesForm&, PreferencesControls& c) {
        EXPECT_EQ(c.method, CipherMethod::Des) << "as the last showing left it";
        c.method = CipherMethod::TripleDes;
        return true;
    };
    logic.ShowPreferences();
    EXPECT_EQ(methods.calls, (std::vector<std::int32_t>{3, 4}));
    EXPECT_EQ(settings.method, 4);
}

TEST_F(Preferences, AnyKeyFileChangeExpiresTheMasterPasswordAndCancelKeepsTheOldPath) {
    masterPass().KeyFilePath = "/keys/mine.key";
    // A new path through "Set path...", then "Cancel".
    dialog.user = [](PreferencesForm&, PreferencesControls& c) {
        c.path = "/keys/new.key";
        return false;
    };
    logic.ShowPreferences();
    EXPECT_EQ(masterPass().KeyFilePath, "/keys/mine.key");
    EXPECT_FALSE(masterPass().Expired);

    struct Case {
        const char* what;
        std::function<void(PreferencesForm&, PreferencesControls&)> change;
    };
    const std::vector<Case> cases = {
        {"the master expiry from 10 to 11 minutes",
         [](PreferencesForm&, PreferencesControls& c) { c.masterPwdExpTime = 11; }},
        {"a new path", [](PreferencesForm&, PreferencesControls& c) { c.path = "/keys/new.key"; }},
        {"the path in other letter case", [](PreferencesForm&, PreferencesControls& c) { c.path = "/KEYS/new.key"; }},
        {"storing off", [](PreferencesForm& form, PreferencesControls&) { form.setStore(false); }},
        {"one master password for a session off",
         [](PreferencesForm& form, PreferencesControls&) { form.setMasterPwdExpires(false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        masterPass().Expired = false;
        expiry.masterTimer = expiry.masterButton = true;
        dialog.user = [&c](PreferencesForm& form, PreferencesControls& controls) {
            c.change(form, controls);
            return true;
        };
        logic.ShowPreferences();
        EXPECT_TRUE(masterPass().Expired);
        EXPECT_FALSE(expiry.masterTimer);
        EXPECT_FALSE(expiry.masterButton);
    }
    EXPECT_EQ(masterPass().KeyFilePath, "/KEYS/new.key") << "compared and kept in its own letter case";
    EXPECT_FALSE(masterPass().UseKeyFile);
    EXPECT_FALSE(masterPass().ExpiryOn);
    EXPECT_EQ(masterPass().ExpiryMinutes, 11);

    // An emptied path is the default key file.
    dialog.user = [](PreferencesForm&, PreferencesControls& c) {
        c.path.clear();
        return true;
    };
    logic.ShowPreferences();
    EXPECT_EQ(masterPass().KeyFilePath, userHome / "xwords.001");
}

TEST_F(Preferences, AMasterPasswordGivenAfterTurningStorageOnIsKeptWhileExpiryIsOff) {
    // Fresh settings: nothing stored on disk, no master password expiry, none held.
    const std::string keyFile = masterPass().KeyFilePath = keyDir / "xwords.001";
    masterPass().UseKeyFile = masterPass().ExpiryOn = masterPass().Valid = false;
    masterPass().ClearPassword();
    dialog.user = [keyFile](PreferencesForm& form, PreferencesControls& controls) {
        form.setStore(true);
        controls.path = keyFile;
        return true;
    };
    logic.ShowPreferences();
    ASSERT_TRUE(masterPass().UseKeyFile);

    masterDialog.steps = {test::Type("master-pw")};
    write("a.txt", "alpha");
    write("b.txt", "beta");
    select(Pane::Source, {"a.txt"});
    prompts.steps = {test::Type("file-pw")};
    batch().EncrFileList();
    select(Pane::Crypted, {"a.txt"});
    batch().DecrFileList();
    select(Pane::Source, {"b.txt"});
    prompts.steps = {test::Type("file-pw")};
    batch().EncrFileList();
    EXPECT_EQ(masterDialog.shown, 1) << "asked once, then kept";
    EXPECT_EQ(names(), (std::vector<std::string>{"a.txt", "b.txt.cry"}));
    EXPECT_EQ(read("a.txt"), "alpha");
    EXPECT_TRUE(masterPass().Valid && !masterPass().Expired);
}

TEST_F(Preferences, OnlyAChangedCryDisplayRefillsThePanesInTheRememberedDirectory) {
    write("a.txt.cry", "not really a container");
    panes.ReadFLists();
    EXPECT_EQ(panes.Captions(Pane::Crypted), std::vector<std::string>{"a.txt"});
    test::TempDir elsewhere;
    // The file dialog moved the process elsewhere before "Ok".
    dialog.user = [&elsewhere](PreferencesForm&, PreferencesControls& c) {
        EXPECT_EQ(::chdir(elsewhere.path().c_str()), 0);
        c.showCry = true;
        return true;
    };
    int reads = panes.reads;
    logic.ShowPreferences();
    EXPECT_TRUE(settings.showCry);
    EXPECT_EQ(panes.reads, reads + 1);
    EXPECT_EQ(std::filesystem::current_path().string(), home) << "the panes' directory is current again";
    EXPECT_EQ(panes.Captions(Pane::Crypted), std::vector<std::string>{"a.txt.cry"}) << "read where the panes are";

    reads = panes.reads;
    dialog.user = [&elsewhere](PreferencesForm&, PreferencesControls&) {
        EXPECT_EQ(::chdir(elsewhere.path().c_str()), 0);
        return false;
    };
    logic.ShowPreferences();
    EXPECT_EQ(std::filesystem::current_path().string(), home) << "after Cancel too";
    dialog.user = nullptr;
    logic.ShowPreferences();
    EXPECT_EQ(panes.reads, reads) << "an unchanged display reads nothing";
}

TEST_F(Preferences, TheDialogDoesNotOpenWhileAnOperationRuns) {
    TKX_PrgState::BusyScope busy(state(), TKX_PrgState::kDecrypting);
    host.statuses.clear();
    logic.ShowPreferences();
    EXPECT_TRUE(dialog.shown.empty());
    EXPECT_EQ(host.statuses, std::vector<std::string>{"Please wait until the process is finished."});
    EXPECT_TRUE(pwd().Valid) << "the running operation keeps its password";
}

TEST(PreferencesForm, SpinEditsReadWholeMinutesFrom0To600) {
    struct Case {
        const char* text;
        std::int32_t minutes;
    };
    for (const Case& c : {Case{"15", 15},
                          Case{" 600 ", 600},
                          Case{"601", 600},
                          Case{"99999999999999999999999", 600},
                          Case{"-4", 0},
                          Case{"-99999999999999999999999", 0},
                          Case{"", 0},
                          Case{"ten", 0},
                          Case{"12abc", 0},
                          Case{"1.5", 0},
                          Case{"+7", 7}})
        EXPECT_EQ(PreferencesForm::SpinValue(c.text), c.minutes) << '"' << c.text << '"';
}

} // namespace
} // namespace vorlaxen
