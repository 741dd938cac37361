// One window per user and display: a start's command line as one message, the place in the runtime
// directory, starts at the same moment of which exactly one becomes the window, and the window running the
// handed command lines once it is free, closing only as its own command line would have.

#include "desktop/ShellFixture.h"
#include "desktop/WindowInstance.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorlaxen {
namespace {

using Names = std::vector<std::string>;

ProgramArgument Argument(const std::string& text, const std::string& password = "") {
    return {text, SecureBytes(password.begin(), password.end())};
}

TEST(HandedCommandLine, TravelsWithItsPasswordsAndAnythingElseIsRefused) {
    HandedCommandLine sent{"/home/me/dir with space",
                           {Argument("/3xdes"), Argument("/pass:", "se cret"), Argument("a.txt"), Argument("--pass=")},
                           SecureBytes{'e', 'n', 'v'}};
    const SecureBytes message = EncodeCommandLine(sent);
    const std::optional<HandedCommandLine> received = DecodeCommandLine(message);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->currentDirectory, sent.currentDirectory);
    ASSERT_EQ(received->arguments.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(received->arguments[i].text, sent.arguments[i].text);
        EXPECT_EQ(received->arguments[i].password, sent.arguments[i].password);
    }
    ASSERT_TRUE(received->environmentPassword);
    EXPECT_EQ(*received->environmentPassword, *sent.environmentPassword);
    const std::optional<HandedCommandLine> bare = DecodeCommandLine(EncodeCommandLine({"/", {}, std::nullopt}));
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->arguments.empty());
    EXPECT_FALSE(bare->environmentPassword);

    // Cut inside a record, or changed where it says what it is, the message is refused.
    EXPECT_FALSE(DecodeCommandLine(SecureBytes(message.begin(), message.begin() + 5))) << "no directory";
    EXPECT_FALSE(DecodeCommandLine(SecureBytes(message.begin(), message.begin() + 7))) << "inside a length";
    EXPECT_FALSE(DecodeCommandLine(SecureBytes(message.begin(), message.end() - 1))) << "inside the last record";
    const auto changed = [&message](std::size_t at, std::uint8_t value) {
        SecureBytes copy = message;
        copy[at] = value;
        return DecodeCommandLine(copy);
    };
    EXPECT_FALSE(changed(0, 'W')) << "not ours";
    EXPECT_FALSE(changed(4, 2)) << "another version";
    EXPECT_FALSE(changed(5, 'A')) << "no directory first";
    EXPECT_FALSE(changed(5, 'Z')) << "an unknown record";
    SecureBytes twice = message;
    twice.insert(twice.end(), message.end() - 8, message.end()); // the 'E' record of "env" once more
    EXPECT_FALSE(DecodeCommandLine(twice)) << "a second environment password";
    SecureBytes orphan = EncodeCommandLine({"/", {}, std::nullopt});
    orphan.insert(orphan.end(), {'P', 1, 0, 0, 0, 'x'});
    EXPECT_FALSE(DecodeCommandLine(orphan)) << "a password of no argument";
}

TEST(WindowPlace, IsInAPrivateRuntimeDirectoryPerDisplay) {
    test::TempDir runtime;
    ASSERT_EQ(::chmod(runtime.path().c_str(), 0700), 0);
    const auto place = WindowInstance::PlaceFor(runtime.path(), "wayland-0");
    ASSERT_TRUE(place);
    EXPECT_EQ(place->socketPath, runtime / "vorlaxen-wayland-0.socket");
    EXPECT_EQ(place->lockPath, runtime / "vorlaxen-wayland-0.lock");
    EXPECT_EQ(WindowInstance::PlaceFor(runtime.path(), ":1")->socketPath, runtime / "vorlaxen-:1.socket");
    EXPECT_EQ(WindowInstance::PlaceFor(runtime.path(), "/run/x/wl 0")->socketPath,
              runtime / "vorlaxen-_run_x_wl_0.socket");
    EXPECT_EQ(WindowInstance::PlaceFor(runtime.path(), "")->socketPath, runtime / "vorlaxen.socket");
    EXPECT_FALSE(WindowInstance::PlaceFor(runtime.path(), std::string(100, 'd'))) << "too long for a socket";
    EXPECT_FALSE(WindowInstance::PlaceFor("", ":0")) << "no runtime directory";
    ASSERT_EQ(::chmod(runtime.path().c_str(), 0711), 0);
    EXPECT_FALSE(WindowInstance::PlaceFor(runtime.path(), ":0")) << "others may enter it";
    EXPECT_EQ(WindowInstance().Claim(std::nullopt, {"/", {Argument("a.txt")}, {}}), WindowInstance::Start::Alone);
}

// Starts at the same moment, each a process of its own: one becomes the window and takes the command
// lines of all the others, each of which ends as soon as it is taken.
TEST(WindowInstanceClaim, OfManyStartsAtTheSameMomentOneIsTheWindowAndTakesAllOthers) {
    test::TempDir runtime;
    ASSERT_EQ(::chmod(runtime.path().c_str(), 0700), 0);
    const auto place = WindowInstance::PlaceFor(runtime.path(), ":race");
    ASSERT_TRUE(place);
    constexpr int kStarts = 6;
    int go[2];
    int taken[2];
    ASSERT_EQ(::pipe(go), 0);
    ASSERT_EQ(::pipe(taken), 0);
    std::vector<pid_t> starts;
    for (int i = 0; i < kStarts; ++i) {
        const pid_t start = ::fork();
        if (start == 0) {
            ::close(go[1]);
            ::close(taken[0]);
            char byte;
            (void)!::read(go[0], &byte, 1); // all start when the pipe closes
            WindowInstance instance;
            const HandedCommandLine own{"/", {Argument("file-" + std::to_string(i) + ".txt")}, std::nullopt};
            switch (instance.Claim(place, own)) {
            case WindowInstance::Start::HandedOver:
                ::_exit(10);
            case WindowInstance::Start::OwnWindow: {
                // The window: takes the others' command lines, and reports each file they named.
                int got = 0;
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                while (got < kStarts - 1 && std::chrono::steady_clock::now() < deadline) {
                    if (std::optional<HandedCommandLine> other = instance.Receive()) {
                        const std::string line = other->arguments.at(0).text + "\n";
                        (void)!::write(taken[1], line.data(), line.size());
                        ++got;
                    } else {
                        ::usleep(1000);
                    }
                }
                instance.Close();
                ::_exit(20);
            }
            default:
                ::_exit(30);
            }
        }
        starts.push_back(start);
    }
    ::close(go[0]);
    ::close(taken[1]);
    ::close(go[1]);
    std::map<int, int> outcomes;
    for (pid_t start : starts) {
        int status = 0;
        ::waitpid(start, &status, 0);
        ++outcomes[WIFEXITED(status) ? WEXITSTATUS(status) : -1];
    }
    std::string reported;
    char buffer[256];
    for (ssize_t got; (got = ::read(taken[0], buffer, sizeof buffer)) > 0;)
        reported.append(buffer, static_cast<std::size_t>(got));
    ::close(taken[0]);
    EXPECT_EQ(outcomes, (std::map<int, int>{{10, kStarts - 1}, {20, 1}}))
        << "one window, every other start handed over";
    EXPECT_EQ(std::count(reported.begin(), reported.end(), '\n'), kStarts - 1) << reported;
    EXPECT_NE(::access(place->socketPath.c_str(), F_OK), 0) << "the window closed: its socket is gone";
}

class HandOvers : public test::ShellTest {
protected:
    HandOverQueue& queue() { return shell().handOvers(); }
};

TEST_F(HandOvers, RunWhenTheWindowIsFreeAndCloseOnlyAWindowThatWasClosingAnyway) {
    pwd().SessionMode = true;
    ::mkdir(path("elsewhere").c_str(), 0700);
    write("elsewhere/a.txt", "alpha");
    write("b.txt", "beta");

    // The window that the user has open: a handed line runs once the window is free, with the handing
    // start's directory for its relative names and its own password, and the window stays.
    queue().Add({path("elsewhere"), {Argument("/pass:", "handed-pw"), Argument("a.txt")}, std::nullopt});
    EXPECT_TRUE(queue().waiting());
    queue().RunWaiting(false);
    state().Busy = TKX_PrgState::kEncrypting;
    queue().RunWaiting(true);
    EXPECT_TRUE(test::Exists(path("elsewhere/a.txt"))) << "an operation runs: it waits";
    state().Busy = 0;
    queue().RunWaiting(true);
    EXPECT_FALSE(queue().waiting());
    EXPECT_TRUE(OpensWith(path("elsewhere/a.txt.cry"), "handed-pw"));
    EXPECT_EQ(windowHost.closed, 0) << "the user's window stays";
    EXPECT_FALSE(queue().DeferClose()) << "nothing waits: the window's own command line closes it";

    // A window started to encrypt a file, to which another start handed its line meanwhile: its own line
    // closes it only after the handed one, which had it been the program's own would have ended it too.
    queue().Add({home, {Argument("b.txt")}, SecureBytes{'e', 'n', 'v', '-', 'p', 'w'}});
    EXPECT_TRUE(queue().DeferClose());
    queue().RunWaiting(true);
    EXPECT_TRUE(OpensWith(path("b.txt.cry"), "env-pw"));
    EXPECT_EQ(windowHost.closed, 1);

    // One that leaves a file watched keeps the closing window.
    watch().setQuickExit(std::chrono::milliseconds(0));
    container("c.txt", "gamma", "env-pw"); // the session's password
    queue().Add({home, {Argument("/open"), Argument("c.txt.cry")}, std::nullopt});
    queue().Add({home, {Argument("/decrypt")}, std::nullopt});
    EXPECT_TRUE(queue().DeferClose());
    queue().RunWaiting(true);
    EXPECT_FALSE(queue().waiting());
    EXPECT_EQ(slots().Count, 1);
    EXPECT_EQ(windowHost.closed, 1) << "a file is watched";
    EXPECT_TRUE(host.messages.empty()) << (host.messages.empty() ? "" : host.messages[0].text);
}

} // namespace
} // namespace vorlaxen
