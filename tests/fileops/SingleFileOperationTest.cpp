// The single-file operation over recorded system calls: in the grouped path (Write, then CompleteGroup)
// when each source is overwritten and what a flush that fails leaves; a re-keyed container that the disk
// gives back otherwise than it was written. The modification times a round trip carries, and the streams.

#include "fileops/SingleFileOperation.h"

#include "support/RecordingCalls.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <thread>
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
        bool appended = false;
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
            // Once the containers' names are on disk, before the sources go, another program appends to b.
            if (failing.empty() && directory && !appended) {
                appended = true;
                const UniqueFd b(::open((dir / "b").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
                const std::string more = "appended meanwhile";
                EXPECT_EQ(::write(b.get(), more.data(), more.size()), static_cast<ssize_t>(more.size()));
            }
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
            if (failing.empty() && names[i] == "b") {
                // Kept as it is now, and the container of its older state gone.
                EXPECT_EQ(outcome.code, ResultCode::SourceChanged);
                Bytes now = plains[i];
                const std::string more = "appended meanwhile";
                now.insert(now.end(), more.begin(), more.end());
                EXPECT_EQ(ReadFile(dir / "b"), now);
                left.push_back("b");
                shown.push_back("b: -19");
                continue;
            }
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

// The modification time of a file, to the nanosecond; -1 when there is none.
std::int64_t ModifiedAt(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec : -1;
}

void SetModified(const std::string& path, std::int64_t at) {
    const timespec times[2] = {{0, UTIME_OMIT}, {at / 1000000000LL, at % 1000000000LL}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// A file and its container carry the time of the file's last change, alone and in a group, into the
// naming rule's target and into one chosen; an output named by the caller keeps the source as asked.
TEST(Dates, SurviveTheRoundTripAloneGroupedAndIntoANamedOutput) {
    test::TempDir dir;
    const Bytes plain = test::PatternBytes(25000, 7);
    test::WriteFile(dir / "photo.jpg", plain);
    const std::int64_t taken = 981173106123456789LL; // 2001-02-03, with nanoseconds
    SetModified(dir / "photo.jpg", taken);
    TKX_Pwd pwd;
    pwd.SetPassword("dated-pw");
    QuietFrontEnd frontEnd;
    SingleFileOperation operation(pwd, frontEnd);
    SingleFileJob job;
    job.source = dir / "photo.jpg";
    job.name = "photo.jpg";
    ASSERT_TRUE(operation.Encrypt(job).SourceRemoved());
    EXPECT_EQ(ModifiedAt(dir / "photo.jpg.cry"), taken);

    const std::int64_t copied = 1262304000500000000LL; // 2010-01-01, the container copied since
    SetModified(dir / "photo.jpg.cry", copied);
    job.source = dir / "photo.jpg.cry";
    job.target = dir / "elsewhere.jpg";
    job.keepSource = true;
    ASSERT_TRUE(operation.Decrypt(job).Written());
    EXPECT_EQ(ReadFile(dir / "elsewhere.jpg"), plain);
    EXPECT_EQ(ModifiedAt(dir / "elsewhere.jpg"), copied);
    EXPECT_EQ(dir.names(), (Names{"elsewhere.jpg", "photo.jpg.cry"}));

    job.target.clear();
    job.keepSource = false;
    SingleFileOutcome ended;
    auto grouped = operation.Write(Direction::Decrypt, job, ended);
    ASSERT_TRUE(grouped);
    SingleFileOperation::CompleteGroup({grouped.get()});
    EXPECT_TRUE(grouped->outcome().SourceRemoved());
    EXPECT_EQ(ModifiedAt(dir / "photo.jpg"), copied);
}

// Standard input encrypted into a named container that takes a new file's permissions, and a container
// decrypted to a stream: only read (a read-only one keeps its mode), kept, and nothing else written.
TEST(Streams, EncryptStandardInputIntoANamedOutputAndDecryptToAStream) {
    test::TempDir dir;
    const Bytes plain = test::PatternBytes(70000, 9);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], plain.data(), plain.size() / 2), static_cast<ssize_t>(plain.size() / 2));
    std::thread writer([&] {
        (void)WriteFully(fds[1], plain.data() + plain.size() / 2, plain.size() - plain.size() / 2);
        ::close(fds[1]);
    });
    TKX_Pwd pwd;
    pwd.SetPassword("piped-pw");
    QuietFrontEnd frontEnd;
    SingleFileOperation operation(pwd, frontEnd);
    SingleFileJob job;
    job.source = "-";
    job.name = "(standard input)";
    job.target = dir / "data.cry";
    job.sourceStream = fds[0];
    const mode_t mask = ::umask(027);
    const SingleFileOutcome encrypted = operation.Encrypt(job);
    ::umask(mask);
    writer.join();
    ::close(fds[0]);
    EXPECT_EQ(encrypted.status, SingleFileStatus::Done);
    EXPECT_EQ(dir.names(), Names{"data.cry"});
    EXPECT_EQ(test::ModeOf(dir / "data.cry"), 0640);
    EXPECT_EQ(frontEnd.shown, Names{});

    ASSERT_EQ(::chmod((dir / "data.cry").c_str(), 0400), 0);
    Bytes out;
    SingleFileJob cat;
    cat.source = dir / "data.cry";
    cat.name = "data.cry";
    cat.plainStream = [&out](const std::uint8_t* data, std::size_t n) {
        out.insert(out.end(), data, data + n);
        return true;
    };
    EXPECT_EQ(operation.Decrypt(cat).status, SingleFileStatus::Done);
    EXPECT_EQ(out, plain);
    EXPECT_EQ(dir.names(), Names{"data.cry"});
    EXPECT_EQ(test::ModeOf(dir / "data.cry"), 0400);
}

} // namespace
} // namespace vorlaxen
