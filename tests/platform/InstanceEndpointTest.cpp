// The place where the first window waits for later starts: the lock that makes one process its owner, a
// socket left by a crashed owner replaced, messages framed with a time limit, and peers of another user
// refused on both sides.

#include "platform/InstanceEndpoint.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorlaxen {
namespace {

using namespace std::chrono_literals;

SecureBytes Bytes(const std::string& text) {
    return SecureBytes(text.begin(), text.end());
}

int ExitStatusOf(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class Endpoint : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::chmod(dir.path().c_str(), 0700), 0); }
    test::TempDir dir;
    const std::string socket = dir / "w.socket";
    const std::string lock = dir / "w.lock";
};

TEST_F(Endpoint, OneOwnerAtATimeAndACrashedOwnersSocketIsReplaced) {
    EXPECT_TRUE(IsPrivateDirectory(dir.path()));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0750), 0);
    EXPECT_FALSE(IsPrivateDirectory(dir.path())) << "others may enter it";
    ASSERT_EQ(::chmod(dir.path().c_str(), 0700), 0);
    EXPECT_FALSE(IsPrivateDirectory(dir / "missing"));
    EXPECT_FALSE(IsPrivateDirectory(""));

    EXPECT_FALSE(ConnectSameUser(socket)) << "nothing listens yet";
    {
        InstanceEndpoint first;
        ASSERT_EQ(first.TryListen(socket, lock), InstanceEndpoint::Claim::Listening);
        struct stat st {};
        ASSERT_EQ(::stat(socket.c_str(), &st), 0);
        EXPECT_TRUE(S_ISSOCK(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        InstanceEndpoint second;
        EXPECT_EQ(second.TryListen(socket, lock), InstanceEndpoint::Claim::Taken);
        EXPECT_EQ(second.listener(), -1);

        UniqueFd start = ConnectSameUser(socket);
        ASSERT_TRUE(start);
        UniqueFd taken = first.AcceptSameUser();
        ASSERT_TRUE(taken);
        EXPECT_FALSE(first.AcceptSameUser()) << "no second start waits";
        ASSERT_TRUE(SendFrame(start.get(), Bytes("command line")));
        SecureBytes message;
        EXPECT_EQ(ReceiveFrame(taken.get(), message, 1s), FrameStatus::Received);
        EXPECT_EQ(message, Bytes("command line"));
        ASSERT_TRUE(SendFrame(taken.get(), {}));
        EXPECT_EQ(ReceiveFrame(start.get(), message, 1s), FrameStatus::Received);
        EXPECT_TRUE(message.empty()) << "an empty message answers";
        EXPECT_EQ(ReceiveFrame(start.get(), message, 50ms), FrameStatus::TimedOut);
        taken.reset();
        EXPECT_EQ(ReceiveFrame(start.get(), message, 1s), FrameStatus::Closed);
    }
    EXPECT_NE(::access(socket.c_str(), F_OK), 0) << "a closed window removes its socket";

    // An owner that dies without closing leaves its socket; nothing answers there, and the next start
    // takes the place.
    const pid_t crashed = ::fork();
    if (crashed == 0) {
        InstanceEndpoint owner;
        ::_exit(owner.TryListen(socket, lock) == InstanceEndpoint::Claim::Listening ? 0 : 1);
    }
    ASSERT_EQ(ExitStatusOf(crashed), 0);
    ASSERT_EQ(::access(socket.c_str(), F_OK), 0) << "left behind";
    EXPECT_FALSE(ConnectSameUser(socket));
    InstanceEndpoint next;
    ASSERT_EQ(next.TryListen(socket, lock), InstanceEndpoint::Claim::Listening);
    EXPECT_TRUE(ConnectSameUser(socket));

    EXPECT_EQ(InstanceEndpoint().TryListen(dir / std::string(120, 'x'), lock), InstanceEndpoint::Claim::Failed)
        << "a path too long for a socket";
}

TEST_F(Endpoint, MessagesAreFramedAndBounded) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    UniqueFd one(pair[0]);
    UniqueFd two(pair[1]);
    SecureBytes message;
    EXPECT_FALSE(SendFrame(one.get(), SecureBytes(kMaxFrameSize + 1, 'x')));
    const std::uint8_t tooLong[4] = {0x01, 0x00, 0x10, 0x00}; // one byte more than a frame may hold
    ASSERT_EQ(::write(one.get(), tooLong, 4), 4);
    EXPECT_EQ(ReceiveFrame(two.get(), message, 1s), FrameStatus::Closed);
    const std::uint8_t halfOfIt[6] = {0x05, 0x00, 0x00, 0x00, 'a', 'b'};
    ASSERT_EQ(::write(one.get(), halfOfIt, 6), 6);
    EXPECT_EQ(ReceiveFrame(two.get(), message, 100ms), FrameStatus::TimedOut) << "three bytes still to come";
}

// A process of another user reaches the socket only where the test opens it to everyone: the window does
// not take it, and it does not take the window.
TEST_F(Endpoint, APeerOfAnotherUserIsRefusedOnBothSides) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs the superuser to become another user";
    InstanceEndpoint window;
    ASSERT_EQ(window.TryListen(socket, lock), InstanceEndpoint::Claim::Listening);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(socket.c_str(), 0666), 0);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t stranger = ::fork();
    if (stranger == 0) {
        ::close(ready[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        if (ConnectSameUser(socket))
            ::_exit(3); // the window is another user's
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        socket.copy(address.sun_path, socket.size());
        const int raw = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(raw, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            ::_exit(4);
        (void)!::write(ready[1], "c", 1);
        char byte;
        ::_exit(::read(raw, &byte, 1) == 0 ? 0 : 5); // closed by the window, nothing sent
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    EXPECT_FALSE(window.AcceptSameUser()) << "the stranger's first connection";
    EXPECT_FALSE(window.AcceptSameUser()) << "its second, which it waits on";
    EXPECT_EQ(ExitStatusOf(stranger), 0);
}

} // namespace
} // namespace vorlaxen
