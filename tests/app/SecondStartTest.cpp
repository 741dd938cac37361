// The desktop program started as a user starts it, several times over: a second start hands its command
// line to the window that runs and ends; a window that crashed is replaced; two starts at the same moment
// leave nothing running once both files are done; without a runtime directory each start is its own
// window, as always. And --version, which needs no display.

#include "engine/Messages.h"
#include "engine/TKX_Pwd.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vorlaxen {
namespace {

using namespace std::chrono_literals;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 15s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// The exit status of a started program once it has ended within the limit; -1 while it still runs.
int EndOf(pid_t pid, std::chrono::milliseconds limit = 15s) {
    int status = 0;
    pid_t ended = 0;
    WaitFor([&] { return (ended = ::waitpid(pid, &status, WNOHANG)) != 0; }, limit);
    if (ended != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool OpensWith(const std::string& container, const std::string& password) {
    test::TempDir scratch;
    const std::string copy = scratch / "copy.cry";
    test::WriteFile(copy, test::ReadFile(container));
    TKX_Pwd reader;
    reader.SetPassword(password);
    return reader.DecryptFile(copy) == ResultCode::Ok;
}

class SecondStart : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::chmod(runtime.path().c_str(), 0700), 0);
        ::mkdir((home / "work").c_str(), 0700);
        ::mkdir((home / "work/sub").c_str(), 0700);
        test::WriteFile(home / "defaults.reg", test::SettingsWithoutKeyFile());
        // A password given with the start counts, as it does with one password for a session.
        test::WriteFile(home / "user.reg",
                        "Windows Registry Editor Version 5.00\n\n"
                        "[HKEY_CLASSES_ROOT\\crypt file\\Settings\\Options]\n"
                        "\"OnePassword\"=dword:00000001\n\"ShowTIP\"=dword:00000000\n");
        options.cwd = home / "work";
        options.env = {{"QT_QPA_PLATFORM", "offscreen"},
                       {"DISPLAY", ":vorlaxen-test-" + std::to_string(::getpid())},
                       {"WAYLAND_DISPLAY", ""},
                       {"XDG_RUNTIME_DIR", runtime.path()},
                       {"HOME", home.path()},
                       {"VORLAXEN_SETTINGS_DEFAULTS", home / "defaults.reg"},
                       {"VORLAXEN_SETTINGS", home / "user.reg"}};
    }
    void TearDown() override {
        for (pid_t pid : started)
            if (EndOf(pid, 0ms) < 0) {
                ::kill(pid, SIGKILL);
                EndOf(pid);
            }
    }
    pid_t start(const std::vector<std::string>& arguments, const std::string& log, const std::string& cwd = "") {
        std::vector<std::string> argv{VORLAXEN_PROGRAM};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        test::ProcessOptions here = options;
        if (!cwd.empty())
            here.cwd = cwd;
        const pid_t pid = test::StartProcess(argv, here, home / log);
        started.push_back(pid);
        return pid;
    }
    std::string socket() const { return runtime / ("vorlaxen-" + options.env.at("DISPLAY") + ".socket"); }

    test::TempDir runtime;
    test::TempDir home;
    test::ProcessOptions options;
    std::vector<pid_t> started;
};

TEST_F(SecondStart, HandsItsCommandLineToTheRunningWindowAndEnds) {
    const test::ProcessResult version = test::RunProcess({VORLAXEN_PROGRAM, "--version"}, {"", {{"DISPLAY", ""}}});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("vorlaxen " VORLAXEN_VERSION "\n") + kLicence + "\n" + kNoWarranty + "\n");

    // The user's window, opened without a file.
    const pid_t window = start({}, "window.log");
    ASSERT_TRUE(WaitFor([&] { return test::Exists(socket()); })) << "the window waits for later starts";

    // A later start in another directory, with a relative name and a password: it ends at once, and the
    // window encrypts the file of the start's directory with the start's password.
    test::WriteFile(home / "work/sub/notes.txt", "my notes");
    const auto before = std::chrono::steady_clock::now();
    const pid_t second = start({"/pass:secret-12", "notes.txt"}, "second.log", home / "work/sub");
    EXPECT_EQ(EndOf(second), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 10s);
    // The container is complete on disk before the plain file is wiped.
    ASSERT_TRUE(WaitFor([&] { return !test::Exists(home / "work/sub/notes.txt"); }));
    EXPECT_TRUE(OpensWith(home / "work/sub/notes.txt.cry", "secret-12"));
    EXPECT_EQ(EndOf(window, 300ms), -1) << "the user's window stays";

    // The window crashes: its socket stays behind, and the next start takes its place, encrypts its file
    // and ends, as a start without a window always did.
    ASSERT_EQ(::kill(window, SIGKILL), 0);
    EXPECT_EQ(EndOf(window), 128 + SIGKILL);
    ASSERT_TRUE(test::Exists(socket()));
    test::WriteFile(home / "work/after-crash.txt", "after");
    EXPECT_EQ(EndOf(start({"/pass:secret-34", "after-crash.txt"}, "after-crash.log")), 0);
    EXPECT_TRUE(OpensWith(home / "work/after-crash.txt.cry", "secret-34"));

    // Two starts at the same moment, as a file manager makes them for two files: both files are done, both
    // starts end, and no window is left.
    test::WriteFile(home / "work/c.txt", "c");
    test::WriteFile(home / "work/d.txt", "d");
    const pid_t c = start({"/pass:secret-56", "c.txt"}, "c.log");
    const pid_t d = start({"/pass:secret-56", "d.txt"}, "d.log");
    EXPECT_EQ(EndOf(c), 0);
    EXPECT_EQ(EndOf(d), 0);
    EXPECT_TRUE(OpensWith(home / "work/c.txt.cry", "secret-56"));
    EXPECT_TRUE(OpensWith(home / "work/d.txt.cry", "secret-56"));
    EXPECT_FALSE(test::Exists(socket())) << "the window closed";
}

TEST_F(SecondStart, WithoutARuntimeDirectoryEachStartIsItsOwnWindow) {
    options.env["XDG_RUNTIME_DIR"] = "";
    test::WriteFile(home / "work/e.txt", "e");
    EXPECT_EQ(EndOf(start({"/pass:secret-78", "e.txt"}, "e.log")), 0);
    EXPECT_TRUE(OpensWith(home / "work/e.txt.cry", "secret-78"));
    EXPECT_TRUE(runtime.names().empty());
}

} // namespace
} // namespace vorlaxen
