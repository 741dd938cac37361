// Handing a file to the desktop's application for its type (with a desktop entry and a mimeapps.list of
// the tests' own), printing with lp, telling whether a file is still in use, the directory watch, and a
// password taken out of the environment.

#include "platform/Launcher.h"

#include "platform/DirectoryWatch.h"
#include "platform/EnvironmentSecret.h"
#include "platform/FileInUse.h"
#include "support/TempDir.h"
#include "support/TestDesktop.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vorlaxen {
namespace {

using Names = std::vector<std::string>;

std::string Text(const std::string& path) {
    if (!test::Exists(path))
        return "";
    auto bytes = test::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

ChildStatus WaitForEnd(pid_t pid) {
    ChildStatus status = PollChild(pid);
    for (int waited = 0; status == ChildStatus::Running && waited < 500; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        status = PollChild(pid);
    }
    return status;
}

class Launcher : public ::testing::Test {
protected:
    void SetUp() override {
        test::InstallTestDesktop();
        ::mkdir((dir / "work").c_str(), 0700);
    }

    test::TempDir dir;
};

TEST_F(Launcher, OpensAFileWithItsTypesApplicationInTheGivenDirectoryAndWatchesIt) {
    const std::string page = dir / "page.html";
    test::WriteFile(page, "<html></html>");
    const pid_t pid = OpenWithDefaultApplication(page, dir / "work", true);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitForEnd(pid), ChildStatus::Succeeded);
    EXPECT_EQ(PollChild(pid), ChildStatus::Failed) << "reaped: no longer a child";
    EXPECT_EQ(Text(page + ".opened-in"), dir / "work" + "\n");
}

TEST_F(Launcher, AFileWithoutAnApplicationIsNotOpened) {
    const std::string unknown = dir / "blob.vorlaxen-test-unknown-type";
    test::WriteFile(unknown, std::string("\x00\x01\x02\x03", 4));
    GAppInfo* fallback = g_app_info_get_default_for_type("application/octet-stream", FALSE);
    ASSERT_NE(fallback, nullptr);
    EXPECT_STREQ(g_app_info_get_id(fallback), kOwnOpenWithEntry) << "the desktop's choice, which the program passes by";
    g_object_unref(fallback);
    EXPECT_EQ(OpenWithDefaultApplication(unknown, "", true), 0);
    EXPECT_EQ(OpenWithDefaultApplication(dir / "missing.html", "", true), 0) << "nor is a file that is not there";
}

TEST_F(Launcher, PrintsWithLpAndTellsHowItEnded) {
    ::mkdir((dir / "bin").c_str(), 0700);
    test::WriteFile(dir / "bin/lp", "#!/bin/sh\npwd > \"$1.printed-in\"\n[ \"${1##*/}\" != refused.txt ]\n");
    ::chmod((dir / "bin/lp").c_str(), 0700);
    const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (dir / "bin:").append(savedPath).c_str(), 1);
    test::WriteFile(dir / "letter.txt", "Dear reader");
    test::WriteFile(dir / "refused.txt", "No");

    const pid_t printed = PrintWithLp(dir / "letter.txt", dir / "work", true);
    ASSERT_GT(printed, 0);
    EXPECT_EQ(WaitForEnd(printed), ChildStatus::Succeeded);
    EXPECT_EQ(Text(dir / "letter.txt.printed-in"), dir / "work" + "\n");
    const pid_t refused = PrintWithLp(dir / "refused.txt", dir / "work", true);
    ASSERT_GT(refused, 0);
    EXPECT_EQ(WaitForEnd(refused), ChildStatus::Failed) << "lp failing is a failure";

    ::setenv("PATH", (dir / "work").c_str(), 1);
    EXPECT_EQ(PrintWithLp(dir / "letter.txt", "", true), 0) << "no lp at all";
    ::setenv("PATH", savedPath.c_str(), 1);
}

TEST_F(Launcher, AFileIsInUseWhileAnotherProcessHoldsItOrAFreshLockFileNamesIt) {
    const std::string file = dir / "report.odt";
    test::WriteFile(file, "report");
    const std::time_t since = std::time(nullptr);

    // This process holding it does not count.
    const int own = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_FALSE(HeldOpenByAnotherProcess(file));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open(file.c_str(), O_RDONLY);
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(fd >= 0 ? 0 : 1);
    }
    char byte;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_TRUE(HeldOpenByAnotherProcess(file));
    ::kill(holder, SIGTERM);
    ::waitpid(holder, nullptr, 0);
    EXPECT_FALSE(HeldOpenByAnotherProcess(file));
    ::close(own);
    ::close(ready[0]);
    ::close(ready[1]);

    EXPECT_FALSE(LockFileNames(file, since));
    for (const std::string lock : {".~lock.report.odt#", ".report.odt.swp"}) {
        SCOPED_TRACE(lock);
        test::WriteFile(dir / lock, "lock");
        EXPECT_TRUE(LockFileNames(file, since));
        // One older than the file's opening was left behind by an application that ended long ago.
        const timespec old[2] = {{since - 3600, 0}, {since - 3600, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir / lock).c_str(), old, 0), 0);
        EXPECT_FALSE(LockFileNames(file, since));
        ::unlink((dir / lock).c_str());
    }
    ASSERT_EQ(::symlink("user@host.1234", (dir / ".#report.odt").c_str()), 0);
    EXPECT_TRUE(LockFileNames(file, since)) << "Emacs's lock, a link that leads nowhere";
    EXPECT_FALSE(LockFileNames(dir / "other.odt", since));
}

TEST_F(Launcher, TheDirectoryWatchReportsFilesWrittenOrRenamedIntoPlace) {
    DirectoryWatch watch;
    ASSERT_GE(watch.fd(), 0);
    ASSERT_TRUE(watch.Watch(dir.path()));
    EXPECT_TRUE(watch.Watch(dir.path())) << "twice is once";
    EXPECT_FALSE(watch.Watch(dir / "missing"));
    EXPECT_TRUE(watch.TakeWritten().empty());

    test::WriteFile(dir / "saved.txt", "in place");
    test::WriteFile(dir / "saved.txt", "again");
    test::WriteFile(dir / ".new-copy", "by rename");
    ASSERT_EQ(::rename((dir / ".new-copy").c_str(), (dir / "renamed.txt").c_str()), 0);
    test::WriteFile(dir / "work/elsewhere.txt", "in a directory not watched");
    const int reader = ::open((dir / "saved.txt").c_str(), O_RDONLY);
    ::close(reader);
    EXPECT_EQ(watch.TakeWritten(), (Names{dir / "saved.txt", dir / ".new-copy", dir / "renamed.txt"}));
    EXPECT_TRUE(watch.TakeWritten().empty());
}

// The desktop entry and file type that the installation puts in place: a ".cry" file opened from a file
// manager runs "vorlaxen /open FILE", and the entry's actions decrypt or print.
TEST_F(Launcher, TheInstalledEntryOpensAContainerWithSlashOpenAndOffersDecryptAndPrint) {
    const std::string& desktop = test::InstallTestDesktop();
    const std::string recorded = desktop + "/prefix/bin/vorlaxen.args";
    ::unlink(recorded.c_str());
    const std::string container = dir / "report.pdf.cry";
    test::WriteFile(container, "KX9B not really");
    const pid_t pid = OpenWithDefaultApplication(container, dir.path(), true);
    ASSERT_GT(pid, 0) << "the program is the application of its file type";
    EXPECT_EQ(WaitForEnd(pid), ChildStatus::Succeeded);
    EXPECT_EQ(Text(recorded), "/open\n" + container + "\n");

    ::unlink(recorded.c_str());
    GDesktopAppInfo* entry = g_desktop_app_info_new("vorlaxen.desktop");
    ASSERT_NE(entry, nullptr);
    const char* const* actions = g_desktop_app_info_list_actions(entry);
    ASSERT_NE(actions, nullptr);
    ASSERT_STREQ(actions[0], "Decrypt");
    ASSERT_STREQ(actions[1], "Print");
    EXPECT_EQ(actions[2], nullptr);
    for (const char* action : {"Decrypt", "Print"}) {
        char* name = g_desktop_app_info_get_action_name(entry, action);
        EXPECT_STREQ(name, action);
        g_free(name);
        g_desktop_app_info_launch_action(entry, action, nullptr);
    }
    g_object_unref(entry);
    for (int waited = 0; Text(recorded).size() < 16 && waited < 500; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string said = Text(recorded);
    EXPECT_NE(said.find("/decrypt\n"), std::string::npos) << said;
    EXPECT_NE(said.find("/print\n"), std::string::npos) << said;
}

// The hidden "Open With" entry, the stand-in for a "Send To" reference: among the applications a file
// manager offers for any file (an application chooser's "other applications" are all of them, hidden ones
// included), out of the menus, not the default of a type that has an application of its own, and it hands
// the chosen files to the program in one start, as they are, which encrypts them or decrypts a ".cry".
TEST_F(Launcher, TheOpenWithEntryIsOfferedForAnyFileAndHandsTheFilesToTheProgram) {
    const std::string& desktop = test::InstallTestDesktop();
    const std::string recorded = desktop + "/prefix/bin/vorlaxen.args";
    ::unlink(recorded.c_str());
    const auto offers = [](GList* apps) {
        bool found = false;
        for (GList* app = apps; app; app = app->next)
            found |= std::string(g_app_info_get_id(G_APP_INFO(app->data))) == "vorlaxen-send-to.desktop";
        g_list_free_full(apps, g_object_unref);
        return found;
    };
    EXPECT_TRUE(offers(g_app_info_get_all()));
    EXPECT_TRUE(offers(g_app_info_get_recommended_for_type("application/octet-stream")));
    GAppInfo* text = g_app_info_get_default_for_type("text/plain", FALSE);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(g_app_info_get_id(text), "vorlaxen-test-viewer.desktop");
    g_object_unref(text);

    GDesktopAppInfo* entry = g_desktop_app_info_new("vorlaxen-send-to.desktop");
    ASSERT_NE(entry, nullptr);
    GAppInfo* app = G_APP_INFO(entry);
    EXPECT_STREQ(g_app_info_get_name(app), "Vorlaxen 95 IDEA");
    EXPECT_FALSE(g_app_info_should_show(app)) << "not in the menus";
    const std::string plain = dir / "notes with space.txt";
    const std::string container = dir / "report.pdf.cry";
    test::WriteFile(plain, "plain");
    test::WriteFile(container, "KX9B not really");
    GList* files = nullptr;
    for (const std::string& path : {container, plain})
        files = g_list_prepend(files, g_file_new_for_path(path.c_str()));
    EXPECT_TRUE(g_app_info_launch(app, files, nullptr, nullptr));
    g_list_free_full(files, g_object_unref);
    g_object_unref(entry);
    for (int waited = 0; Text(recorded).size() < plain.size() + container.size() + 2 && waited < 500; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Text(recorded), plain + "\n" + container + "\n") << "no switch: each file by its name";
}

TEST(EnvironmentSecret, IsTakenOutOfTheEnvironment) {
    ::setenv("VORLAXEN_TEST_SECRET", "s3cret words", 1);
    const auto taken = TakeEnvironmentSecret("VORLAXEN_TEST_SECRET");
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(std::string(taken->begin(), taken->end()), "s3cret words");
    EXPECT_EQ(std::getenv("VORLAXEN_TEST_SECRET"), nullptr) << "no program started from here inherits it";
    EXPECT_FALSE(TakeEnvironmentSecret("VORLAXEN_TEST_SECRET").has_value());
    ::setenv("VORLAXEN_TEST_SECRET", "", 1);
    const auto empty = TakeEnvironmentSecret("VORLAXEN_TEST_SECRET");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
}

} // namespace
} // namespace vorlaxen
