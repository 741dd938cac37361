// vorlaxen-cli killed (SIGKILL, as kill -9 or a power cut would stop it) at every place where a crash
// leaves the disk in a state of its own: while the output is written, before and after it is given its
// name, while the source is wiped or deleted, while a container is re-keyed. After each kill the data must be
// recoverable (the plain file intact, or a complete container that decrypts to it) and no file may hold plain data that
// was not there before. The program kills itself at the named place (VORLAXEN_TEST_CRASH_AT), so every run is
// deterministic.

#include "engine/TKX_Pwd.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vorlaxen {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;
using test::Exists;
using test::ReadFile;
using test::WriteFile;

constexpr int kKilled = 128 + SIGKILL;
constexpr const char* kPassword = "crash-password";
constexpr const char* kNewPassword = "new-crash-pw";

class Crash : public ::testing::Test {
protected:
    explicit Crash(std::size_t size = std::size_t{2} << 20)
        : plain_(test::PatternBytes(size, 7)) {}

    test::ProcessResult run(const std::vector<std::string>& args, const std::string& crashAt, bool named = false) {
        std::vector<std::string> argv{VORLAXEN_CLI};
        argv.insert(argv.end(), args.begin(), args.end());
        test::ProcessOptions options = test::IsolatedCliOptions(dir.path(), home.path());
        options.env.insert_or_assign("VORLAXEN_PASSWORD", kPassword);
        if (!crashAt.empty())
            options.env.insert_or_assign("VORLAXEN_TEST_CRASH_AT", crashAt);
        if (named)
            options.env.insert_or_assign("VORLAXEN_TEST_NAMED_TEMPORARIES", "1");
        options.env.insert_or_assign("VORLAXEN_NEW_PASSWORD", kNewPassword);
        return test::RunProcess(argv, options);
    }

    void reset() {
        for (const std::string& name : dir.names())
            ASSERT_EQ(::unlink((dir / name).c_str()), 0) << name;
    }

    // Whether a file holds any of the plain file's bytes where the plain file has them: a sample of 32
    // bytes every 64 KiB, so a partial plain output (a prefix) shows as surely as a whole copy.
    bool holdsPlainData(const Bytes& bytes) const {
        for (std::size_t at = 0; at + 32 <= std::min(bytes.size(), plain_.size()); at += 65536)
            if (std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                           bytes.begin() + static_cast<std::ptrdiff_t>(at + 32),
                           plain_.begin() + static_cast<std::ptrdiff_t>(at)))
                return true;
        return false;
    }

    // The plain data a complete container holds, decrypted elsewhere; empty when it does not decrypt.
    Bytes decrypted(const std::string& container, const char* password = kPassword) const {
        test::TempDir scratch;
        WriteFile(scratch / "copy.cry", ReadFile(container));
        TKX_Pwd pwd;
        pwd.SetPassword(password);
        if (pwd.DecryptFile(scratch / "copy.cry") != ResultCode::Ok)
            return {};
        return ReadFile(scratch / "copy");
    }

    // The plain data is on disk, whole, in the plain file or in a complete container; no other file
    // (nor a plain file left half overwritten) holds any of it.
    void expectRecoverableAndNothingLeftInPlain(const std::string& when) {
        SCOPED_TRACE(when);
        const bool plainWhole = Exists(dir / "a.bin") && ReadFile(dir / "a.bin") == plain_;
        const bool containerWhole = Exists(dir / "a.bin.cry") && decrypted(dir / "a.bin.cry") == plain_;
        EXPECT_TRUE(plainWhole || containerWhole) << "the data is lost";
        if (Exists(dir / "a.bin.cry")) {
            EXPECT_TRUE(containerWhole) << "a container is complete or absent";
        }
        for (const std::string& name : dir.names()) {
            if (name == "a.bin" && plainWhole)
                continue;
            EXPECT_FALSE(holdsPlainData(ReadFile(dir / name))) << name << " holds plain data";
        }
    }

    const Bytes plain_;
    test::TempDir dir;
    test::TempDir home;
};

TEST_F(Crash, KilledAnywhereInAnEncryptionLosesNothingAndLeavesNothingInPlain) {
    const Names points = {"output-written:1",
                          "output-written:6",
                          "output-written:9",
                          "commit:1",
                          "committed:1",
                          "source-removal:1",
                          "wipe-overwritten:1",
                          "wipe-renamed:1",
                          "wipe-truncated:1"};
    for (const std::string& point : points) {
        reset();
        WriteFile(dir / "a.bin", plain_);
        EXPECT_EQ(run({"encrypt", "a.bin"}, point).status, kKilled) << point;
        expectRecoverableAndNothingLeftInPlain(point);
        // The same run again, even with --force, on what the crash left: a plain file still whole is
        // encrypted and wiped; what an interrupted wipe left is refused, for its container holds the data.
        const bool plainWhole = Exists(dir / "a.bin") && ReadFile(dir / "a.bin") == plain_;
        const bool wipeRemains = Exists(dir / "a.bin") && !plainWhole;
        auto again = run({"encrypt", "--force", "a.bin"}, "");
        if (plainWhole) {
            EXPECT_EQ(again.status, 0) << point << ": " << again.err;
            EXPECT_FALSE(Exists(dir / "a.bin")) << point;
        }
        if (wipeRemains) {
            EXPECT_EQ(again.status, 22) << point << ": " << again.err;
        }
        expectRecoverableAndNothingLeftInPlain(point + ", run again");
        EXPECT_EQ(decrypted(dir / "a.bin.cry"), plain_) << point;
    }
}

TEST_F(Crash, KilledAnywhereInADecryptionLosesNothingAndLeavesNothingInPlain) {
    WriteFile(dir / "a.bin", plain_);
    ASSERT_EQ(run({"encrypt", "a.bin"}, "").status, 0);
    const Bytes container = ReadFile(dir / "a.bin.cry");
    for (const std::string& point :
         Names{"output-written:1", "output-written:5", "commit:1", "committed:1", "source-removal:1"}) {
        reset();
        WriteFile(dir / "a.bin.cry", container);
        EXPECT_EQ(run({"decrypt", "a.bin.cry"}, point).status, kKilled) << point;
        expectRecoverableAndNothingLeftInPlain(point);
        if (Exists(dir / "a.bin.cry")) {
            EXPECT_EQ(ReadFile(dir / "a.bin.cry"), container) << point << ": the container is untouched";
        }
    }
}

TEST_F(Crash, KilledAnywhereInARekeyLeavesTheOldContainerAsItWasOrTheWholeNewOne) {
    WriteFile(dir / "a.bin", plain_);
    ASSERT_EQ(run({"encrypt", "a.bin"}, "").status, 0);
    const Bytes container = ReadFile(dir / "a.bin.cry");
    // One kill comes with named temporaries: the partial container it leaves goes with the next run there.
    for (const std::string& point :
         Names{"output-written:1", "output-written:5", "rekey-verified:1", "replace-linked:1", "committed:1"}) {
        SCOPED_TRACE(point);
        const bool named = point == "output-written:5";
        reset();
        WriteFile(dir / "a.bin.cry", container);
        EXPECT_EQ(run({"rekey", "a.bin.cry"}, point, named).status, kKilled);
        const bool old = ReadFile(dir / "a.bin.cry") == container;
        EXPECT_TRUE(old || decrypted(dir / "a.bin.cry", kNewPassword) == plain_);
        for (const std::string& name : dir.names())
            EXPECT_FALSE(holdsPlainData(ReadFile(dir / name))) << name << " holds plain data";
        // Re-keyed again from what the crash left, whose leftovers go: the new password opens it.
        if (old) {
            EXPECT_EQ(run({"rekey", "a.bin.cry"}, "", named).status, 0);
        }
        EXPECT_EQ(dir.names(), Names{"a.bin.cry"});
        EXPECT_EQ(decrypted(dir / "a.bin.cry", kNewPassword), plain_);
    }
}

// A file large enough for its output to go to disk in a step while it is written, flushed in the
// background while the rest is written: the kill comes as that flush has been handed over.
class LargeCrash : public Crash {
protected:
    LargeCrash()
        : Crash(std::size_t{9} << 20) {}
};

TEST_F(LargeCrash, KilledWhileTheOutputGoesToDiskInStepsLosesNothing) {
    WriteFile(dir / "a.bin", plain_);
    EXPECT_EQ(run({"encrypt", "a.bin"}, "output-step:1").status, kKilled);
    expectRecoverableAndNothingLeftInPlain("encryption");
    ASSERT_EQ(run({"encrypt", "a.bin"}, "").status, 0);
    const Bytes container = ReadFile(dir / "a.bin.cry");
    EXPECT_EQ(run({"decrypt", "a.bin.cry"}, "output-step:1").status, kKilled);
    expectRecoverableAndNothingLeftInPlain("decryption");
    EXPECT_EQ(ReadFile(dir / "a.bin.cry"), container);
}

TEST_F(Crash, WhatACrashLeavesOfANamedOutputGoesWithTheNextOperationThere) {
    // Without unnamed files, a killed decryption leaves its partial plain output under a name of ours;
    // the next operation in that directory wipes it away. So does a kill in the instant between naming
    // a replacing output and putting it in the target's place.
    WriteFile(dir / "a.bin", plain_);
    ASSERT_EQ(run({"encrypt", "a.bin"}, "").status, 0);
    const Bytes container = ReadFile(dir / "a.bin.cry");
    struct Case {
        const char* point;
        bool named;
        bool plainTarget; // an older plain file to be replaced
    };
    for (const Case& c : {Case{"output-written:4", true, false}, Case{"replace-linked:1", false, true}}) {
        SCOPED_TRACE(c.point);
        reset();
        WriteFile(dir / "a.bin.cry", container);
        if (c.plainTarget)
            WriteFile(dir / "a.bin", "an older plain file");
        EXPECT_EQ(run({"decrypt", "--force", "a.bin.cry"}, c.point, c.named).status, kKilled);
        Names left = dir.names();
        ASSERT_EQ(left.size(), c.plainTarget ? 3u : 2u);
        const std::string temporary = left.front();
        ASSERT_EQ(temporary.rfind(".vorlaxen-", 0), 0u) << temporary;
        ASSERT_EQ(ReadFile(dir / temporary).size() > 0, true);

        WriteFile(dir / "other.txt", "another file of that directory");
        EXPECT_EQ(run({"encrypt", "other.txt"}, "", c.named).status, 0);
        EXPECT_FALSE(Exists(dir / temporary)) << "the leftover is gone";
        expectRecoverableAndNothingLeftInPlain(c.point);
        EXPECT_EQ(ReadFile(dir / "a.bin.cry"), container);
    }
}

// The files of a run of several, whose outputs are flushed, committed and their sources wiped in groups:
// killed anywhere, each file must still be whole in plain or in a complete container.
class GroupCrash : public ::testing::Test {
protected:
    // `files` files of `size` bytes and `step` more each.
    explicit GroupCrash(int files = 4, std::size_t size = 200000, std::size_t step = 70000)
        : files_(files) {
        for (int i = 0; i < files_; ++i)
            plains_.push_back(test::PatternBytes(size + step * static_cast<std::size_t>(i), 20 + i));
    }

    const int files_;

    static std::string name(int i) { return "f" + std::to_string(i); }

    test::ProcessResult run(std::vector<std::string> args, const std::string& crashAt) {
        args.insert(args.begin(), VORLAXEN_CLI);
        test::ProcessOptions options = test::IsolatedCliOptions(dir.path(), home.path());
        options.env.insert_or_assign("VORLAXEN_PASSWORD", kPassword);
        if (!crashAt.empty())
            options.env.insert_or_assign("VORLAXEN_TEST_CRASH_AT", crashAt);
        return test::RunProcess(args, options);
    }

    Names all(const std::string& suffix) const {
        Names names;
        for (int i = 0; i < files_; ++i)
            names.push_back(name(i) + suffix);
        return names;
    }

    void reset() {
        for (const std::string& entry : dir.names())
            ASSERT_EQ(::unlink((dir / entry).c_str()), 0) << entry;
    }

    Bytes decrypted(const std::string& container) const {
        test::TempDir scratch;
        WriteFile(scratch / "copy.cry", ReadFile(container));
        TKX_Pwd pwd;
        pwd.SetPassword(kPassword);
        if (pwd.DecryptFile(scratch / "copy.cry") != ResultCode::Ok)
            return {};
        return ReadFile(scratch / "copy");
    }

    bool holdsPlainData(const Bytes& bytes) const {
        for (const Bytes& plain : plains_)
            for (std::size_t at = 0; at + 32 <= std::min(bytes.size(), plain.size()); at += 65536)
                if (std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                               bytes.begin() + static_cast<std::ptrdiff_t>(at + 32),
                               plain.begin() + static_cast<std::ptrdiff_t>(at)))
                    return true;
        return false;
    }

    // Each file whole in plain or in a complete container; no other file holds any plain data. Answers
    // the files whose plain file is whole.
    Names expectEveryFileRecoverable(const std::string& when) {
        SCOPED_TRACE(when);
        Names whole;
        for (int i = 0; i < files_; ++i) {
            const std::string plain = dir / name(i);
            const bool plainWhole = Exists(plain) && ReadFile(plain) == plains_[i];
            const bool containerWhole = Exists(plain + ".cry") && decrypted(plain + ".cry") == plains_[i];
            EXPECT_TRUE(plainWhole || containerWhole) << name(i) << " is lost";
            if (Exists(plain + ".cry")) {
                EXPECT_TRUE(containerWhole) << name(i) << ".cry is complete or absent";
            }
            if (plainWhole)
                whole.push_back(name(i));
        }
        for (const std::string& entry : dir.names()) {
            if (std::find(whole.begin(), whole.end(), entry) == whole.end()) {
                EXPECT_FALSE(holdsPlainData(ReadFile(dir / entry))) << entry << " holds plain data";
            }
        }
        return whole;
    }

    std::vector<Bytes> plains_;
    test::TempDir dir;
    test::TempDir home;
};

TEST_F(GroupCrash, KilledAnywhereInAGroupedEncryptionLosesNothingAndLeavesNothingInPlain) {
    const Names points = {"group-written:1",
                          "group-flushed:1",
                          "committed:1",
                          "committed:3",
                          "group-committed:1",
                          "source-removal:2",
                          "group-overwritten:1",
                          "wipe-overwritten:1",
                          "wipe-overwritten:4",
                          "wipe-renamed:2",
                          "wipe-truncated:3"};
    for (const std::string& point : points) {
        reset();
        for (int i = 0; i < files_; ++i)
            WriteFile(dir / name(i), plains_[i]);
        Names args = all("");
        args.insert(args.begin(), "encrypt");
        EXPECT_EQ(run(args, point).status, kKilled) << point;
        const Names whole = expectEveryFileRecoverable(point);
        // The run again over what is left: the whole plain files are encrypted, what an interrupted wipe
        // left is refused, its container holding the data.
        Names again = {"encrypt", "--force"};
        for (int i = 0; i < files_; ++i)
            if (Exists(dir / name(i)))
                again.push_back(name(i));
        if (again.size() > 2) {
            const int status = run(again, "").status;
            const bool wipeRemains = again.size() - 2 > whole.size();
            EXPECT_EQ(status, wipeRemains ? 22 : 0) << point;
        }
        expectEveryFileRecoverable(point + ", run again");
        for (int i = 0; i < files_; ++i)
            EXPECT_EQ(decrypted(dir / (name(i) + ".cry")), plains_[i]) << point << " " << name(i);
    }
}

TEST_F(GroupCrash, KilledAnywhereInAGroupedDecryptionLosesNothingAndLeavesNothingInPlain) {
    for (int i = 0; i < files_; ++i)
        WriteFile(dir / name(i), plains_[i]);
    Names args = all("");
    args.insert(args.begin(), "encrypt");
    ASSERT_EQ(run(args, "").status, 0);
    std::vector<Bytes> containers;
    for (int i = 0; i < files_; ++i)
        containers.push_back(ReadFile(dir / (name(i) + ".cry")));
    for (const std::string& point :
         Names{"group-written:1", "group-flushed:1", "committed:2", "group-committed:1", "source-removal:3"}) {
        reset();
        for (int i = 0; i < files_; ++i)
            WriteFile(dir / (name(i) + ".cry"), containers[i]);
        Names decrypt = all(".cry");
        decrypt.insert(decrypt.begin(), "decrypt");
        EXPECT_EQ(run(decrypt, point).status, kKilled) << point;
        expectEveryFileRecoverable(point);
        for (int i = 0; i < files_; ++i) {
            if (Exists(dir / (name(i) + ".cry"))) {
                EXPECT_EQ(ReadFile(dir / (name(i) + ".cry")), containers[i]) << point << ": untouched";
            }
        }
    }
}

// Hundreds of small files, made durable in several groups, each committed while the one before it is
// finished: killed in any group, at any step, every file is still whole in plain or in a complete container.
class ManyFilesCrash : public GroupCrash {
protected:
    ManyFilesCrash()
        : GroupCrash(600, 1000, 1) {}
};

TEST_F(ManyFilesCrash, KilledInAnyOfSeveralGroupsLosesNothingAndTheRunAgainEndsIt) {
    for (const std::string point : {"committed:300", "group-overwritten:2", "wipe-renamed:260"}) {
        reset();
        for (int i = 0; i < files_; ++i)
            WriteFile(dir / name(i), plains_[i]);
        EXPECT_EQ(run({"encrypt", "-r", "."}, point).status, kKilled) << point;
        expectEveryFileRecoverable(point);
        // The run again encrypts what is whole and refuses what an interrupted wipe left.
        const test::ProcessResult again = run({"encrypt", "--force", "-r", "."}, "");
        const Names after = expectEveryFileRecoverable(point + ", run again");
        EXPECT_EQ(after, Names{}) << point;
        bool wipeRemains = false;
        for (const std::string& entry : dir.names())
            wipeRemains = wipeRemains || entry.size() < 4 || entry.compare(entry.size() - 4, 4, ".cry") != 0;
        EXPECT_EQ(again.status, wipeRemains ? 22 : 0) << point << ": " << again.err;
    }
}

} // namespace
} // namespace vorlaxen
