// The single-file operation over recorded system calls: in the grouped path (Write, then CompleteGroup)
// when each source is overwritten and what a flush that fails leaves; a re-keyed container that the disk
// gives back otherwise than it was written.

#include "fileops/SingleFileOperation.h"

#include "support/RecordingCalls.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;
using test::Exists;
using test::ReadFile;

class QuietFrontEnd : public SingleFileFrontEnd {
public:
    bool MayReplace(const std::string&) override { return false; }
    void ShowStatus(const std::string&) override {}
    void ShowError(const std::string& text) override { shown.push_back(text); }
    void ReportResult(ResultCode code, const std::string& name) override {
        shown.push_back(name + ": " + std::to_string(static_cast<int>(code)));
    }
    void EngineStarting(Direction) override {}
    void EngineFinished(Direction) override {}

    Names shown;
};

// The file a descriptor leads to, as the system names it.
std::string PathOf(int fd) {
    char link[4096];
    const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link, sizeof link);
    return n > 0 ? std::string(link, static_cast<std::size_t>(n)) : std::string();
}

TEST(GroupedFiles, NoSourceIsOverwrittenBeforeItsContainersNameIsOnDiskAndAFailedFlushKeepsTheSources) {
    // The flushes of one kind of descriptor fail: the outputs', the directory's, or the wipes' passes'.
    for (const std::string failing : {"", "output", "directory", "source"}) {
        SCOPED_TRACE("failing flushes: " + failing);
        test::TempDir dir;
        const Names names = {"a", "b", "c"};
        std::vector<Bytes> plains;
        for (std::size_t i = 0; i < names.size(); ++i) {
            plains.push_back(test::PatternBytes(30000 + 1000 * i, static_cast<std::uint32_t>(i + 1)));
            test::WriteFile(dir / names[i], plains[i]);
        }
        TKX_Pwd pwd;
        pwd.SetPassword("group-password");
        QuietFrontEnd frontEnd;
        SingleFileOperation operation(pwd, frontEnd);
        test::RecordingCalls calls; // a wipe left unfinished closes its file through them as the files go
        std::vector<SingleFileJob> jobs(names.size());
        std::vector<std::unique_ptr<SingleFileOperation::GroupedFile>> written;
        std::vector<SingleFileOperation::GroupedFile*> group;
        for (std::size_t i = 0; i < names.size(); ++i) {
            jobs[i].source = dir / names[i];
            jobs[i].name = names[i];
            SingleFileOutcome ended;
            written.push_back(operation.Write(Direction::Encrypt, jobs[i], ended));
            ASSERT_TRUE(written.back()) << names[i];
            group.push_back(written.back().get());
        }

        // A flush of the file system, or of the directory, brings the containers' names that are there
        // by then to disk. A source is written to only by its wipe.
        std::set<std::string> namesOnDisk;
        Names overwrittenTooSoon;
        calls.onCall = [&](const std::string& call, int fd) {
            struct stat st;
            const bool directory = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
            const std::string path = fd >= 0 ? PathOf(fd) : std::string();
            const bool source = path.rfind(dir.path() + "/", 0) == 0 && Exists(path) && !directory;
            const char* kind = directory ? "directory" : source ? "source" : "output";
            const bool flush = call == "syncfs" || call == "fsync" || call == "sync_file_range";
            if (flush && kind == failing)
                return false;
            if (call == "syncfs" || (call == "fsync" && directory))
                for (const std::string& name : names)
                    if (Exists(dir / (name + ".cry")))
                        namesOnDisk.insert(name);
            if (source && call.rfind("write ", 0) == 0 && !namesOnDisk.count(FileNameOf(path)))
                overwrittenTooSoon.push_back(FileNameOf(path));
            return true;
        };
        SingleFileOperation::CompleteGroup(group, calls);
        EXPECT_EQ(overwrittenTooSoon, Names{});

        Names left;
        Names shown;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const SingleFileOutcome& outcome = written[i]->outcome();
            if (failing.empty()) {
                EXPECT_EQ(outcome.status, SingleFileStatus::Done) << names[i];
                left.push_back(names[i] + ".cry");
                continue;
            }
            left.push_back(names[i]);
            if (failing == "output") {
                EXPECT_EQ(outcome.status, SingleFileStatus::Failed) << names[i];
                EXPECT_EQ(outcome.code, ResultCode::WriteFailed) << names[i];
                shown.push_back(names[i] + ": -15");
            } else {
                // The container is complete, but its source stays: under its own name, and untouched when
                // the container's name may not be on disk.
                EXPECT_EQ(outcome.status, SingleFileStatus::SourceKept) << names[i];
                left.push_back(names[i] + ".cry");
                shown.push_back("Unable to delete file " + names[i] + " from the list of non encrypted files.");
            }
            if (failing != "source") {
                EXPECT_TRUE(Exists(dir / names[i]) && ReadFile(dir / names[i]) == plains[i]) << names[i] << " kept";
            }
        }
        EXPECT_EQ(dir.names(), left);
        EXPECT_EQ(frontEnd.shown, shown);
    }
}

TEST(Rekeying, ANewContainerThatDoesNotReadBackAsWrittenLeavesTheOldOneAsItWas) {
    // The disk gives back one byte other than was written, between the new container's writing and its
    // check: the check must come before the old container is replaced.
    test::TempDir dir;
    test::WriteFile(dir / "a", test::PatternBytes(30000, 4));
    TKX_Pwd current;
    current.SetPassword("old-pass");
    ASSERT_EQ(current.EncryptFile(dir / "a", CipherMethod::Idea), ResultCode::Ok);
    ASSERT_EQ(::unlink((dir / "a").c_str()), 0);
    const Bytes old = ReadFile(dir / "a.cry");
    test::RecordingCalls calls;
    calls.onCall = [](const std::string& call, int fd) {
        const std::uint8_t changed = 0x5A;
        return call != "fsync" || ::pwrite(fd, &changed, 1, 20000) == 1;
    };
    QuietFrontEnd frontEnd;
    SingleFileOperation operation(current, frontEnd, calls);
    SingleFileJob job;
    job.source = dir / "a.cry";
    job.name = "a.cry";
    job.keepMethod = true;
    job.newPassword = [](TKX_Pwd& next) {
        next.SetPassword("new-pass");
        return true;
    };
    const SingleFileOutcome outcome = operation.Rekey(job);
    EXPECT_EQ(outcome.status, SingleFileStatus::Failed);
    EXPECT_EQ(outcome.code, ResultCode::WriteFailed);
    EXPECT_EQ(frontEnd.shown,
              Names{"The new container of " + (dir / "a.cry") +
                    " does not read back as it was written; the old one has been left as it was."});
    EXPECT_EQ(calls.calls, Names{"fsync"});
    EXPECT_EQ(dir.names(), Names{"a.cry"});
    EXPECT_EQ(ReadFile(dir / "a.cry"), old);
}

} // namespace
} // namespace vorlaxen
