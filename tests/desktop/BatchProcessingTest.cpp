// Lists and whole-directory runs: every answer of the prompts, reuse and expiry of passwords, the key
// file's place among the password sources, the stop button, and faults in the middle of a list. Every
// test ends by comparing what is on disk (and in the panes) with what must be there.

#include "desktop/DroppedFiles.h"
#include "desktop/WindowFixture.h"
#include "fileops/GroupLimits.h"
#include "support/ChildProcess.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace vorlaxen {
namespace {

using test::DialogStep;
using test::Press;
using test::Type;
using test::TypeForList;
using Names = std::vector<std::string>;

class Batch : public test::WindowTest {
protected:
    void encrypt(const Names& names) {
        select(Pane::Source, names);
        batch().EncrFileList();
    }
    void decrypt(const Names& captions) {
        select(Pane::Crypted, captions);
        batch().DecrFileList();
    }
    void writeAll(const Names& names) {
        for (const std::string& name : names)
            write(name, "contents of " + name);
    }
    // Everything a list run puts back when it ends.
    void expectIdle() {
        EXPECT_FALSE(state().IsBusy());
        EXPECT_FALSE(state().AbortFlag);
        EXPECT_FALSE(state().ProgressShown || progress.shownBars);
        EXPECT_FALSE(progress.stopButton);
        EXPECT_FALSE(ops.prompts().CancelAllVisible(Direction::Encrypt) ||
                     ops.prompts().CancelAllVisible(Direction::Decrypt));
        EXPECT_TRUE(prompts.steps.empty()) << "every scripted answer was asked for";
        panes.ExpectMatchesDisk();
    }
    std::vector<std::string> processed() const {
        Names names;
        for (const std::string& status : host.statuses)
            if (status.rfind("Encrypting file ", 0) == 0 || status.rfind("Decrypting file ", 0) == 0)
                names.push_back(status.substr(16, status.size() - 20));
        return names;
    }
    void useKeyFile() {
        masterPass().UseKeyFile = true;
        masterDialog.steps = {Type("master-pw")};
    }
};

TEST_F(Batch, CancelSkipsAFileAndCancelAllEndsTheList) {
    writeAll({"a.txt", "b.txt", "c.txt"});
    prompts.steps = {Type("password"), Press(DialogResult::Cancel), Type("password")};
    encrypt({"a.txt", "b.txt", "c.txt"});
    EXPECT_EQ(names(), (Names{"a.txt.cry", "b.txt", "c.txt.cry"}));
    ASSERT_FALSE(prompts.shown.empty());
    EXPECT_TRUE(prompts.shown[0].cancelAllVisible);
    EXPECT_EQ(progress.raised, 1);
    EXPECT_EQ(progress.dropped, 1);
    expectIdle();

    writeAll({"d.txt", "e.txt"});
    prompts.steps = {Type("password"), Press(DialogResult::Abort)};
    encrypt({"b.txt", "d.txt", "e.txt"});
    EXPECT_EQ(names(), (Names{"a.txt.cry", "b.txt.cry", "c.txt.cry", "d.txt", "e.txt"}));
    expectIdle();

    prompts.steps = {Type("password")};
    encrypt({"d.txt"});
    EXPECT_EQ(names(), (Names{"a.txt.cry", "b.txt.cry", "c.txt.cry", "d.txt.cry", "e.txt"}));
    EXPECT_TRUE(host.messages.empty());
    expectIdle();

    prompts.steps = {Press(DialogResult::Cancel), Type("password"), Press(DialogResult::Abort)};
    decrypt({"a.txt", "b.txt", "c.txt"});
    EXPECT_EQ(names(), (Names{"a.txt.cry", "b.txt", "c.txt.cry", "d.txt.cry", "e.txt"}));
    expectIdle();
}

TEST_F(Batch, AListPasswordServesItsListAndASessionPasswordEveryListUntilItExpires) {
    writeAll({"a.txt", "b.txt", "c.txt"});
    prompts.steps = {TypeForList("list-pw")};
    encrypt({"a.txt", "b.txt", "c.txt"});
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(names(), (Names{"a.txt.cry", "b.txt.cry", "c.txt.cry"}));
    EXPECT_FALSE(pwd().Valid) << "a list password ends with its list";

    prompts.steps = {TypeForList("list-pw")};
    decrypt({"a.txt", "b.txt"});
    EXPECT_EQ(prompts.shown.size(), 2u) << "the next list asks again";
    expectIdle();

    pwd().SessionMode = true;
    pwd().ExpiryMinutes = 1;
    prompts.steps = {Type("session-pw")};
    decrypt({"c.txt"});
    ASSERT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(prompts.shown[2].onePwdListEnabled, false);
    // The session password wrong for c: the file stays, the password is kept for the next list.
    EXPECT_EQ(messages(),
              Names{"Invalid password for the file c.txt !Press 'All' button to abort processing the file list."});
    EXPECT_TRUE(pwd().Valid && expiry.pwdButton && expiry.pwdTimer);

    // The expiry reached while the list runs takes effect at its end.
    int seconds = 0;
    host.onEvents = [&] {
        for (; seconds < 61; ++seconds)
            ops.prompts().PwdTimerTimer();
    };
    encrypt({"a.txt", "b.txt"});
    EXPECT_EQ(prompts.shown.size(), 3u) << "reused by every file of a list that started before the expiry";
    EXPECT_TRUE(OpensWith(path("a.txt.cry"), "session-pw") && OpensWith(path("b.txt.cry"), "session-pw"));
    EXPECT_FALSE(pwd().Valid);
    EXPECT_FALSE(expiry.pwdButton);

    prompts.steps = {Type("list-pw")};
    decrypt({"c.txt"});
    EXPECT_EQ(prompts.shown.size(), 4u);
    EXPECT_EQ(names(), (Names{"a.txt.cry", "b.txt.cry", "c.txt"}));
    expectIdle();
}

TEST_F(Batch, TheMasterPasswordExpiresInsideAListAndIsAskedForInTheNext) {
    useKeyFile();
    masterPass().ExpiryOn = true;
    masterPass().ExpiryMinutes = 1;
    writeAll({"a.txt", "b.txt"});
    // A minute passes while the first file's container is written, once the master password is held.
    host.onEvents = [&] {
        if (!masterPass().Valid)
            return;
        for (int i = 0; i < 60; ++i)
            ops.master().MasterPwd_TimerTimer();
        host.onEvents = nullptr;
    };
    prompts.steps = {TypeForList("file-pw")};
    encrypt({"a.txt", "b.txt"});
    ASSERT_FALSE(prompts.shown.empty());
    EXPECT_TRUE(prompts.shown[0].savePwdChecked);
    EXPECT_EQ(masterDialog.shown, 1) << "the expired master password still serves its own list";
    EXPECT_FALSE(masterPass().Valid);
    EXPECT_FALSE(expiry.masterButton);
    EXPECT_EQ(names(), (Names{"a.txt.cry", "b.txt.cry"}));

    masterDialog.steps = {Type("master-pw")};
    decrypt({"a.txt", "b.txt"});
    EXPECT_EQ(masterDialog.shown, 2);
    EXPECT_EQ(prompts.shown.size(), 1u) << "both passwords came from the key file";
    EXPECT_EQ(names(), (Names{"a.txt", "b.txt"}));
    EXPECT_TRUE(masterPass().Valid && expiry.masterButton);
    Names keys;
    ASSERT_TRUE(objects.pwdTable().ListKeys(keys));
    EXPECT_TRUE(keys.empty()) << "a password found is used once";
    expectIdle();
}

TEST_F(Batch, AKeyFilePasswordStaysUntilItsFileIsDecryptedAndServesOnlyItsOwnFile) {
    useKeyFile();
    writeAll({"a.txt", "b.txt", "c.txt"});
    DialogStep unsaved = Type("typed-pw");
    unsaved.savePwd = false;
    prompts.steps = {unsaved, Type("pw-of-b"), Type("pw-of-c")};
    encrypt({"a.txt", "b.txt", "c.txt"});
    ASSERT_EQ(names(), (Names{"a.txt.cry", "b.txt.cry", "c.txt.cry"}));
    const auto damaged = [&] {
        auto bytes = test::ReadFile(path("c.txt.cry"));
        bytes[40] ^= 0x01;
        return bytes;
    }();
    test::WriteFile(path("c.txt.cry"), damaged);

    // The password typed for a is held for the session; the key file's passwords of b and c must not
    // replace it.
    pwd().SessionMode = true;
    prompts.steps = {Type("typed-pw")};
    decrypt({"a.txt", "b.txt", "c.txt"});
    ASSERT_EQ(prompts.shown.size(), 4u) << "only a was asked for";
    EXPECT_EQ(prompts.shown[3].fileName, "a.txt");
    EXPECT_EQ(messages(),
              Names{"Invalid password for the file c.txt !Press 'All' button to abort processing the file list."});
    EXPECT_EQ(names(), (Names{"a.txt", "b.txt", "c.txt.cry"}));
    EXPECT_EQ(read("b.txt"), "contents of b.txt");
    EXPECT_EQ(test::ReadFile(path("c.txt.cry")), damaged);
    Names keys;
    ASSERT_TRUE(objects.pwdTable().ListKeys(keys));
    EXPECT_EQ(keys, Names{path("c.txt")}) << "c's password stays in the key file";

    writeAll({"d.txt"});
    encrypt({"d.txt"});
    EXPECT_EQ(prompts.shown.size(), 4u);
    EXPECT_TRUE(OpensWith(path("d.txt.cry"), "typed-pw")) << "the session password is still the typed one";

    // A decryption stopped, and one whose plain file is there and not replaced, leave the entry as it was.
    pwd().SessionMode = false;
    test::WriteFile(path("e.bin"), test::PatternBytes(100000));
    prompts.steps = {Type("pw-of-e")};
    encrypt({"e.bin"});
    const auto keyFile = test::ReadFile(masterPass().KeyFilePath);
    bool stopped = false;
    host.onEvents = [&] {
        if (!host.statuses.empty() && host.statuses.back() == "Decrypting file e.bin ..." &&
            !std::exchange(stopped, true))
            batch().Button1Click();
    };
    host.messages.clear();
    decrypt({"e.bin"});
    host.onEvents = nullptr;
    EXPECT_EQ(messages().back(), "You have aborted processing e.bin.");
    EXPECT_EQ(test::ReadFile(masterPass().KeyFilePath), keyFile) << "stopped";
    writeAll({"e.bin"});
    host.answers = {MessageAnswer::Cancel};
    decrypt({"e.bin"});
    EXPECT_EQ(read("e.bin"), "contents of e.bin");
    EXPECT_EQ(test::ReadFile(masterPass().KeyFilePath), keyFile) << "not replaced";
    ASSERT_EQ(::unlink(path("e.bin").c_str()), 0);
    decrypt({"e.bin"});
    EXPECT_EQ(test::ReadFile(path("e.bin")), test::PatternBytes(100000)) << "opened from the key file alone";
    EXPECT_EQ(prompts.shown.size(), 5u);
    ASSERT_TRUE(objects.pwdTable().ListKeys(keys));
    EXPECT_EQ(keys, (Names{path("c.txt"), path("d.txt")}));
    expectIdle();
}

TEST_F(Batch, AnotherProgramChangingTheKeyFileMeanwhileLosesNothingAndABusyKeyFileChangesNothing) {
    useKeyFile();
    writeAll({"a.txt", "b.txt", "c.txt"});
    prompts.steps = {Type("pw-of-a")};
    encrypt({"a.txt"});
    ASSERT_EQ(names(), (Names{"a.txt.cry", "b.txt", "c.txt"}));

    // While the window reads the key file to store b's password, another program stores one of its own.
    int signal[2];
    ASSERT_EQ(::pipe(signal), 0);
    pid_t other = -1;
    char otherSaw = 0;
    host.onEvents = [&] {
        if (other != -1 || !state().IsBusyWith(TKX_PrgState::kKeyFile))
            return;
        other = ::fork();
        if (other == 0) {
            ::close(signal[0]);
            test::FakeHost otherHost;
            TKX_Pwd otherPwd;
            TKX_PwdTable table(otherHost, otherHost, otherHost, otherPwd);
            table.MasterPass.KeyFilePath = masterPass().KeyFilePath;
            table.MasterPass.SetPassword("master-pw");
            table.MasterPass.Valid = true;
            LockWaiting waiting;
            waiting.pause = [&](std::chrono::milliseconds step) {
                (void)!::write(signal[1], "w", 1);
                ::usleep(static_cast<useconds_t>(step.count() * 1000));
            };
            table.SetLockWaiting(waiting);
            otherPwd.SetPassword("pw-of-x");
            ::_exit(table.StorePassword("/elsewhere/x.txt") ? 0 : 1);
        }
        ::close(signal[1]);
        // Either the other program waits for the key file, or it has made its change already.
        (void)!::read(signal[0], &otherSaw, 1);
    };
    prompts.steps = {Type("pw-of-b")};
    encrypt({"b.txt"});
    host.onEvents = nullptr;
    ASSERT_GT(other, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    ::close(signal[0]);
    EXPECT_EQ(otherSaw, 'w') << "the other program waited for the window";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    Names keys;
    ASSERT_TRUE(objects.pwdTable().ListKeys(keys));
    EXPECT_EQ(keys, (Names{"/elsewhere/x.txt", path("a.txt"), path("b.txt")}));

    // A key file that another program keeps locked for the whole time allowed: the window says so, stores
    // nothing and keeps the plain file; the wait is measured on a clock of the test's.
    FileLock held;
    ASSERT_EQ(held.acquire(objects.pwdTable().KeyFileLockPath(), FileLock::Mode::Exclusive, {}),
              FileLock::Status::Held);
    LockWaiting::Clock::time_point now{};
    LockWaiting waiting;
    waiting.now = [&now] { return now; };
    waiting.pause = [&now](std::chrono::milliseconds step) { now += step; };
    objects.pwdTable().SetLockWaiting(waiting);
    const auto keyFile = test::ReadFile(masterPass().KeyFilePath);
    host.messages.clear();
    prompts.steps = {Type("pw-of-c")};
    encrypt({"c.txt"});
    EXPECT_EQ(
        messages(),
        (Names{"The database of passwords " + masterPass().KeyFilePath +
                   " is in use by another program and did not become free within 5 seconds; nothing was "
                   "changed in it.",
               "File " + path("c.txt") + " has been encrypted but kept, since its password could not be stored."}));
    EXPECT_EQ(now, LockWaiting::Clock::time_point{} + std::chrono::seconds(5));
    EXPECT_EQ(names(), (Names{"a.txt.cry", "b.txt.cry", "c.txt", "c.txt.cry"}));
    EXPECT_EQ(test::ReadFile(masterPass().KeyFilePath), keyFile);
    expectIdle();
}

TEST_F(Batch, StoringFollowsTheContainerAndAFailedStoreKeepsThePlainFile) {
    useKeyFile();
    writeAll({"a.txt"});
    prompts.steps = {Type("old-pw")};
    encrypt({"a.txt"});
    writeAll({"a.txt"});

    // Cancelled at the overwrite question: the older container keeps its stored password.
    host.answers = {MessageAnswer::Cancel};
    prompts.steps = {Type("new-pw")};
    encrypt({"a.txt"});
    Names keys;
    ASSERT_TRUE(objects.pwdTable().ListKeys(keys));
    EXPECT_EQ(keys, Names{path("a.txt")});
    ASSERT_TRUE(objects.pwdTable().FindPassword(path("a.txt")));
    EXPECT_EQ(test::Unmasked(pwd()), "old-pw");

    // A damaged key file: the container is written, its password cannot be stored, the plain file stays.
    test::WriteFile(masterPass().KeyFilePath, "PT98 but nothing after");
    host.messages.clear();
    host.answers = {MessageAnswer::Ok};
    prompts.steps = {Type("new-pw")};
    encrypt({"a.txt"});
    EXPECT_EQ(
        messages(),
        (Names{"File " + path("a.txt.cry") + " already exist in the list of encrypted files. Overwrite?",
               "Error occured while accessing database of passwords.",
               "File " + path("a.txt") + " has been encrypted but kept, since its password could not be stored."}));
    EXPECT_EQ(names(), (Names{"a.txt", "a.txt.cry"}));
    EXPECT_TRUE(OpensWith(path("a.txt.cry"), "new-pw"));

    // "Do not use now" at the master password dialog goes on without the key file, as the user chose.
    ASSERT_EQ(::unlink(masterPass().KeyFilePath.c_str()), 0);
    masterPass().Valid = false;
    host.messages.clear();
    host.answers = {MessageAnswer::Ok};
    prompts.steps = {Type("newer-pw")};
    encrypt({"a.txt"});
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_EQ(names(), Names{"a.txt.cry"});
    expectIdle();
}

TEST_F(Batch, AnEncryptionThatFailsInTheEngineKeepsTheOlderContainersStoredPassword) {
    useKeyFile();
    const auto older = test::PatternBytes(300000, 1);
    const auto newer = test::PatternBytes(300000, 2);
    test::WriteFile(path("a.bin"), older);
    prompts.steps = {Type("old-pw")};
    encrypt({"a.bin"});
    ASSERT_EQ(names(), Names{"a.bin.cry"});
    const auto container = test::ReadFile(path("a.bin.cry"));
    test::WriteFile(path("a.bin"), newer);
    const std::string overwrite =
        "File " + path("a.bin.cry") + " already exist in the list of encrypted files. Overwrite?";

    // Replacing the container agreed to, then stopped while the new one is written.
    bool stopped = false;
    host.onEvents = [&] {
        if (!host.statuses.empty() && host.statuses.back() == "Encrypting file a.bin ..." &&
            !std::exchange(stopped, true))
            batch().Button1Click();
    };
    prompts.steps = {Type("new-pw")};
    encrypt({"a.bin"});
    host.onEvents = nullptr;
    EXPECT_EQ(messages(),
              (Names{overwrite, "Do you really want to cancel the process?", "You have aborted processing a.bin."}));

    // The same with a disk that fills up.
    host.messages.clear();
    const int status = test::RunWithFileSizeLimit(200000, [&] {
        prompts.steps = {Type("new-pw")};
        encrypt({"a.bin"});
        return messages() == Names{overwrite, "Processing file a.bin has been aborted. The disk may be full."} ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << "the overwrite question and the disk's message, nothing else";
    EXPECT_EQ(test::ReadFile(path("a.bin.cry")), container);
    EXPECT_EQ(test::ReadFile(path("a.bin")), newer);

    // The older container opens with its stored password, found without asking.
    ASSERT_EQ(::unlink(path("a.bin").c_str()), 0);
    host.messages.clear();
    decrypt({"a.bin"});
    EXPECT_EQ(messages(), Names{});
    ASSERT_EQ(names(), Names{"a.bin"}) << "decrypted with the password the key file kept";
    EXPECT_EQ(test::ReadFile(path("a.bin")), older);
    expectIdle();
}

TEST_F(Batch, TheStopButtonAsksWhileAFileIsProcessedAndEndsTheList) {
    const std::vector<std::uint8_t> large = test::PatternBytes(100000);
    test::WriteFile(path("a.bin"), large);
    test::WriteFile(path("b.bin"), large);
    test::WriteFile(path("c.bin"), large);
    int passes = 0;
    host.onEvents = [&] {
        if (++passes == 1 || (!host.statuses.empty() && host.statuses.back() == "Encrypting file b.bin ..."))
            batch().Button1Click();
    };
    // The first stop is cancelled: a.bin completes. The second is confirmed during b.bin.
    host.answers = {MessageAnswer::Cancel, MessageAnswer::Ok};
    prompts.steps = {TypeForList("password")};
    encrypt({"a.bin", "b.bin", "c.bin"});
    EXPECT_EQ(messages(),
              (Names{"Do you really want to cancel the process?",
                     "Do you really want to cancel the process?",
                     "You have aborted processing b.bin."}));
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(names(), (Names{"a.bin.cry", "b.bin", "c.bin"})) << "the list ends with the stopped file";
    EXPECT_EQ(test::ReadFile(path("b.bin")), large);
    EXPECT_NE(std::find(host.statuses.begin(), host.statuses.end(), "Please wait until the process is finished."),
              host.statuses.end());
    expectIdle();

    batch().Button1Click();
    EXPECT_TRUE(state().AbortFlag) << "idle, the stop is not asked about";
    EXPECT_EQ(host.messages.size(), 3u);
    state().AbortFlag = false;
}

TEST_F(Batch, FaultsInTheMiddleOfAListLoseNothing) {
    // A file that vanished after it was listed.
    writeAll({"a.txt", "b.txt", "c.txt"});
    select(Pane::Source, {"a.txt", "b.txt", "c.txt"});
    ASSERT_EQ(::unlink(path("b.txt").c_str()), 0);
    prompts.steps = {TypeForList("right-pw")};
    batch().EncrFileList();
    EXPECT_EQ(messages(), Names{"File " + path("b.txt") + " not found."});
    EXPECT_EQ(host.messages[0].buttons, MessageButtons::OkCancelAll) << "in a list, it can end the list";
    EXPECT_EQ(names(), (Names{"a.txt.cry", "c.txt.cry"}));

    // Containers damaged after they were listed: cut short, and one changed byte.
    writeAll({"b.txt", "d.txt"});
    prompts.steps = {TypeForList("right-pw")};
    encrypt({"b.txt", "d.txt"});
    select(Pane::Crypted, {"a.txt", "b.txt", "c.txt", "d.txt"});
    const auto a = test::ReadFile(path("a.txt.cry"));
    test::WriteFile(path("a.txt.cry"), std::vector<std::uint8_t>(a.begin(), a.begin() + 10));
    auto b = test::ReadFile(path("b.txt.cry"));
    b.back() ^= 0x80;
    test::WriteFile(path("b.txt.cry"), b);
    host.messages.clear();
    prompts.steps = {TypeForList("right-pw")};
    batch().DecrFileList();
    EXPECT_EQ(messages(),
              (Names{"Couldn't read file a.txt .",
                     "Invalid password for the file b.txt !Press 'All' button to abort processing the file list."}));
    EXPECT_EQ(names(), (Names{"a.txt.cry", "b.txt.cry", "c.txt", "d.txt"}));
    EXPECT_EQ(test::ReadFile(path("b.txt.cry")), b);

    // A wrong password in the middle, answered with All: the list ends there.
    writeAll({"e.txt"});
    prompts.steps = {Type("other-pw")};
    encrypt({"e.txt"});
    writeAll({"f.txt"});
    prompts.steps = {TypeForList("right-pw")};
    encrypt({"c.txt", "f.txt"});
    host.messages.clear();
    host.answers = {MessageAnswer::All};
    prompts.steps = {TypeForList("right-pw")};
    decrypt({"c.txt", "e.txt", "f.txt"});
    EXPECT_EQ(names(), (Names{"a.txt.cry", "b.txt.cry", "c.txt", "d.txt", "e.txt.cry", "f.txt.cry"}));
    EXPECT_EQ(messages().size(), 1u);
    expectIdle();
}

// Another program (the companion, another window) working through the same folder: a file it processed
// after the list was read, before its prompt or while the prompt was open, is passed over with a note
// instead of a message, its result left as the other program wrote it, and the panes follow.
TEST_F(Batch, AFileAnotherProgramProcessedMeanwhileIsPassedOverWithANote) {
    const auto noted = [this](const std::string& status) {
        return std::count(host.statuses.begin(), host.statuses.end(), status);
    };
    const auto elsewhere = [this](const std::string& gone, const std::string& made) {
        ASSERT_EQ(::unlink(path(gone).c_str()), 0);
        write(made, "written by another program");
    };
    writeAll({"a.txt", "b.txt", "c.txt"});
    for (const bool encrypting : {true, false}) {
        const auto source = [encrypting](const std::string& name) { return encrypting ? name : name + ".cry"; };
        const auto result = [encrypting](const std::string& name) { return encrypting ? name + ".cry" : name; };
        select(encrypting ? Pane::Source : Pane::Crypted, {"a.txt", "b.txt", "c.txt"});
        elsewhere(source("a.txt"), result("a.txt"));
        prompts.shown.clear();
        prompts.onShow = [&] { elsewhere(source("b.txt"), result("b.txt")); };
        prompts.steps = {TypeForList("right-pw")};
        encrypting ? batch().EncrFileList() : batch().DecrFileList();
        EXPECT_EQ(messages(), Names{});
        EXPECT_EQ(prompts.shown.size(), 1u) << "none for the file already taken";
        for (const std::string name : {"a.txt", "b.txt"}) {
            EXPECT_EQ(noted("Skipped " + name + ": gone since the list was read; its " +
                            (encrypting ? "container" : "plain file") + " is there."),
                      1);
            EXPECT_EQ(read(result(name)), "written by another program");
        }
        panes.ExpectMatchesDisk();
    }
    EXPECT_EQ(read("c.txt"), "contents of c.txt");
    EXPECT_EQ(names(), (Names{"a.txt", "b.txt", "c.txt"}));
    prompts.onShow = nullptr;
    expectIdle();
}

TEST_F(Batch, ADiskThatFillsUpEndsOneFileAndTheListGoesOn) {
    write("a.txt", "small");
    const auto large = test::PatternBytes(300000);
    test::WriteFile(path("b.bin"), large);
    write("c.txt", "small too");
    const int mode = test::ModeOf(path("b.bin"));
    select(Pane::Source, {"a.txt", "b.bin", "c.txt"});
    const int status = test::RunWithFileSizeLimit(200000, [&] {
        prompts.steps = {TypeForList("password")};
        batch().EncrFileList();
        return messages() == Names{"Processing file b.bin has been aborted. The disk may be full."} ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << "the only message is the disk's";
    EXPECT_EQ(names(), (Names{"a.txt.cry", "b.bin", "c.txt.cry"})) << "the list went on after the message";
    EXPECT_EQ(test::ReadFile(path("b.bin")), large);
    EXPECT_EQ(test::ModeOf(path("b.bin")), mode) << "its permissions given back";
    EXPECT_TRUE(OpensWith(path("c.txt.cry"), "password"));

    // The message offers to end the list there, for a disk that stays full.
    write("d.txt", "small");
    test::WriteFile(path("e.bin"), large);
    write("f.txt", "small");
    select(Pane::Source, {"d.txt", "e.bin", "f.txt"});
    host.messages.clear();
    const int ended = test::RunWithFileSizeLimit(200000, [&] {
        prompts.steps = {TypeForList("password")};
        host.answers = {MessageAnswer::CancelAll};
        batch().EncrFileList();
        return host.messages.size() == 1 && host.messages[0].buttons == MessageButtons::OkCancelAll ? 0 : 1;
    });
    EXPECT_EQ(ended, 0) << "one message, with Cancel All";
    EXPECT_EQ(names(), (Names{"a.txt.cry", "b.bin", "c.txt.cry", "d.txt.cry", "e.bin", "f.txt"}));
    EXPECT_EQ(test::ReadFile(path("e.bin")), large);
}

// A list run writes its files one after another and makes them durable in groups: the status line says
// "Idle." only at its end, every file ends on its true figures, and a group is complete before a prompt
// or a message opens, so that no file waits while the user is asked.
TEST_F(Batch, AListRunInGroupsIsIdleOnlyAtItsEndAndCompletesAGroupBeforeAPromptOrAMessage) {
    writeAll({"a.txt", "b.txt"});
    write("c.txt", std::string(3000, 'c'));
    files().setGroupBytes(1); // every file a group, committed while the next is written
    host.statuses.clear();
    prompts.steps = {TypeForList("list-pw")};
    encrypt({"a.txt", "b.txt", "c.txt"});
    EXPECT_EQ(names(), (Names{"a.txt.cry", "b.txt.cry", "c.txt.cry"}));
    ASSERT_FALSE(host.statuses.empty());
    EXPECT_EQ(host.statuses.back(), "Idle.");
    EXPECT_EQ(std::count(host.statuses.begin(), host.statuses.end(), "Idle."), 1) << "not between the files";
    EXPECT_EQ(progress.statistics.done, "Done: 2 KBytes") << "the last file's last figures";
    EXPECT_EQ(progress.statistics.size, "Size: 2 Kbytes");
    expectIdle();

    files().setGroupBytes(kGroupBytes);
    writeAll({"d.txt", "e.txt"});
    std::vector<Names> onDisk;
    prompts.onShow = [&] { onDisk.push_back(names()); };
    prompts.steps = {Type("pw-d-file"), Type("pw-e-file")};
    encrypt({"d.txt", "e.txt"});
    ASSERT_EQ(onDisk.size(), 2u);
    EXPECT_EQ(onDisk[1], (Names{"a.txt.cry", "b.txt.cry", "c.txt.cry", "d.txt.cry", "e.txt"}));
    EXPECT_TRUE(OpensWith(path("d.txt.cry"), "pw-d-file"));
    EXPECT_TRUE(OpensWith(path("e.txt.cry"), "pw-e-file"));
    prompts.onShow = nullptr;
    expectIdle();

    // So is a message: the file before the missing one is complete when it is reported.
    writeAll({"i.txt", "j.txt", "k.txt"});
    select(Pane::Source, {"i.txt", "j.txt", "k.txt"});
    ASSERT_EQ(::unlink(path("j.txt").c_str()), 0);
    onDisk.clear();
    host.onMessage = [&] { onDisk.push_back(names()); };
    prompts.steps = {TypeForList("list-pw-2")};
    batch().EncrFileList();
    host.onMessage = nullptr;
    ASSERT_EQ(onDisk.size(), 1u);
    EXPECT_TRUE(std::count(onDisk[0].begin(), onDisk[0].end(), "i.txt.cry") == 1 &&
                std::count(onDisk[0].begin(), onDisk[0].end(), "i.txt") == 0);
    EXPECT_TRUE(OpensWith(path("k.txt.cry"), "list-pw-2"));
    EXPECT_FALSE(state().IsBusy());
}

// Killed (kill -9) at every step of the groups of a run, the one before committed while the next is
// written: every file is as it was, or its container is complete and opens. Each run is a process of
// its own, started afresh, so that the place to stop at is read anew.
TEST_F(Batch, AListRunKilledAtAnyStepOfItsGroupsLosesNothing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const Names plain = {"f.txt", "g.txt", "h.txt"};
    for (const char* crashAt : {"group-written:2",
                                "group-committed:2",
                                "group-overwritten:1",
                                "group-overwritten:3",
                                "wipe-overwritten:1",
                                "wipe-renamed:2",
                                "wipe-truncated:3"}) {
        SCOPED_TRACE(crashAt);
        for (const std::string& name : names())
            ASSERT_EQ(::unlink(path(name).c_str()), 0);
        writeAll(plain);
        ::setenv("VORLAXEN_TEST_CRASH_AT", crashAt, 1);
        EXPECT_EXIT(
            {
                files().setGroupBytes(1);
                prompts.steps = {TypeForList("crash-pw")};
                encrypt(plain);
                std::exit(0);
            },
            ::testing::KilledBySignal(SIGKILL),
            "");
        ::unsetenv("VORLAXEN_TEST_CRASH_AT");
        for (const std::string& name : plain) {
            const bool intact = test::Exists(path(name)) && read(name) == "contents of " + name;
            EXPECT_TRUE(intact || OpensWith(path(name + ".cry"), "crash-pw")) << name;
        }
    }
}

class WholeDirectory : public Batch {
protected:
    // home/a holds two files, the subdirectories x, C and b (b holding y) with one file each, and a link
    // to b.
    WholeDirectory() {
        for (const char* directory : {"a", "a/x", "a/C", "a/b", "a/b/y"})
            EXPECT_EQ(::mkdir(path(directory).c_str(), 0755), 0);
        for (const char* file : {"a/1.txt", "a/2.txt", "a/x/4.txt", "a/C/6.txt", "a/b/3.txt", "a/b/y/5.txt"})
            write(file, std::string("contents of ") + file);
        EXPECT_EQ(::symlink(path("a/b").c_str(), path("a/link").c_str()), 0);
        panes.highlighted = path("a");
    }
    Names filesUnder(const std::string& directory) const { return test::FakePanes::FilesOf(path(directory)); }
};

TEST_F(WholeDirectory, RecursesDepthFirstInNameOrderWithOneListPassword) {
    host.answers = {MessageAnswer::Yes};
    prompts.steps = {TypeForList("password")};
    const int reads = panes.reads;
    const std::size_t entered = panes.visited.size();
    host.statuses.clear();
    batch().DoForAll(Direction::Encrypt);
    EXPECT_EQ(static_cast<std::size_t>(panes.reads - reads), panes.visited.size() - entered + 1)
        << "one read for every directory entered and a full one at the end, entries having been added bare";
    EXPECT_EQ(messages(), Names{"Recurse subdirectories?"});
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(host.messages[0].statusesBefore, 1u);
    EXPECT_EQ(host.statuses.front(), "Encrypt All: " + path("a")) << "the directory is named before the question";
    EXPECT_EQ(processed(), (Names{"1.txt", "2.txt", "3.txt", "5.txt", "6.txt", "4.txt"}));
    EXPECT_EQ(prompts.shown.size(), 1u) << "a list password lasts for the whole run";
    EXPECT_EQ(filesUnder("a/b/y"), Names{"5.txt.cry"});
    EXPECT_EQ(filesUnder("a/x"), Names{"4.txt.cry"});
    EXPECT_EQ(panes.shown, path("a")) << "the highlighted directory is shown afterwards";
    EXPECT_EQ(panes.visited,
              (Names{home,
                     path("a"),
                     path("a/b"),
                     path("a/b/y"),
                     path("a/b"),
                     path("a"),
                     path("a/C"),
                     path("a"),
                     path("a/x"),
                     path("a")}))
        << "each subdirectory entered once, the link never";
    EXPECT_EQ(progress.raised, 1) << "the progress area stays up for the whole run";
    EXPECT_TRUE(panes.treeEnabled);
    ASSERT_FALSE(host.statuses.empty());
    EXPECT_EQ(host.statuses.back(), "Idle.");
    EXPECT_FALSE(pwd().Valid);
    expectIdle();

    // Decrypt All without recursion: the highlighted directory alone.
    host.answers = {MessageAnswer::No};
    prompts.steps = {TypeForList("password")};
    batch().DoForAll(Direction::Decrypt);
    EXPECT_EQ(filesUnder("a"), (Names{"1.txt", "2.txt"}));
    EXPECT_EQ(filesUnder("a/x"), Names{"4.txt.cry"});
    host.answers = {MessageAnswer::Cancel};
    host.statuses.clear();
    batch().DoForAll(Direction::Decrypt);
    EXPECT_EQ(filesUnder("a/x"), Names{"4.txt.cry"});
    EXPECT_EQ(host.statuses, (Names{"Decrypt All: " + path("a"), "Idle."}));
    expectIdle();
}

TEST_F(WholeDirectory, CancelAllAndTheStopButtonEndTheWholeRun) {
    host.answers = {MessageAnswer::Yes};
    prompts.steps = {Type("password"), Type("password"), Type("password"), Press(DialogResult::Abort)};
    batch().DoForAll(Direction::Encrypt);
    EXPECT_EQ(processed(), (Names{"1.txt", "2.txt", "3.txt"}));
    ASSERT_GE(prompts.shown.size(), 4u);
    EXPECT_TRUE(prompts.shown[3].cancelAllVisible);
    EXPECT_EQ(filesUnder("a/b/y"), Names{"5.txt"});
    EXPECT_EQ(filesUnder("a/x"), Names{"4.txt"});
    expectIdle();

    host.statuses.clear();
    host.answers = {MessageAnswer::Yes, MessageAnswer::Ok, MessageAnswer::Ok};
    write("a/b/y/7.txt", std::string(50000, 'z'));
    host.onEvents = [&] {
        if (!host.statuses.empty() && host.statuses.back() == "Encrypting file 7.txt ...")
            batch().Button1Click();
    };
    prompts.steps = {TypeForList("password")};
    batch().DoForAll(Direction::Encrypt);
    EXPECT_EQ(processed(), (Names{"5.txt", "7.txt"}));
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(messages().back(), "You have aborted processing 7.txt.");
    EXPECT_EQ(filesUnder("a/b/y"), (Names{"5.txt.cry", "7.txt"}));
    EXPECT_EQ(read("a/b/y/7.txt"), std::string(50000, 'z'));
    EXPECT_EQ(filesUnder("a/C"), Names{"6.txt"});
    EXPECT_EQ(filesUnder("a/x"), Names{"4.txt"});
    expectIdle();

    state().SetBusy(TKX_PrgState::kDeleting);
    host.messages.clear();
    batch().DoForAll(Direction::Encrypt);
    batch().EncrFileList();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.statuses.back(), "Please wait until the process is finished.");
}

// Files dropped from a file manager: which are taken where, grouped by their directories in the order
// dropped, by their file names there; and the runs, which leave the shown directory alone.
TEST_F(Batch, DroppedFilesRunInTheirOwnDirectoriesByWhereTheyWereDropped) {
    ::mkdir(path("a").c_str(), 0700);
    ::mkdir(path("b").c_str(), 0700);
    const Names dropped = {path("a/one.txt"),
                           path("b/two.txt.cry"),
                           path("a/three.CRY"),
                           path("a/four.txt"),
                           path("b"),
                           "relative.txt",
                           path("b/five.txt")};
    const auto runs = PlanDrop(dropped, std::nullopt);
    ASSERT_EQ(runs.size(), 4u) << "a directory and what is not a full path are passed over";
    EXPECT_TRUE(runs[0].direction == Direction::Encrypt && runs[0].directory == path("a"));
    EXPECT_EQ(runs[0].names, (Names{"one.txt", "four.txt"}));
    EXPECT_TRUE(runs[1].direction == Direction::Decrypt && runs[1].directory == path("b"));
    EXPECT_EQ(runs[1].names, Names{"two.txt.cry"});
    EXPECT_EQ(runs[2].names, Names{"three.CRY"}) << "a container by its own name, whatever the panes show";
    EXPECT_TRUE(runs[3].direction == Direction::Encrypt && runs[3].directory == path("b"));
    const auto onCrypted = PlanDrop(dropped, Pane::Crypted);
    ASSERT_EQ(onCrypted.size(), 2u) << "plain files only";
    EXPECT_EQ(onCrypted[0].names, (Names{"one.txt", "four.txt"}));
    const auto onSource = PlanDrop(dropped, Pane::Source);
    ASSERT_EQ(onSource.size(), 2u) << "containers only";
    EXPECT_EQ(onSource[1].names, Names{"three.CRY"});

    write("a/one.txt", "one");
    write("a/four.txt", "four");
    write("shown.txt", "stays");
    panes.ReadFLists();
    prompts.steps = {TypeForList("drop-pw")};
    state().Busy = TKX_PrgState::kDeleting;
    batch().ProcessDroppedFiles(PlanDrop({path("a/one.txt"), path("a/four.txt")}, Pane::Crypted));
    EXPECT_EQ(host.statuses.back(), "Please wait until the process is finished.");
    EXPECT_TRUE(prompts.shown.empty());
    state().Busy = 0;
    batch().ProcessDroppedFiles(PlanDrop({path("a/one.txt"), path("a/four.txt")}, Pane::Crypted));
    EXPECT_EQ(prompts.shown.size(), 1u) << "one password for the list of the drop";
    EXPECT_TRUE(OpensWith(path("a/one.txt.cry"), "drop-pw"));
    EXPECT_TRUE(OpensWith(path("a/four.txt.cry"), "drop-pw"));
    EXPECT_NE(std::find(host.statuses.begin(), host.statuses.end(), "Dropped files in " + path("a")),
              host.statuses.end());
    EXPECT_EQ(host.statuses.back(), "Idle.");
    EXPECT_EQ(names(), Names{"shown.txt"}) << "the shown directory is as it was";
    panes.ExpectMatchesDisk();
}

} // namespace
} // namespace vorlaxen
