#include "platform/FileSystem.h"

#include "platform/PendingFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
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

TEST(PendingFile, CommitReplacesTheTargetOnlyWhenComplete) {
    test::TempDir dir;
    WriteFile(dir / "target", "old");
    {
        PendingFile out(dir / "target");
        ASSERT_TRUE(out.create());
        ASSERT_TRUE(WriteFully(out.fd(), "new", 3));
        EXPECT_EQ(Text(dir / "target"), "old") << "the target is untouched while the output is written";
        EXPECT_EQ(dir.names().size(), 2u);
        EXPECT_EQ(test::ModeOf(out.temporaryPath()), 0600) << "an output in progress is private";
        EXPECT_EQ(out.commit(), PendingFile::Commit::Done);
    }
    EXPECT_EQ(Text(dir / "target"), "new");
    EXPECT_EQ(dir.names(), Names{"target"});
}

TEST(PendingFile, AnUncommittedOutputDisappears) {
    test::TempDir dir;
    WriteFile(dir / "target", "old");
    std::string removedBy;
    {
        PendingFile out(dir / "target");
        ASSERT_TRUE(out.create());
        ASSERT_TRUE(WriteFully(out.fd(), "partial", 7));
        out.discard([&removedBy](const std::string& path) {
            removedBy = path;
            return -2; // the remover fails: the file is unlinked all the same
        });
    }
    EXPECT_NE(removedBy.find("/.vorlaxen-"), std::string::npos);
    {
        PendingFile abandoned(dir / "target");
        ASSERT_TRUE(abandoned.create());
    }
    EXPECT_EQ(dir.names(), Names{"target"});
    EXPECT_EQ(Text(dir / "target"), "old");
}

TEST(PendingFile, CannotBeCreatedInAMissingDirectory) {
    test::TempDir dir;
    PendingFile out(dir / "missing/target");
    EXPECT_FALSE(out.create());
    EXPECT_EQ(dir.names(), Names{});
}

} // namespace
} // namespace vorlaxen
