// EncrFile, DecrFile and FileDel: what each answer and each failure leaves on disk and in the panes.

#include "desktop/WindowFixture.h"
#include "support/Unprivileged.h"

#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {
namespace {

using test::ModeOf;
using Names = std::vector<std::string>;

class FileOps : public test::WindowTest {
protected:
    FileOps() {
        objects.dirCryptor().WorkDirectory = home;
        pwd().SetPassword("file-password");
        panes.ReadFLists();
    }
    void chmod(const std::string& name, mode_t mode) { ASSERT_EQ(::chmod(path(name).c_str(), mode), 0); }
};

TEST_F(FileOps, EncryptionAndDecryptionCarryThePermissionsAndFollowThePanes) {
    for (bool showCry : {false, true}) {
        SCOPED_TRACE(showCry ? "ShowCry" : "without ShowCry");
        settings.showCry = showCry;
        write("a.txt", "plain text");
        chmod("a.txt", 0440);
        panes.ReadFLists();
        host.statuses.clear();

        EXPECT_TRUE(files().EncrFile("a.txt"));
        EXPECT_EQ(names(), Names{"a.txt.cry"});
        EXPECT_EQ(ModeOf(path("a.txt.cry")), 0440) << "the container takes the plain file's permissions";
        EXPECT_TRUE(OpensWith(path("a.txt.cry"), "file-password"));
        ASSERT_FALSE(host.statuses.empty());
        EXPECT_EQ(host.statuses.front(), "Encrypting file a.txt ...");
        EXPECT_EQ(host.statuses.back(), "Idle.");
        panes.ExpectMatchesDisk();

        EXPECT_TRUE(files().DecrFile("a.txt.cry"));
        EXPECT_EQ(names(), Names{"a.txt"});
        EXPECT_EQ(read("a.txt"), "plain text");
        EXPECT_EQ(ModeOf(path("a.txt")), 0440);
        EXPECT_EQ(host.statuses.back(), "Idle.");
        panes.ExpectMatchesDisk();
        EXPECT_TRUE(host.messages.empty());
        EXPECT_FALSE(state().IsBusy());
        EXPECT_FALSE(progress.timerRunning);
        EXPECT_EQ(progress.interval, 50);
        EXPECT_EQ(progress.bars, (std::pair{0, 0}));
        ASSERT_EQ(::unlink(path("a.txt").c_str()), 0);
    }
}

TEST_F(FileOps, AContainerEndingInUpperCaseIsListedUnderItsPlainNameAndTakenByItsOwn) {
    write("b.txt", "plain text");
    ASSERT_TRUE(files().EncrFile("b.txt"));
    ASSERT_EQ(::rename(path("b.txt.cry").c_str(), path("b.txt.CRY").c_str()), 0);
    panes.ReadFLists();
    ASSERT_EQ(panes.Captions(Pane::Crypted), Names{"b.txt"});
    panes.Select(Pane::Crypted, {"b.txt"});
    ASSERT_EQ(panes.SelectedFiles(Pane::Crypted), Names{"b.txt.CRY"}) << "the entry holds the file's own name";
    EXPECT_TRUE(files().DecrFile("b.txt.CRY"));
    EXPECT_EQ(names(), Names{"b.txt"});
    panes.ExpectMatchesDisk();

    ASSERT_TRUE(files().EncrFile("b.txt"));
    ASSERT_EQ(::rename(path("b.txt.cry").c_str(), path("b.txt.CRY").c_str()), 0);
    select(Pane::Crypted, {"b.txt"});
    delDialog.answers = {DelAnswer::Delete};
    files().FileDel(Pane::Crypted);
    EXPECT_EQ(delDialog.questions, Names{path("b.txt.CRY") + "?"});
    EXPECT_EQ(names(), Names{});
    EXPECT_TRUE(host.messages.empty());

    // b.txt.cry beside b.txt.CRY, both listed as "b.txt": decrypting either takes exactly its own entry,
    // whichever of the two the pane lists first.
    for (const std::string done : {"b.txt.cry", "b.txt.CRY"}) {
        SCOPED_TRACE(done);
        write("b.txt", "upper");
        ASSERT_TRUE(files().EncrFile("b.txt"));
        ASSERT_EQ(::rename(path("b.txt.cry").c_str(), path("b.txt.CRY").c_str()), 0);
        write("b.txt", "lower");
        ASSERT_TRUE(files().EncrFile("b.txt"));
        panes.ReadFLists();
        ASSERT_EQ(panes.Captions(Pane::Crypted), (Names{"b.txt", "b.txt"}));
        EXPECT_TRUE(files().DecrFile(done));
        panes.SelectAll(Pane::Crypted);
        EXPECT_EQ(panes.SelectedFiles(Pane::Crypted), Names{done == "b.txt.cry" ? "b.txt.CRY" : "b.txt.cry"});
        EXPECT_EQ(panes.Captions(Pane::Source), Names{"b.txt"});
        ASSERT_EQ(::unlink(path("b.txt").c_str()), 0);
        ASSERT_EQ(::unlink(path(done == "b.txt.cry" ? "b.txt.CRY" : "b.txt.cry").c_str()), 0);
    }
}

TEST_F(FileOps, AnExistingTargetIsReplacedOnlyWhenTheUserAgrees) {
    settings.showCry = true;
    write("a.txt", "new text");
    write("a.txt.cry", "old container");
    panes.ReadFLists();
    host.answers = {MessageAnswer::Cancel};
    EXPECT_FALSE(files().EncrFile("a.txt"));
    EXPECT_EQ(messages(),
              Names{"File " + path("a.txt.cry") + " already exist in the list of encrypted files. Overwrite?"});
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(host.messages[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(read("a.txt.cry"), "old container");
    EXPECT_EQ(read("a.txt"), "new text");

    host.answers = {MessageAnswer::Ok};
    EXPECT_TRUE(files().EncrFile("a.txt"));
    EXPECT_TRUE(state().Overwrite);
    EXPECT_EQ(names(), Names{"a.txt.cry"});
    EXPECT_EQ(panes.Captions(Pane::Crypted), Names{"a.txt.cry"}) << "exactly one entry for the container";
    panes.ExpectMatchesDisk();

    write("a.txt", "plain kept beside");
    panes.ReadFLists();
    host.messages.clear();
    host.answers = {MessageAnswer::Cancel};
    EXPECT_FALSE(files().DecrFile("a.txt.cry"));
    EXPECT_EQ(messages(),
              Names{"File " + path("a.txt") + " already exist in the list of non encrypted files. Overwrite?"});
    host.answers = {MessageAnswer::Ok};
    EXPECT_TRUE(files().DecrFile("a.txt.cry"));
    EXPECT_EQ(read("a.txt"), "new text");
    EXPECT_EQ(panes.Captions(Pane::Source), Names{"a.txt"});
    panes.ExpectMatchesDisk();
}

TEST_F(FileOps, NamesThatDifferOnlyInLetterCaseAreDifferentFiles) {
    write("report.txt", "lower");
    write("Report.txt", "upper");
    panes.ReadFLists();
    EXPECT_TRUE(files().EncrFile("report.txt"));
    EXPECT_EQ(panes.Captions(Pane::Source), Names{"Report.txt"});
    panes.ExpectMatchesDisk();

    // Report.txt over a container of its own that exists already, then both containers deleted.
    write("Report.txt.cry", "old container");
    panes.ReadFLists();
    host.answers = {MessageAnswer::Ok};
    EXPECT_TRUE(files().EncrFile("Report.txt"));
    EXPECT_EQ(panes.Captions(Pane::Crypted), (Names{"Report.txt", "report.txt"}));
    panes.ExpectMatchesDisk();
    select(Pane::Crypted, {"report.txt"});
    delDialog.answers = {DelAnswer::Delete};
    files().FileDel(Pane::Crypted);
    EXPECT_EQ(names(), Names{"Report.txt.cry"});
    EXPECT_EQ(panes.Captions(Pane::Crypted), Names{"Report.txt"});
    panes.ExpectMatchesDisk();
}

TEST_F(FileOps, AFailedOperationGivesTheSourceItsPermissionsBackAndLeavesTheRest) {
    // A missing source.
    EXPECT_FALSE(files().EncrFile("gone.txt"));
    EXPECT_FALSE(files().DecrFile("gone.txt.cry"));
    EXPECT_EQ(messages(),
              (Names{"File " + path("gone.txt") + " not found.", "File " + path("gone.txt.cry") + " not found."}));

    // The engine cannot create the container: its name is taken by a directory.
    write("a.txt", "plain text");
    chmod("a.txt", 0444);
    ASSERT_EQ(::mkdir(path("a.txt.cry").c_str(), 0755), 0);
    host.messages.clear();
    host.answers = {MessageAnswer::Ok};
    EXPECT_FALSE(files().EncrFile("a.txt"));
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(messages().back(), "Couldn't create a new file.");
    EXPECT_EQ(ModeOf(path("a.txt")), 0444) << "not left open to its owner";
    EXPECT_EQ(read("a.txt"), "plain text");
    ASSERT_EQ(::rmdir(path("a.txt.cry").c_str()), 0);

    // A wrong password, answered with OK and with All.
    ASSERT_TRUE(files().EncrFile("a.txt"));
    chmod("a.txt.cry", 0400);
    const auto container = test::ReadFile(path("a.txt.cry"));
    pwd().SetPassword("wrong-password");
    host.messages.clear();
    host.answers = {MessageAnswer::Ok, MessageAnswer::All};
    EXPECT_FALSE(files().DecrFile("a.txt.cry"));
    EXPECT_FALSE(state().AbortFlag);
    EXPECT_FALSE(files().DecrFile("a.txt.cry"));
    EXPECT_TRUE(state().AbortFlag) << "All stops the rest of the list";
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text,
              "Invalid password for the file a.txt !Press 'All' button to abort processing the file list.");
    EXPECT_EQ(host.messages[0].buttons, MessageButtons::OkAll);
    EXPECT_EQ(names(), Names{"a.txt.cry"});
    EXPECT_EQ(test::ReadFile(path("a.txt.cry")), container);
    EXPECT_EQ(ModeOf(path("a.txt.cry")), 0400);
    panes.ExpectMatchesDisk();
}

TEST_F(FileOps, ADirectoryWithoutWritePermissionChangesNothing) {
    test::RunWherePermissionsBind({home}, [this] {
        write("a.txt", "plain text");
        chmod("a.txt", 0400);
        ASSERT_EQ(::chmod(home.c_str(), 0555), 0);
        EXPECT_FALSE(files().EncrFile("a.txt"));
        ASSERT_EQ(::chmod(home.c_str(), 0755), 0);
        EXPECT_EQ(messages(), Names{"Couldn't create a new file."});
        EXPECT_EQ(names(), Names{"a.txt"});
        EXPECT_EQ(ModeOf(path("a.txt")), 0400);
    });
}

TEST_F(FileOps, TildeNeighboursDoNotStopTheWipeAndAnUnwipableFileStaysInItsPane) {
    write("~", "someone else's file");
    write("~~~~~~~~.~~~", "and another one");
    write("a.txt", "plain text");
    panes.ReadFLists();
    EXPECT_TRUE(files().EncrFile("a.txt"));
    EXPECT_EQ(messages(), Names{});
    EXPECT_EQ(names(), (Names{"a.txt.cry", "~", "~~~~~~~~.~~~"}));
    EXPECT_EQ(read("~"), "someone else's file");
    EXPECT_EQ(read("~~~~~~~~.~~~"), "and another one");
    panes.ExpectMatchesDisk();

    // A plain file that cannot be written (immutable) cannot be wiped: it is reported and stays, in its
    // pane too, beside its complete container.
    write("b.txt", "plain b");
    test::Immutable frozen(path("b.txt"));
    if (!frozen.on())
        GTEST_SKIP() << "this file system or user cannot make a file immutable";
    panes.ReadFLists();
    EXPECT_TRUE(files().EncrFile("b.txt"));
    EXPECT_EQ(messages(), Names{"Unable to delete file b.txt from the list of non encrypted files."});
    EXPECT_EQ(read("b.txt"), "plain b");
    EXPECT_EQ(panes.Captions(Pane::Source), (Names{"b.txt", "~", "~~~~~~~~.~~~"}));
    EXPECT_EQ(panes.Captions(Pane::Crypted), (Names{"a.txt", "b.txt"}));
    EXPECT_TRUE(OpensWith(path("b.txt.cry"), "file-password"));
}

TEST_F(FileOps, ThePanesStayWhenTheWorkDirectoryIsNotTheShownOne) {
    test::TempDir other;
    test::WriteFile(other / "a.txt", "elsewhere");
    write("a.txt.cry", "a container of the shown directory");
    panes.ReadFLists();
    objects.dirCryptor().WorkDirectory = other.path();
    EXPECT_TRUE(files().EncrFile("a.txt"));
    EXPECT_EQ(other.names(), Names{"a.txt.cry"});
    EXPECT_EQ(panes.Captions(Pane::Crypted), Names{"a.txt"}) << "this pane's entry is not the other file's";
    EXPECT_TRUE(panes.Captions(Pane::Source).empty());
}

TEST_F(FileOps, FileDelAsksForEachFileUntilAllOrCancelAll) {
    for (char c = 'a'; c <= 'e'; ++c)
        write(std::string(1, c) + ".txt", "plain");
    select(Pane::Source, {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"});
    delDialog.answers = {DelAnswer::Cancel, DelAnswer::DeleteAll};
    files().FileDel(Pane::Source);
    EXPECT_EQ(delDialog.questions, (Names{path("a.txt") + "?", path("b.txt") + "?"}));
    EXPECT_EQ(names(), Names{"a.txt"});
    ASSERT_FALSE(host.statuses.empty());
    EXPECT_EQ(host.statuses[0], "Wiping out the file " + path("b.txt") + " ...");
    panes.ExpectMatchesDisk();
    EXPECT_FALSE(state().IsBusy() || state().AbortFlag || progress.stopButton);

    settings.showCry = true;
    for (const char* name : {"a.txt.cry", "b.txt.cry", "c.txt.cry"})
        write(name, "container");
    select(Pane::Crypted, {"a.txt.cry", "b.txt.cry", "c.txt.cry"});
    delDialog.questions.clear();
    delDialog.answers = {DelAnswer::Delete, DelAnswer::CancelAll};
    files().FileDel(Pane::Crypted);
    EXPECT_EQ(delDialog.questions, (Names{path("a.txt.cry") + "?", path("b.txt.cry") + "?"}));
    EXPECT_EQ(names(), (Names{"a.txt", "b.txt.cry", "c.txt.cry"}));
    panes.ExpectMatchesDisk();

    // A file that went away meanwhile is reported and the rest goes on; a busy program refuses.
    settings.showCry = false;
    select(Pane::Crypted, {"b.txt", "c.txt"});
    ASSERT_EQ(::unlink(path("b.txt.cry").c_str()), 0);
    delDialog.answers = {DelAnswer::DeleteAll};
    files().FileDel(Pane::Crypted);
    EXPECT_EQ(messages(), Names{"Unable to delete file " + path("b.txt.cry") + " ."});
    EXPECT_EQ(names(), Names{"a.txt"});

    select(Pane::Source, {"a.txt"});
    state().SetBusy(TKX_PrgState::kWholeDirectory);
    files().FileDel(Pane::Source);
    EXPECT_EQ(host.statuses.back(), "Please wait until the process is finished.");
    EXPECT_EQ(names(), Names{"a.txt"});
}

} // namespace
} // namespace vorlaxen
