#include "platform/FileSystem.h"

#include "platform/BackgroundFlush.h"
#include "platform/BufferedReader.h"
#include "platform/PendingFile.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
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
        for (std::size_t at = 0; at < bytes.size(); at += 10240)
            ASSERT_TRUE(out.write(bytes.data() + at, std::min<std::size_t>(10240, bytes.size() - at)));
        const std::uint8_t mark[4] = {'m', 'a', 'r', 'k'};
        ASSERT_TRUE(out.writeAt(mark, sizeof mark, 8));
        EXPECT_EQ(out.commit(), PendingFile::Commit::Done);
    }
    auto expected = bytes;
    std::memcpy(expected.data() + 8, "mark", 4);
    EXPECT_TRUE(test::ReadFile(dir / "target") == expected);
    EXPECT_EQ(dir.names(), Names{"target"});
}

TEST(BackgroundFlush, FlushesAFileWhereItCanAndOnlyReportsFailures) {
    test::TempDir dir;
    WriteFile(dir / "file", "data");
    UniqueFd fd(::open((dir / "file").c_str(), O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(fd);
    BackgroundFlush flush;
    (void)flush.start(fd.get()); // where the system offers asynchronous I/O
    EXPECT_TRUE(flush.finish());
    EXPECT_FALSE(flush.running());

    // A pipe cannot be flushed: nothing is started, and nothing failed.
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    BackgroundFlush unsupported;
    EXPECT_FALSE(unsupported.start(pipe[1]));
    EXPECT_TRUE(unsupported.finish());
    ::close(pipe[0]);
    ::close(pipe[1]);
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
    while (bytes.size() - at >= 10240) {
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
