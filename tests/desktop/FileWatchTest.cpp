// The watch on opened files: "Open" and "Print" of the panes, the re-encryption once an application has
// ended (with the file's own password, not while the file is in use, not while busy), the question after
// an application that ended at once, files changed or deleted by their application, no application and
// no free slot, printing, the close request, and applications that are real processes started from the
// tests' own desktop entry.

#include "desktop/ShellFixture.h"

#include <sys/stat.h>

namespace vorlaxen {
namespace {

using test::Press;
using test::Type;
using Names = std::vector<std::string>;
using std::chrono::milliseconds;

constexpr const char* kCloseQuestion =
    "Some crypted files have been decrypted  and opened in their associated applications. If you press 'OK' then "
    "program will exit without re-encrypting the opened files. Press 'Cancel' button to ensure that all such "
    "files are closed. Terminate respective applications.";

class Watch : public test::ShellTest {
protected:
    // Decrypts the container of `name` (made with `password`) and hands it to its application, as the
    // command line does.
    void open(const std::string& name, const std::string& text, const std::string& password, bool print = false) {
        container(name, text, password);
        prompts.steps.push_back(Type(password));
        run({print ? "/print" : "/open", name + ".cry"});
    }
    std::string mayStillBeOpen(const std::string& name) const {
        return path(name) + " may still be open in another window. Encrypt it again now?";
    }
};

TEST_F(Watch, AnApplicationThatEndedAtOnceIsAskedAboutAndNotYetWaitsForTheMenu) {
    open("q.txt", "quick", "q-password");
    ASSERT_EQ(slots().Count, 1);
    EXPECT_FALSE(controls.item);
    watch().NotifyOpenFiles();
    EXPECT_TRUE(host.messages.empty()) << "the application still runs";

    fake.EndAll();
    host.answers = {MessageAnswer::No};
    watch().NotifyOpenFiles();
    EXPECT_EQ(messages(), Names{mayStillBeOpen("q.txt")});
    EXPECT_EQ(host.messages[0].buttons, MessageButtons::YesNotYet);
    for (int tick = 0; tick < 5; ++tick)
        watch().NotifyOpenFiles();
    EXPECT_EQ(host.messages.size(), 1u) << "not yet: the ticks do not ask again";
    EXPECT_EQ(names(), Names{"q.txt"});
    EXPECT_TRUE(controls.item && controls.timer);

    // Asked again from the menu while the file is in use: it goes as soon as it is free.
    fake.inUse = {path("q.txt")};
    watch().ReencryptOpenedFiles();
    EXPECT_EQ(messagesSince(1),
              (Names{mayStillBeOpen("q.txt"),
                     path("q.txt") + " is still open in another program. It will be encrypted again as soon as it is "
                                     "closed."}));
    watch().NotifyOpenFiles();
    EXPECT_EQ(names(), Names{"q.txt"});
    fake.inUse.clear();
    watch().NotifyOpenFiles();
    EXPECT_EQ(names(), Names{"q.txt.cry"});
    EXPECT_EQ(contentOf("q.txt.cry", "q-password"), "quick");
    EXPECT_EQ(host.messages.size(), 3u);
    EXPECT_FALSE(controls.item || controls.timer);
    panes.ExpectMatchesDisk();
}

TEST_F(Watch, NothingIsEncryptedAgainWhileBusyOrInUseAndARunningListKeepsItsCryptBox) {
    watch().setQuickExit(milliseconds(0));
    open("w.txt", "watched", "w-password");
    open("v.txt", "viewed", "v-password");
    fake.EndAll();

    state().SetBusy(TKX_PrgState::kDeleting);
    watch().NotifyOpenFiles();
    EXPECT_EQ(slots().Count, 2);
    state().ClearBusy(TKX_PrgState::kDeleting);
    // A process or a lock file holds v.txt; the question of a file that was handed on is not asked while
    // it is plainly in use either.
    fake.inUse = {path("v.txt")};

    // A list run waits between two of its files, and a stop request of its own is pending.
    objects.dirCryptor().WorkList = {"x.txt", "y.txt"};
    objects.dirCryptor().WorkDirectory = "/somewhere/else";
    state().AbortFlag = true;
    int busyDuringEncryption = 0;
    host.onEvents = [&] { busyDuringEncryption |= state().Busy; };
    watch().NotifyOpenFiles();
    EXPECT_EQ(names(), (Names{"v.txt", "w.txt.cry"}));
    EXPECT_EQ(objects.dirCryptor().WorkList, (Names{"x.txt", "y.txt"}));
    EXPECT_EQ(objects.dirCryptor().WorkDirectory, "/somewhere/else");
    EXPECT_TRUE(state().AbortFlag) << "the list's own stop request stays";
    EXPECT_EQ(busyDuringEncryption, TKX_PrgState::kReencrypting | TKX_PrgState::kEncrypting);
    EXPECT_FALSE(state().IsBusy());
    state().AbortFlag = false;

    fake.inUse.clear();
    watch().NotifyOpenFiles();
    EXPECT_EQ(names(), (Names{"v.txt.cry", "w.txt.cry"}));
    EXPECT_EQ(contentOf("v.txt.cry", "v-password"), "viewed");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Watch, AFileChangedByItsApplicationGoesAsItIsThenAndOneDeletedFreesItsSlotQuietly) {
    watch().setQuickExit(milliseconds(0));
    open("changed.txt", "first draft", "c-password");
    open("deleted.txt", "scratch", "d-password");
    write("changed.txt", "second draft, longer than the first");
    ASSERT_EQ(::unlink(path("deleted.txt").c_str()), 0);
    fake.EndAll();
    watch().NotifyOpenFiles();
    EXPECT_EQ(slots().Count, 0);
    EXPECT_EQ(names(), Names{"changed.txt.cry"});
    EXPECT_EQ(contentOf("changed.txt.cry", "c-password"), "second draft, longer than the first");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(controls.timer);
}

TEST_F(Watch, WithoutAnApplicationOrAFreeSlotADecryptedFileIsEncryptedAgainAtOnce) {
    fake.startable = false;
    open("orphan.txt", "no viewer for this", "o-password");
    ASSERT_EQ(fake.launched.size(), 1u);
    EXPECT_EQ(names(), Names{"orphan.txt.cry"});
    EXPECT_EQ(contentOf("orphan.txt.cry", "o-password"), "no viewer for this");
    EXPECT_EQ(messages(),
              Names{"Unable to shell the respective application for the file " + path("orphan.txt") + " ."});
    EXPECT_NE(std::find(host.statuses.begin(), host.statuses.end(), "Executing associated application..."),
              host.statuses.end());
    EXPECT_EQ(slots().Count, 0);
    EXPECT_EQ(windowHost.closed, 1);

    // Twenty files watched: the next one is not left in plain.
    fake.startable = true;
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(watch().CreateFileObject(path("slot" + std::to_string(i)), 1, LaunchVerb::Open, {}));
    EXPECT_TRUE(watch().AllSlotsInUse());
    EXPECT_FALSE(watch().CreateFileObject(path("one-more"), 1, LaunchVerb::Open, {}));
    host.messages.clear();
    open("extra.txt", "twenty-first", "e-password");
    EXPECT_EQ(names(), (Names{"extra.txt.cry", "orphan.txt.cry"}));
    EXPECT_EQ(contentOf("extra.txt.cry", "e-password"), "twenty-first");
    EXPECT_EQ(
        messages(),
        Names{"No more than 20 files can be open at a time: " + path("extra.txt") + " has been encrypted again."});
    EXPECT_EQ(fake.launched.size(), 1u);

    // From the pane nothing is decrypted then.
    host.messages.clear();
    select(Pane::Crypted, {"orphan.txt"});
    shell().openAndPrint().DecrCmdFromPane(LaunchVerb::Open);
    EXPECT_EQ(messages(), Names{"No more than 20 files can be open at a time. Close one of them first."});
    EXPECT_TRUE(prompts.shown.size() == 2u && prompts.steps.empty());
}

TEST_F(Watch, PrintingHandsTheFileToLpAndAFailureEncryptsItAgainWithTheMessage) {
    open("letter.txt", "Dear reader", "l-password", true);
    open("memo.txt", "Memo", "m-password", true);
    ASSERT_EQ(fake.launched.size(), 2u);
    EXPECT_EQ(fake.launched[0].verb, LaunchVerb::Print);
    fake.End(fake.launched[0].process, ChildStatus::Succeeded);
    fake.End(fake.launched[1].process, ChildStatus::Failed);
    watch().NotifyOpenFiles();
    EXPECT_EQ(names(), (Names{"letter.txt.cry", "memo.txt.cry"})) << "lp ends at once: no question for it";
    EXPECT_EQ(messages(), Names{"Unable to shell the respective application for the file " + path("memo.txt") + " ."});
    EXPECT_EQ(contentOf("memo.txt.cry", "m-password"), "Memo");
}

TEST_F(Watch, ThePanesOpenAndPrintAndTheCloseRequest) {
    // A plain file is only handed over.
    write("plain.txt", "plain");
    select(Pane::Source, {"plain.txt"});
    shell().openAndPrint().ProcessCmd(LaunchVerb::Print);
    ASSERT_EQ(fake.launched.size(), 1u);
    EXPECT_FALSE(fake.launched[0].watch);
    EXPECT_EQ(fake.launched[0].path, path("plain.txt"));
    fake.startable = false;
    shell().openAndPrint().ProcessCmd(LaunchVerb::Open);
    EXPECT_EQ(messages(), Names{"Unable to shell the respective application for the file " + path("plain.txt") + " ."});
    fake.startable = true;
    EXPECT_EQ(slots().Count, 0);
    EXPECT_TRUE(watch().FormCloseQuery()) << "nothing watched";

    // Containers of the pane: refused while busy, else decrypted as a list and each handed over; a plain
    // file that was there before (its decryption declined) is not the container's and is not opened.
    container("one.txt", "one", "pane-pw");
    container("two.txt", "two", "pane-pw");
    write("two.txt", "an older plain two");
    select(Pane::Crypted, {"one.txt", "two.txt"});
    state().SetBusy(TKX_PrgState::kDeleting);
    shell().openAndPrint().DecrCmdFromPane(LaunchVerb::Open);
    EXPECT_EQ(host.statuses.back(), "Please wait until the process is finished.");
    EXPECT_FALSE(watch().FormCloseQuery()) << "refused while busy, without a message";
    state().ClearBusy(TKX_PrgState::kDeleting);
    host.messages.clear();
    prompts.steps = {test::TypeForList("pane-pw")};
    host.answers = {MessageAnswer::Cancel}; // "already exist ... Overwrite?" for two.txt
    shell().openAndPrint().DecrCmdFromPane(LaunchVerb::Open);
    ASSERT_EQ(fake.launched.size(), 3u);
    EXPECT_EQ(fake.launched[2].path, path("one.txt"));
    EXPECT_EQ(slots().Count, 1);
    EXPECT_EQ(names(), (Names{"one.txt", "plain.txt", "two.txt", "two.txt.cry"}));

    // Closing with a watched file: the user decides.
    host.messages.clear();
    host.answers = {MessageAnswer::Cancel};
    EXPECT_FALSE(watch().FormCloseQuery());
    host.answers = {MessageAnswer::Ok};
    EXPECT_TRUE(watch().FormCloseQuery());
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text, kCloseQuestion);
    EXPECT_EQ(host.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(host.messages[0].buttons, MessageButtons::OkCancel);

    // A file whose application ended at once and that waits for "not yet" is asked about at close.
    fake.EndAll();
    host.messages.clear();
    host.answers = {MessageAnswer::No};
    watch().NotifyOpenFiles();
    host.answers = {MessageAnswer::Yes};
    EXPECT_TRUE(watch().FormCloseQuery());
    EXPECT_EQ(messages(), (Names{mayStillBeOpen("one.txt"), mayStillBeOpen("one.txt")}));
    EXPECT_EQ(names(), (Names{"one.txt.cry", "plain.txt", "two.txt", "two.txt.cry"}));
}

// --- Real applications, started from the tests' own desktop entry ---------------------------------------

class RealApplications : public Watch {
protected:
    RealApplications() { UseRealApplications(); }
};

TEST_F(RealApplications, AnApplicationThatEndsGetsItsFileEncryptedAgainAndWiped) {
    // By the watch's clock, which the test moves: an application that ran for two and a half seconds has
    // worked on its file; one that ended half a second after its start is asked about.
    open("slept.txt", "sleep\nthe viewer sleeps a little", "s-password");
    ASSERT_EQ(slots().Count, 1);
    EXPECT_GT(slots().Files[0].Process, 0);
    EXPECT_EQ(names(), Names{"slept.txt"});
    elapse(milliseconds(2500));
    EXPECT_TRUE(tickUntil([&] { return slots().Count == 0; }));
    EXPECT_EQ(names(), Names{"slept.txt.cry"});
    EXPECT_EQ(contentOf("slept.txt.cry", "s-password"), "sleep\nthe viewer sleeps a little");
    EXPECT_TRUE(host.messages.empty());

    open("quick.txt", "quit\n", "q-password");
    elapse(milliseconds(500));
    EXPECT_TRUE(tickUntil([&] { return slots().Count == 0; }));
    EXPECT_EQ(messages(), Names{mayStillBeOpen("quick.txt")});
    EXPECT_EQ(names(), (Names{"quick.txt.cry", "slept.txt.cry"}));
}

TEST_F(RealApplications, AFileHeldOpenWaitsAndOneWrittenAgainIsReportedAndOffered) {
    watch().setQuickExit(milliseconds(0));
    open("held.txt", "hold\n", "h-password");
    ASSERT_EQ(slots().Count, 1);
    ASSERT_TRUE(tickUntil([&] { return !slots().Files[0].Running; })) << "the started process ends at once";
    for (int tick = 0; tick < 10; ++tick)
        watch().NotifyOpenFiles();
    EXPECT_EQ(slots().Count, 1) << "a process still holds the file";
    EXPECT_TRUE(test::Exists(path("held.txt")));
    write("held.txt.release", "");
    EXPECT_TRUE(tickUntil([&] { return slots().Count == 0; }));
    EXPECT_FALSE(test::Exists(path("held.txt")));

    open("saved.txt", "rewrite\n", "r-password");
    EXPECT_TRUE(tickUntil([&] { return slots().Count == 0; }));
    EXPECT_FALSE(test::Exists(path("saved.txt")));
    EXPECT_TRUE(host.messages.empty());
    // The application writes the plain file again: said at once, offered, and the container replaced
    // after the overwrite question.
    write("saved.txt.rewrite", "");
    EXPECT_TRUE(tickUntil([&] { return host.messages.size() >= 2 && !test::Exists(path("saved.txt")); }));
    EXPECT_EQ(messages(),
              (Names{path("saved.txt") + " has been written again by an application after it was encrypted. Encrypt "
                                         "it again now?",
                     "File " + path("saved.txt.cry") + " already exist in the list of encrypted files. Overwrite?"}));
    EXPECT_EQ(contentOf("saved.txt.cry", "r-password"), "rewritten\n");
    EXPECT_FALSE(controls.timer);
}

} // namespace
} // namespace vorlaxen
