// The window's operations against a hostile environment: a second operation on the same file, a file
// that changes or a target that appears while the engine runs, links and pipes, a stored password that
// no longer fits, a click while the key file is read, and the installed key-file setting. Each ends by
// checking what is on disk.

#include "desktop/WindowFixture.h"

#include <fstream>
#include <sys/stat.h>
#include <sys/time.h>

namespace vorlaxen {
namespace {

using test::DialogStep;
using test::Press;
using test::Type;
using test::TypeForList;
using Names = std::vector<std::string>;

class Safety : public test::WindowTest {
protected:
    Safety() {
        objects.dirCryptor().WorkDirectory = home;
        pwd().SetPassword("file-password");
    }
    void append(const std::string& name, const std::string& text) { std::ofstream(path(name), std::ios::app) << text; }
    void useKeyFile() {
        masterPass().UseKeyFile = true;
        masterDialog.steps = {Type("master-pw")};
    }
    Names storedKeys() {
        Names keys;
        EXPECT_TRUE(objects.pwdTable().ListKeys(keys));
        return keys;
    }
};

TEST_F(Safety, AFileHeldByAnotherOperationIsRefusedAtOnceWithNothingChanged) {
    write("a.txt", "plain text");
    ASSERT_EQ(::chmod(path("a.txt").c_str(), 0400), 0);
    {
        test::FileLock other(path("a.txt"));
        ASSERT_TRUE(other.locked());
        EXPECT_FALSE(files().EncrFile("a.txt"));
        select(Pane::Source, {"a.txt"});
        delDialog.answers = {DelAnswer::Delete};
        files().FileDel(Pane::Source);
    }
    EXPECT_EQ(messages(),
              (Names{"File a.txt is in use by another operation; it has been left alone.",
                     "File " + path("a.txt") + " is in use by another operation; it has been left alone."}));
    EXPECT_EQ(names(), Names{"a.txt"});
    EXPECT_EQ(read("a.txt"), "plain text");
    EXPECT_EQ(test::ModeOf(path("a.txt")), 0400) << "its permissions as they were";

    ASSERT_TRUE(files().EncrFile("a.txt"));
    host.messages.clear();
    {
        test::FileLock other(path("a.txt.cry"));
        EXPECT_FALSE(files().DecrFile("a.txt.cry"));
    }
    EXPECT_EQ(messages(), Names{"File a.txt is in use by another operation; it has been left alone."});
    EXPECT_EQ(names(), Names{"a.txt.cry"});
    EXPECT_FALSE(state().IsBusy());
}

TEST_F(Safety, AFileThatChangesWhileItIsProcessedIsKeptAndTheNewOutputGoes) {
    // Lines appended while the engine reads the file: the container would hold the file as it was, and
    // the wipe would destroy the new lines.
    const auto large = test::PatternBytes(100000);
    test::WriteFile(path("log.txt"), large);
    write("log.txt.cry", "an older container");
    host.onEvents = [&] {
        host.onEvents = nullptr;
        append("log.txt", "a line appended meanwhile\n");
    };
    host.answers = {MessageAnswer::Ok};
    EXPECT_FALSE(files().EncrFile("log.txt"));
    EXPECT_EQ(messages().back(), "File log.txt changed while it was being encrypted; it has been kept.");
    EXPECT_EQ(read("log.txt").size(), large.size() + 26);
    EXPECT_EQ(read("log.txt.cry"), "an older container") << "nothing replaced";
    EXPECT_EQ(names(), (Names{"log.txt", "log.txt.cry"}));

    // A container rewritten while it is decrypted.
    ASSERT_EQ(::unlink(path("log.txt.cry").c_str()), 0);
    ASSERT_TRUE(files().EncrFile("log.txt"));
    const auto container = test::ReadFile(path("log.txt.cry"));
    host.messages.clear();
    host.onEvents = [&] {
        host.onEvents = nullptr;
        const struct timeval later[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(::utimes(path("log.txt.cry").c_str(), later), 0);
    };
    EXPECT_FALSE(files().DecrFile("log.txt.cry"));
    EXPECT_EQ(messages(), Names{"File log.txt changed while it was being decrypted; it has been kept."});
    EXPECT_EQ(names(), Names{"log.txt.cry"}) << "no plain output";
    EXPECT_EQ(test::ReadFile(path("log.txt.cry")), container);
}

TEST_F(Safety, AFileThatChangesWhileItsPasswordIsStoredIsKeptAndItsContainerGoes) {
    // The master password dialog comes between the complete container and the wipe.
    useKeyFile();
    write("a.txt", "plain text");
    host.onAskMasterPassword = [this] {
        append("a.txt", " and more");
        ops.master().AskMasterPassword();
    };
    EXPECT_FALSE(files().EncrFile("a.txt", true));
    EXPECT_EQ(messages(), Names{"File a.txt changed while it was being encrypted; it has been kept."});
    EXPECT_EQ(names(), Names{"a.txt"});
    EXPECT_EQ(read("a.txt"), "plain text and more");
}

TEST_F(Safety, ATargetThatAppearsMeanwhileIsNeverReplaced) {
    test::WriteFile(path("a.bin"), test::PatternBytes(50000));
    host.onEvents = [&] {
        host.onEvents = nullptr;
        write("a.bin.cry", "written by someone else meanwhile");
    };
    EXPECT_FALSE(files().EncrFile("a.bin"));
    EXPECT_EQ(messages(),
              Names{"Another file took the name of the result of a.bin meanwhile; it has been left alone."});
    EXPECT_EQ(read("a.bin.cry"), "written by someone else meanwhile");
    EXPECT_EQ(test::ReadFile(path("a.bin")), test::PatternBytes(50000));
    EXPECT_EQ(names(), (Names{"a.bin", "a.bin.cry"}));
}

TEST_F(Safety, LinksAndPipesAreRefusedWithoutAPromptAndSkippedInWholeDirectoryRuns) {
    ASSERT_EQ(::mkdir(path("far").c_str(), 0755), 0);
    write("far/real.txt", "the real plain file");
    ASSERT_EQ(::symlink("far/real.txt", path("link").c_str()), 0);
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(path("pipe.cry").c_str(), 0600), 0);
    write("a.txt", "plain text");
    panes.ReadFLists(); // lists the link and the pipes too, as the window does
    const Names all = {"a.txt", "link", "pipe"};

    // A list: a message for each, no prompt for them, the regular file encrypted.
    panes.Select(Pane::Source, all);
    prompts.steps = {TypeForList("password")};
    batch().EncrFileList();
    const std::string refused = " is not a regular file (a link, a named pipe or a device); it has been left alone.";
    EXPECT_EQ(messages(), (Names{"File link" + refused, "File pipe" + refused}));
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(read("far/real.txt"), "the real plain file");

    // Decrypting a pipe named like a container, deleting a pipe or a link: refused, never waiting.
    host.messages.clear();
    panes.Select(Pane::Crypted, {"pipe"});
    batch().DecrFileList();
    panes.Select(Pane::Source, {"link", "pipe"});
    delDialog.answers = {DelAnswer::DeleteAll};
    files().FileDel(Pane::Source);
    EXPECT_EQ(messages(),
              (Names{"File pipe" + refused, "File " + path("link") + refused, "File " + path("pipe") + refused}));

    // A whole-directory run notes them in the status line and goes on.
    host.messages.clear();
    pwd().SetPassword("password");
    ASSERT_TRUE(files().DecrFile("a.txt.cry"));
    panes.ReadFLists();
    prompts.steps = {TypeForList("password")};
    host.answers = {MessageAnswer::No};
    batch().DoForAll(Direction::Encrypt);
    EXPECT_EQ(messages(), Names{"Recurse subdirectories?"});
    for (const char* note : {"Skipped link: not a regular file.", "Skipped pipe: not a regular file."})
        EXPECT_NE(std::find(host.statuses.begin(), host.statuses.end(), note), host.statuses.end()) << note;
    EXPECT_EQ(root.names(), (Names{"a.txt.cry", "far", "link", "pipe", "pipe.cry"}));
    EXPECT_EQ(read("far/real.txt"), "the real plain file");
}

TEST_F(Safety, AStoredPasswordThatNoLongerFitsIsFollowedByThePromptUntilTheFileIsDecrypted) {
    useKeyFile();
    write("a.txt", "first version");
    select(Pane::Source, {"a.txt"});
    prompts.steps = {Type("old-pw")};
    batch().EncrFileList();
    // The container is written again with another password that is not stored: the entry is stale.
    pwd().SetPassword("old-pw");
    ASSERT_TRUE(files().DecrFile("a.txt.cry"));
    write("a.txt", "second version");
    pwd().SetPassword("new-pw");
    ASSERT_TRUE(files().EncrFile("a.txt"));
    ASSERT_EQ(storedKeys(), Names{path("a.txt")});

    // Cancel at the prompt: the entry stays, and the next try prompts again.
    for (int attempt = 0; attempt < 2; ++attempt) {
        prompts.shown.clear();
        prompts.steps = {Press(DialogResult::Cancel)};
        select(Pane::Crypted, {"a.txt"});
        batch().DecrFileList();
        ASSERT_EQ(prompts.shown.size(), 1u) << "the usual prompt for that same file";
        EXPECT_EQ(prompts.shown[0].fileName, "a.txt");
        EXPECT_EQ(names(), Names{"a.txt.cry"});
        EXPECT_EQ(storedKeys(), Names{path("a.txt")});
    }
    prompts.steps = {Type("new-pw")};
    select(Pane::Crypted, {"a.txt"});
    batch().DecrFileList();
    EXPECT_EQ(read("a.txt"), "second version");
    EXPECT_EQ(storedKeys(), Names{}) << "the stale entry goes once the file is decrypted";
    EXPECT_EQ(messages(), Names{}) << "a stored password that does not fit is not an error of the user's";
}

TEST_F(Safety, NothingStartsWhileTheKeyFileIsRead) {
    useKeyFile();
    // A table of a few hundred entries takes several chunks to read, with pending events between them.
    for (int i = 0; i < 400; ++i) {
        pwd().SetPassword("password-" + std::to_string(i));
        ASSERT_TRUE(objects.pwdTable().StorePassword(path("other-" + std::to_string(i) + ".txt")));
    }
    write("a.txt", "plain text");
    write("b.txt", "another");
    select(Pane::Source, {"a.txt"});
    prompts.steps = {Type("a-password")};
    batch().EncrFileList();
    ASSERT_EQ(names(), (Names{"a.txt.cry", "b.txt"}));

    int clicks = 0;
    host.onEvents = [&] {
        if (!state().IsBusyWith(TKX_PrgState::kKeyFile))
            return;
        ++clicks;
        panes.Select(Pane::Source, {"b.txt"});
        batch().EncrFileList();
        files().FileDel(Pane::Source);
        batch().DoForAll(Direction::Encrypt);
    };
    select(Pane::Crypted, {"a.txt"});
    batch().DecrFileList();
    host.onEvents = nullptr;
    EXPECT_GT(clicks, 0);
    EXPECT_EQ(std::count(host.statuses.begin(), host.statuses.end(), "Please wait until the process is finished."),
              3 * clicks);
    EXPECT_EQ(names(), (Names{"a.txt", "b.txt"}));
    EXPECT_EQ(read("a.txt"), "plain text");
    EXPECT_EQ(storedKeys().size(), 400u);
    EXPECT_FALSE(state().IsBusy());
}

TEST_F(Safety, TheInstalledEmptyKeyFileSettingMeansTheDefaultKeyFile) {
    const char* savedHome = std::getenv("HOME");
    const std::string restore = savedHome ? savedHome : "";
    ::setenv("HOME", keyDir.path().c_str(), 1);
    useKeyFile();
    masterPass().KeyFilePath.clear();
    write("a.txt", "plain text");
    select(Pane::Source, {"a.txt"});
    prompts.steps = {Type("file-pw")};
    batch().EncrFileList();
    EXPECT_EQ(messages(), Names{});
    EXPECT_EQ(names(), Names{"a.txt.cry"}) << "stored, so the plain file went";
    EXPECT_TRUE(test::Exists(keyDir / "xwords.001"));
    select(Pane::Crypted, {"a.txt"});
    batch().DecrFileList();
    EXPECT_EQ(read("a.txt"), "plain text");
    EXPECT_EQ(prompts.shown.size(), 1u) << "the password came from the key file";
    if (savedHome)
        ::setenv("HOME", restore.c_str(), 1);
    else
        ::unsetenv("HOME");
}

} // namespace
} // namespace vorlaxen
