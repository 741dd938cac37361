#include "platform/FileSystem.h"

#include "platform/BackgroundFlush.h"
#include "platform/BufferedReader.h"
#include "platform/PendingFile.h"
#include "support/TempDir.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <span>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace vorlaxen {
namespace {

using Names = std::vector<std::string>;
using test::ReadFile;
using test::WriteFile;

std::string Text(const std::string& path) {
    auto bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(RenameNoReplace, NeverReplacesAnExistingFile) {
    test::TempDir dir;
    WriteFile(dir / "a", "A");
    WriteFile(dir / "b", "B");
    EXPECT_FALSE(RenameNoReplace(dir / "a", dir / "b"));
    EXPECT_EQ(Text(dir / "b"), "B");
    EXPECT_TRUE(RenameNoReplace(dir / "a", dir / "c"));
    EXPECT_EQ(dir.names(), (Names{"b", "c"}));
}

TEST(Paths, DirectoryAndFileName) {
    EXPECT_EQ(DirectoryOf("/home/u/a.txt"), "/home/u");
    EXPECT_EQ(DirectoryOf("/a.txt"), "/");
    EXPECT_EQ(DirectoryOf("a.txt"), "");
    EXPECT_EQ(FileNameOf("/home/u/a.txt"), "a.txt");
    EXPECT_EQ(FileNameOf("a.txt"), "a.txt");
    EXPECT_EQ(FileNameOf("/home/u/"), "");
}

// Outputs are unnamed files where the file system allows them; the named form is what a file system
// without them gets, made here through the variable that forces it.
class PendingOutputs : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (named())
            ::setenv("VORLAXEN_TEST_NAMED_TEMPORARIES", "1", 1);
    }
    void TearDown() override { ::unsetenv("VORLAXEN_TEST_NAMED_TEMPORARIES"); }
    bool named() const { return GetParam(); }
    test::TempDir dir;
};

INSTANTIATE_TEST_SUITE_P(Forms, PendingOutputs, ::testing::Bool(), [](const auto& form) {
    return form.param ? std::string("Named") : std::string("Unnamed");
});

TEST_P(PendingOutputs, CommitReplacesTheTargetOnlyWhenComplete) {
    WriteFile(dir / "target", "old");
    {
        PendingFile out(dir / "target");
        ASSERT_TRUE(out.create());
        EXPECT_EQ(out.unnamed(), !named());
        ASSERT_TRUE(WriteFully(out.fd(), "new", 3));
        EXPECT_EQ(Text(dir / "target"), "old") << "the target is untouched while the output is written";
        struct stat st;
        ASSERT_EQ(::fstat(out.fd(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << "an output in progress is private";
        if (named()) {
            EXPECT_EQ(dir.names().size(), 2u);
            EXPECT_TRUE(IsTemporaryName(FileNameOf(out.temporaryPath()))) << out.temporaryPath();
            test::FileLock other(out.temporaryPath());
            EXPECT_FALSE(other.locked()) << "a named output is locked while it is held";
        } else {
            EXPECT_EQ(dir.names(), Names{"target"}) << "an unnamed output is nowhere in the directory";
        }
        EXPECT_EQ(out.commit(), PendingFile::Commit::Done);
    }
    EXPECT_EQ(Text(dir / "target"), "new");
    EXPECT_EQ(dir.names(), Names{"target"});
}

TEST_P(PendingOutputs, AnUncommittedOutputDisappearsOverwrittenWhenAsked) {
    WriteFile(dir / "target", "old");
    int overwritten = -1;
    {
        PendingFile out(dir / "target");
        ASSERT_TRUE(out.create());
        ASSERT_TRUE(WriteFully(out.fd(), "partial", 7));
        out.discard([&overwritten](int fd) {
            overwritten = fd;
            return false; // the overwrite fails: the output goes all the same
        });
    }
    EXPECT_GE(overwritten, 0);
    {
        PendingFile abandoned(dir / "target");
        ASSERT_TRUE(abandoned.create());
        ASSERT_TRUE(abandoned.write("data", 4));
    }
    EXPECT_EQ(dir.names(), Names{"target"});
    EXPECT_EQ(Text(dir / "target"), "old");
}

TEST_P(PendingOutputs, ATargetThatAppearedIsLeftAloneUnlessReplacingWasAllowed) {
    {
        PendingFile out(dir / "target");
        ASSERT_TRUE(out.create());
        ASSERT_TRUE(out.write("ours", 4));
        WriteFile(dir / "target", "someone else's");
        EXPECT_EQ(out.commit(false), PendingFile::Commit::TargetExists);
    }
    EXPECT_EQ(Text(dir / "target"), "someone else's");
    EXPECT_EQ(dir.names(), Names{"target"});

    PendingFile fresh(dir / "other");
    ASSERT_TRUE(fresh.create());
    ASSERT_TRUE(fresh.write("ours", 4));
    EXPECT_EQ(fresh.commit(false), PendingFile::Commit::Done);
    EXPECT_EQ(Text(dir / "other"), "ours");
    EXPECT_EQ(UnnamedFilesIn(dir.path()), !named());
}

// Large enough to be written to disk in a few steps, flushed in the background and partly released from
// the page cache before it is committed.
TEST_P(PendingOutputs, ALargeOutputWrittenInStepsReachesItsTargetWhole) {
    const auto bytes = test::PatternBytes((std::size_t{25} << 20) + 4321, 3);
    {
        PendingFile out(dir / "target");
        ASSERT_TRUE(out.create());
        // Small pieces go through the buffer, a large one meeting an empty buffer goes to the file as it is;
        // every third piece is written in place, in the room the buffer offers, which its end cuts.
        const std::size_t pieces[] = {10240, 300000, 131072, 7, 10240, 10240};
        for (std::size_t at = 0, i = 0; at < bytes.size(); at += pieces[i++ % std::size(pieces)]) {
            const std::size_t n = std::min(pieces[i % std::size(pieces)], bytes.size() - at);
            if (i % 3 != 2) {
                ASSERT_TRUE(out.write(bytes.data() + at, n));
                continue;
            }
            for (std::size_t done = 0; done < n;) {
                const std::span<std::uint8_t> room = out.room(n - done);
                ASSERT_FALSE(room.empty());
                ASSERT_LE(room.size(), n - done);
                std::memcpy(room.data(), bytes.data() + at + done, room.size());
                out.filled(room.size());
                done += room.size();
            }
        }
        const std::uint8_t mark[4] = {'m', 'a', 'r', 'k'};
        ASSERT_TRUE(out.writeAt(mark, sizeof mark, 8));
        EXPECT_EQ(out.commit(), PendingFile::Commit::Done);
    }
    auto expected = bytes;
    std::memcpy(expected.data() + 8, "mark", 4);
    EXPECT_TRUE(test::ReadFile(dir / "target") == expected);
    EXPECT_EQ(dir.names(), Names{"target"});
}

// The number of descriptors this process has open on files in the file system (the thread's flush
// queue, an anonymous one, stays open with the thread).
std::size_t OpenFiles() {
    std::size_t count = 0;
    if (UniqueDir fds = OpenDirectory("/proc/self/fd"))
        while (const dirent* entry = ::readdir(fds.get())) {
            char target[256] = {};
            const std::string link = std::string("/proc/self/fd/") + entry->d_name;
            count += ::readlink(link.c_str(), target, sizeof target - 1) > 0 && target[0] == '/';
        }
    return count;
}

// On the test's file system and on tmpfs (which flushes nothing), where the system offers asynchronous
// flushes: one flush of the thread at a time, each through a descriptor of its own that is closed again.
TEST(BackgroundFlush, FlushesOneFileOfTheThreadAtATimeAndLeavesNothingOpen) {
    test::TempDir dir;
    const std::size_t open = OpenFiles();
    for (const std::string& where : {dir.path(), std::string("/dev/shm")}) {
        SCOPED_TRACE(where);
        std::string first = where + "/flush-XXXXXX", second = first;
        UniqueFd a(::mkstemp(first.data())), b(::mkstemp(second.data()));
        if (!a || !b) {
            ASSERT_NE(where, dir.path());
            continue;
        }
        ::unlink(first.c_str());
        ::unlink(second.c_str());
        ASSERT_TRUE(WriteFully(a.get(), "data", 4) && WriteFully(b.get(), "data", 4));
        BackgroundFlush one, other;
        if (one.start(a.get())) {
            EXPECT_FALSE(one.start(a.get())) << "a flush at a time";
            if (one.running()) {
                EXPECT_FALSE(other.start(b.get())) << "the thread's queue is lent";
            }
            EXPECT_TRUE(one.finish());
            EXPECT_FALSE(one.running());
            EXPECT_TRUE(other.start(b.get())) << "the queue is free again";
        }
        EXPECT_TRUE(other.finish());
        EXPECT_TRUE(one.finish());
    }
    EXPECT_EQ(OpenFiles(), open);

    // A descriptor that cannot be opened again: nothing is started, and nothing failed.
    BackgroundFlush unavailable;
    UniqueFd closed(::open(dir.path().c_str(), O_RDONLY | O_CLOEXEC));
    const int number = closed.get();
    closed.reset();
    EXPECT_FALSE(unavailable.start(number));
    EXPECT_FALSE(unavailable.running());
    EXPECT_TRUE(unavailable.finish());
}

// From now on, the system refuses the call `number` to this process, as a container's filter does.
bool Refuse(int number) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(number), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program = {static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Whether a background flush of a new file in `dir` starts as `expected`, and nothing fails, on a fresh
// thread (whose queue is made anew).
bool FlushStartsOnANewThread(const std::string& dir, bool expected) {
    bool ok = false;
    std::thread([&] {
        std::string name = dir + "/flush-XXXXXX";
        UniqueFd fd(::mkstemp(name.data()));
        BackgroundFlush flush;
        ok = fd && WriteFully(fd.get(), "data", 4) && flush.start(fd.get()) == expected && flush.finish();
    }).join();
    return ok;
}

// Where the system refuses io_uring, the flushes go through asynchronous I/O; where it refuses that too,
// none is started, and a large output still reaches its target whole.
TEST(BackgroundFlushDeathTest, FallsBackWhereTheSystemRefusesItsQueues) {
    if (::prctl(PR_GET_SECCOMP, 0, 0, 0, 0) < 0)
        GTEST_SKIP() << "the system filters no calls";
    test::TempDir dir;
    const auto bytes = test::PatternBytes((std::size_t{20} << 20) + 5, 5);
    EXPECT_EXIT(
        {
            bool ok = Refuse(SYS_io_uring_setup) && FlushStartsOnANewThread(dir.path(), true) && Refuse(SYS_io_setup) &&
                      FlushStartsOnANewThread(dir.path(), false);
            std::thread([&] {
                PendingFile out(dir / "target");
                ok = ok && out.create();
                for (std::size_t at = 0; ok && at < bytes.size(); at += 10240)
                    ok = out.write(bytes.data() + at, std::min<std::size_t>(10240, bytes.size() - at));
                ok = ok && out.commit() == PendingFile::Commit::Done;
            }).join();
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0),
        "");
    EXPECT_TRUE(ReadFile(dir / "target") == bytes);
}

TEST(BufferedReader, HandsOutTheFileInPiecesAcrossItsBuffer) {
    test::TempDir dir;
    // Pieces of 10240 bytes after a 43-byte start cross the buffer's end at varying places.
    const auto bytes = test::PatternBytes(700001, 4);
    WriteFile(dir / "file", bytes);
    UniqueFd fd(::open((dir / "file").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd);
    BufferedReader reader(fd.get());
    ASSERT_TRUE(reader);
    std::uint8_t start[43];
    ASSERT_EQ(reader.read(start, sizeof start), 43);
    EXPECT_TRUE(std::equal(start, start + 43, bytes.begin()));
    EXPECT_EQ(reader.take(reader.capacity() + 1), nullptr) << "a piece larger than the buffer";
    std::size_t at = 43;
    std::vector<std::uint8_t> direct(300000);
    for (int i = 0; bytes.size() - at >= 10240; ++i) {
        // Now and then a piece larger than the buffer, read past it: what is buffered, then the file.
        if (i % 20 == 7 && bytes.size() - at > direct.size() + 10240) {
            ASSERT_EQ(reader.readDirect(direct.data(), direct.size()), static_cast<ssize_t>(direct.size()));
            ASSERT_TRUE(std::equal(direct.begin(), direct.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at)))
                << at;
            at += direct.size();
            continue;
        }
        std::uint8_t* piece = reader.take(10240);
        ASSERT_NE(piece, nullptr) << at;
        ASSERT_TRUE(std::equal(piece, piece + 10240, bytes.begin() + static_cast<std::ptrdiff_t>(at))) << at;
        std::memset(piece, 0, 10240); // changed in place; what follows is untouched
        at += 10240;
    }
    const std::size_t rest = bytes.size() - at;
    EXPECT_EQ(reader.take(rest + 1), nullptr) << "the file ends before the piece";
    std::vector<std::uint8_t> tail(rest + 100);
    EXPECT_EQ(reader.read(tail.data(), tail.size()), static_cast<ssize_t>(rest));
    EXPECT_TRUE(std::equal(tail.begin(),
                           tail.begin() + static_cast<std::ptrdiff_t>(rest),
                           bytes.begin() + static_cast<std::ptrdiff_t>(at)));
    EXPECT_EQ(reader.read(tail.data(), 1), 0);
    reader.release();
    EXPECT_EQ(reader.read(tail.data(), 1), -1) << "a released reader reads no more";

    UniqueFd directory(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    BufferedReader failing(directory.get());
    EXPECT_EQ(failing.read(tail.data(), 1), -1);
    EXPECT_EQ(failing.take(1), nullptr);
}

TEST(PendingFile, CannotBeCreatedInAMissingDirectory) {
    test::TempDir dir;
    PendingFile out(dir / "missing/target");
    EXPECT_FALSE(out.create());
    EXPECT_EQ(dir.names(), Names{});
}

} // namespace
} // namespace vorlaxen
