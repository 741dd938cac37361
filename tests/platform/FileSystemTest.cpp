#include "platform/FileSystem.h"

#include "platform/PendingFile.h"
#include "support/TempDir.h"

#include <cstdlib>
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

TEST(PendingFile, CannotBeCreatedInAMissingDirectory) {
    test::TempDir dir;
    PendingFile out(dir / "missing/target");
    EXPECT_FALSE(out.create());
    EXPECT_EQ(dir.names(), Names{});
}

} // namespace
} // namespace vorlaxen
