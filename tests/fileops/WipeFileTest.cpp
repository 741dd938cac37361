// WipeFile and RemoveFile: what each path leaves in the directory, and the order of the wipe's system
// calls.

#include "fileops/WipeFile.h"

#include "fileops/MakePath.h"
#include "fileops/RemoveFile.h"
#include "fileops/StaleTemporaries.h"
#include "platform/FileSystem.h"
#include "support/ChildProcess.h"
#include "support/RecordingCalls.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

#include <atomic>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vorlaxen {
namespace {

using test::Exists;
using test::PatternBytes;
using test::ReadFile;
using test::RecordingCalls;
using test::WriteFile;
using Names = std::vector<std::string>;

std::string Text(const std::string& path) {
    auto bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(WipeFile, RemovesFilesOfAnySizeAndLeavesNothingBehind) {
    test::TempDir dir;
    for (std::size_t size : {0, 1, 1024, 2500, 100000}) {
        WriteFile(dir / "secret.txt", PatternBytes(size));
        EXPECT_EQ(WipeFile(dir / "secret.txt"), ResultCode::Ok) << size;
        EXPECT_EQ(dir.names(), Names{}) << size;
    }
}

TEST(WipeFile, WipesAReadOnlyFile) {
    test::TempDir dir;
    test::RunWherePermissionsBind({dir.path()}, [&dir] {
        WriteFile(dir / "locked", PatternBytes(2500));
        ASSERT_EQ(::chmod((dir / "locked").c_str(), 0400), 0);
        EXPECT_EQ(WipeFile(dir / "locked"), ResultCode::Ok);
        EXPECT_EQ(dir.names(), Names{});
    });
}

TEST(WipeFile, OverwritesAndFlushesBeforeItRenamesTruncatesAndDeletes) {
    // Until the overwrite is on disk the file keeps its name and its length: a crash before then leaves
    // the untouched file under its own name, a crash after it only overwritten bytes.
    test::TempDir dir;
    WriteFile(dir / "plain.txt", PatternBytes(2500));
    RecordingCalls calls;
    RemovalOptions options;
    options.calls = &calls;
    EXPECT_EQ(WipeFileAt(dir / "plain.txt", options), Removal::Removed);
    EXPECT_EQ(calls.calls,
              (Names{"open plain.txt",
                     "lock",
                     "write 2500",
                     "fdatasync",
                     "rename plain.txt ~~~~~~~~.~~~",
                     "rename ~~~~~~~~.~~~ ~",
                     "ftruncate 0",
                     "unlink ~",
                     "close"}));
    EXPECT_EQ(dir.names(), Names{});

    // An empty file is written nothing and truncated nothing.
    WriteFile(dir / "empty", "");
    calls.calls.clear();
    EXPECT_EQ(WipeFileAt(dir / "empty", options), Removal::Removed);
    EXPECT_EQ(calls.calls,
              (Names{"open empty", "lock", "rename empty ~~~~~~~~.~~~", "rename ~~~~~~~~.~~~ ~", "unlink ~", "close"}));
}

TEST(WipeFile, OverwritesInPlaceWithOneRepeatedRandomBuffer) {
    // A second hard link shows the file's bytes after the wipe; a file-size limit stops the pass at 150000
    // bytes (past the pieces in which it is written), so the overwritten bytes can be read back.
    test::TempDir dir;
    const auto original = std::vector<std::uint8_t>(200000, 0xAA);
    WriteFile(dir / "f", original);
    ASSERT_EQ(::link((dir / "f").c_str(), (dir / "witness").c_str()), 0);
    int result = test::RunWithFileSizeLimit(150000, [&] { return WipeFile(dir / "f") == ResultCode::Ok ? 0 : 1; });
    EXPECT_EQ(result, 1) << "a write that the system cuts short ends the wipe with failure";
    const auto seen = ReadFile(dir / "witness");
    ASSERT_EQ(seen.size(), original.size());
    for (std::size_t at = 1024; at + 1024 <= 150000; at += 1024)
        ASSERT_TRUE(std::equal(seen.begin(), seen.begin() + 1024, seen.begin() + static_cast<std::ptrdiff_t>(at)))
            << "every piece from one buffer, at " << at;
    EXPECT_NE(std::vector<std::uint8_t>(seen.begin(), seen.begin() + 1024),
              std::vector<std::uint8_t>(original.begin(), original.begin() + 1024));
    EXPECT_TRUE(std::equal(seen.begin() + 150000, seen.end(), original.begin() + 150000)) << "the rest untouched";
    EXPECT_EQ(dir.names(), (Names{"f", "witness"})) << "a file that was not overwritten keeps its name";
}

TEST(WipeFile, TildeNeighboursNeverStopTheWipeAndAreNeverReplaced) {
    test::TempDir dir;
    for (const Names& neighbours : {Names{"~"}, Names{"~~~~~~~~.~~~"}, Names{"~", "~~~~~~~~.~~~"}}) {
        for (const std::string& name : neighbours)
            WriteFile(dir / name, "someone else's " + name);
        WriteFile(dir / "plain.txt", "plain text");
        EXPECT_EQ(WipeFile(dir / "plain.txt"), ResultCode::Ok);
        EXPECT_EQ(dir.names(), neighbours);
        for (const std::string& name : neighbours) {
            EXPECT_EQ(Text(dir / name), "someone else's " + name);
            ASSERT_EQ(::unlink((dir / name).c_str()), 0);
        }
    }
}

TEST(RemoveFile, APlainFileThatCannotBeOverwrittenIsKeptAndReported) {
    test::TempDir dir;
    WriteFile(dir / "plain.txt", "plain text");
    ASSERT_EQ(::chmod((dir / "plain.txt").c_str(), 0444), 0);
    RecordingCalls calls;
    calls.failing = "write";
    RemovalOptions options;
    options.calls = &calls;
    EXPECT_EQ(RemoveFileAt(dir / "plain.txt", true, {}, options), Removal::NotOverwritten);
    EXPECT_EQ(dir.names(), Names{"plain.txt"}) << "never deleted unwiped";
    EXPECT_EQ(Text(dir / "plain.txt"), "plain text");
    EXPECT_EQ(test::ModeOf(dir / "plain.txt"), 0444) << "its permissions given back";
    EXPECT_EQ(std::count(calls.calls.begin(), calls.calls.end(), "unlink plain.txt"), 0);
}

TEST(RemoveFile, LinksPipesLockedAndChangedFilesAreLeftAlone) {
    test::TempDir dir;
    WriteFile(dir / "target", "keep me");
    ASSERT_EQ(::symlink("target", (dir / "link").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    for (bool wipe : {true, false}) {
        EXPECT_EQ(RemoveFileAt(dir / "link", wipe), Removal::NotRegular);
        EXPECT_EQ(RemoveFileAt(dir / "pipe", wipe), Removal::NotRegular) << "refused without waiting for a writer";
        EXPECT_EQ(RemoveFileAt(dir / "missing", wipe), Removal::Missing);
        test::FileLock held(dir / "target");
        ASSERT_TRUE(held.locked());
        EXPECT_EQ(RemoveFileAt(dir / "target", wipe), Removal::InUse);
    }
    EXPECT_EQ(WipeFile(dir / "link"), ResultCode::CannotOpen);
    struct stat st;
    ASSERT_EQ(::stat((dir / "target").c_str(), &st), 0);
    FileIdentity other = FileIdentity::Of(st);
    other.size += 1;
    RemovalOptions expecting;
    expecting.expected = &other;
    // Also where the caller holds the file's lock, and the file is only looked at, not opened again.
    for (bool lock : {true, false}) {
        expecting.lock = lock;
        EXPECT_EQ(WipeFileAt(dir / "target", expecting), Removal::Changed);
        EXPECT_EQ(DeleteFileAt(dir / "target", expecting), Removal::Changed);
    }
    EXPECT_EQ(Text(dir / "target"), "keep me");
    EXPECT_EQ(dir.names(), (Names{"link", "pipe", "target"}));
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

TEST(StaleTemporaries, OnlyOursThatNobodyHoldsAreWipedAway) {
    test::TempDir dir;
    WriteFile(dir / ".vorlaxen-Ab3xY9", "plain prefix left by a crash");
    WriteFile(dir / ".vorlaxen-held00", "an output being written");
    WriteFile(dir / ".vorlaxen-toolong", "not one of ours");
    WriteFile(dir / "report.txt", "the user's");
    ASSERT_EQ(::link((dir / ".vorlaxen-Ab3xY9").c_str(), (dir / "witness").c_str()), 0);
    test::FileLock held(dir / ".vorlaxen-held00");
    ASSERT_TRUE(held.locked());
    EXPECT_EQ(RemoveStaleTemporaries(dir.path()), 1u);
    EXPECT_EQ(dir.names(), (Names{".vorlaxen-held00", ".vorlaxen-toolong", "report.txt", "witness"}));
    EXPECT_EQ(ReadFile(dir / "witness").size(), 0u) << "overwritten and truncated, not merely unlinked";

    // A temporary that its holder names and lets go between the look at it and its lock is no leftover.
    WriteFile(dir / ".vorlaxen-Named1", "an output being committed");
    RecordingCalls naming;
    naming.onCall = [&](const std::string& call, int) {
        if (call == "lock")
            ::rename((dir / ".vorlaxen-Named1").c_str(), (dir / "named.txt").c_str());
        return true;
    };
    RemovalOptions tidy;
    tidy.hideName = false;
    tidy.calls = &naming;
    EXPECT_EQ(WipeFileAt(dir / ".vorlaxen-Named1", tidy), Removal::Changed);
    EXPECT_EQ(Text(dir / "named.txt"), "an output being committed");

    // Outputs made under temporary names and named, while another operation tidies the directory: one
    // tidied away before it is held takes another name, and one named meanwhile is never taken for a
    // leftover once its holder lets it go.
    std::atomic<bool> writing{true};
    std::thread tidying([&] {
        while (writing)
            RemoveStaleTemporaries(dir.path());
    });
    constexpr int kOutputs = 1000;
    int committed = 0;
    for (int i = 0; i < kOutputs; ++i) {
        std::string temporary;
        const UniqueFd fd = CreateTemporaryBeside(dir / "out", temporary);
        const std::string out = dir / ("out" + std::to_string(i));
        committed += fd && ::write(fd.get(), "x", 1) == 1 && ::rename(temporary.c_str(), out.c_str()) == 0;
    }
    writing = false;
    tidying.join();
    EXPECT_EQ(committed, kOutputs);
    int whole = 0;
    for (int i = 0; i < kOutputs; ++i)
        whole += Exists(dir / ("out" + std::to_string(i))) && Text(dir / ("out" + std::to_string(i))) == "x";
    EXPECT_EQ(whole, kOutputs);
}

TEST(MakePath, JoinsWithOneSeparator) {
    EXPECT_EQ(MakePath("/", "a.txt"), "/a.txt");
    EXPECT_EQ(MakePath("/home/docs", "a.txt"), "/home/docs/a.txt");
    EXPECT_EQ(MakePath("/home/docs/", "a.txt"), "/home/docs/a.txt");
    EXPECT_EQ(MakePath("", "a.txt"), "a.txt");
}

} // namespace
} // namespace vorlaxen
