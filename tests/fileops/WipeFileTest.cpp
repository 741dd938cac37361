// WipeFile and RemoveFile: what each path leaves in the directory.

#include "fileops/WipeFile.h"

#include "fileops/MakePath.h"
#include "fileops/RemoveFile.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {
namespace {

using test::Exists;
using test::PatternBytes;
using test::ReadFile;
using test::WriteFile;
using Names = std::vector<std::string>;

TEST(WipeFile, RemovesFilesOfAnySizeAndLeavesNothingBehind) {
    test::TempDir dir;
    for (std::size_t size : {0, 1, 1024, 2500, 100000}) {
        WriteFile(dir / "secret.txt", PatternBytes(size));
        EXPECT_EQ(WipeFile(dir / "secret.txt"), 0) << size;
        EXPECT_EQ(dir.names(), Names{}) << size;
    }
}

TEST(WipeFile, WipesAReadOnlyFile) {
    test::TempDir dir;
    test::RunWherePermissionsBind({dir.path()}, [&dir] {
        WriteFile(dir / "locked", PatternBytes(2500));
        ASSERT_EQ(::chmod((dir / "locked").c_str(), 0400), 0);
        EXPECT_EQ(WipeFile(dir / "locked"), 0);
        EXPECT_EQ(dir.names(), Names{});
    });
}

TEST(WipeFile, OverwritesInPlaceWithOneRepeatedRandomBuffer) {
    // A second hard link shows the file's bytes after the wipe renamed it; a file-size limit stops the
    // pass at 2048 bytes, before the truncation, so the overwritten bytes can be read back.
    test::TempDir dir;
    const auto original = std::vector<std::uint8_t>(3000, 0xAA);
    WriteFile(dir / "f", original);
    ASSERT_EQ(::link((dir / "f").c_str(), (dir / "witness").c_str()), 0);
    int result = test::RunWithFileSizeLimit(2048, [&] { return WipeFile(dir / "f") == 0 ? 0 : 1; });
    EXPECT_EQ(result, 1) << "a write that the system cuts short ends the wipe with failure";
    const auto seen = ReadFile(dir / "witness");
    ASSERT_EQ(seen.size(), 3000u);
    EXPECT_TRUE(std::equal(seen.begin(), seen.begin() + 1024, seen.begin() + 1024)) << "both pieces from one buffer";
    EXPECT_NE(std::vector<std::uint8_t>(seen.begin(), seen.begin() + 1024),
              std::vector<std::uint8_t>(original.begin(), original.begin() + 1024));
    EXPECT_EQ(dir.names(), (Names{"witness", "~"})) << "the failed wipe leaves the file under its last name";
}

TEST(WipeFile, AnExistingTildeFileStopsTheWipeAtTheSecondRename) {
    test::TempDir dir;
    WriteFile(dir / "~", "someone else's file");
    WriteFile(dir / "plain.txt", "plain text");
    EXPECT_EQ(WipeFile(dir / "plain.txt"), -2);
    EXPECT_EQ(dir.names(), (Names{"~", "~~~~~~~~.~~~"}));
    auto kept = ReadFile(dir / "~");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "someone else's file") << "never replaced";
}

TEST(RemoveFile, FallsBackToAPlainDeleteWhenTheFirstRenameFails) {
    test::TempDir dir;
    WriteFile(dir / "~~~~~~~~.~~~", "someone else's file");
    WriteFile(dir / "plain.txt", "plain text");
    EXPECT_EQ(WipeFile(dir / "plain.txt"), -2);
    EXPECT_TRUE(Exists(dir / "plain.txt")) << "the file keeps its name when the first rename fails";

    EXPECT_TRUE(RemoveFile(dir / "plain.txt", true));
    EXPECT_EQ(dir.names(), Names{"~~~~~~~~.~~~"});
    auto kept = ReadFile(dir / "~~~~~~~~.~~~");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "someone else's file");
}

TEST(RemoveFile, ReportsFalseWhenTheWipeFailsAfterTheFileWasMoved) {
    test::TempDir dir;
    WriteFile(dir / "~", "someone else's file");
    WriteFile(dir / "plain.txt", "plain text");
    EXPECT_FALSE(RemoveFile(dir / "plain.txt", true));
    EXPECT_EQ(dir.names(), (Names{"~", "~~~~~~~~.~~~"}));
}

TEST(WipeFile, NeverFollowsASymbolicLink) {
    test::TempDir dir;
    WriteFile(dir / "target", "keep me");
    ASSERT_EQ(::symlink("target", (dir / "link").c_str()), 0);
    EXPECT_EQ(WipeFile(dir / "link"), -2);
    auto kept = ReadFile(dir / "target");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "keep me");
    EXPECT_EQ(dir.names(), (Names{"link", "target"}));
}

TEST(RemoveFile, ShowsItsStatusTextsAndEndsIdle) {
    test::TempDir dir;
    std::vector<std::string> shown;
    auto record = [&shown](const std::string& text) { shown.push_back(text); };
    WriteFile(dir / "a", "x");
    EXPECT_TRUE(RemoveFile(dir / "a", true, record));
    WriteFile(dir / "b.cry", "x");
    ASSERT_EQ(::chmod((dir / "b.cry").c_str(), 0400), 0);
    EXPECT_TRUE(RemoveFile(dir / "b.cry", false, record));
    EXPECT_FALSE(RemoveFile(dir / "missing", false, record));
    EXPECT_EQ(shown,
              (std::vector<std::string>{"Wiping out the file " + (dir / "a") + " ...",
                                        "Idle.",
                                        "Deleting the file " + (dir / "b.cry") + " ...",
                                        "Idle.",
                                        "Deleting the file " + (dir / "missing") + " ...",
                                        "Idle."}));
    EXPECT_EQ(dir.names(), Names{});
}

TEST(MakePath, JoinsWithOneSeparator) {
    EXPECT_EQ(MakePath("/", "a.txt"), "/a.txt");
    EXPECT_EQ(MakePath("/home/docs", "a.txt"), "/home/docs/a.txt");
    EXPECT_EQ(MakePath("/home/docs/", "a.txt"), "/home/docs/a.txt");
    EXPECT_EQ(MakePath("", "a.txt"), "a.txt");
}

} // namespace
} // namespace vorlaxen
