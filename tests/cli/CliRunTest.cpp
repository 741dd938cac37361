// vorlaxen-cli over many files: directory trees (-r), several files at once (-j), Ctrl-C while several
// run, the progress line, and rekey.

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "support/ChildProcess.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vorlaxen {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;
using test::Exists;
using test::ModeOf;
using test::PatternBytes;
using test::ReadFile;
using test::WriteFile;

const std::string kBadName = "bad\xff\xfename";

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

class CliRun : public ::testing::Test {
protected:
    test::ProcessResult run(std::vector<std::string> args, const std::string& password = "pass-word") {
        args.insert(args.begin(), VORLAXEN_CLI);
        test::ProcessOptions options = test::IsolatedCliOptions(dir.path(), home.path());
        if (!password.empty())
            options.env["VORLAXEN_PASSWORD"] = password;
        for (const auto& [name, value] : env)
            options.env[name] = value;
        return test::RunProcess(args, options);
    }

    std::string path(const std::string& name) const { return dir / name; }

    // Every entry below `root` but directories, as "relative/path" sorted, with links and pipes marked.
    Names tree(const std::string& root) const {
        Names names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(
                 root, std::filesystem::directory_options::skip_permission_denied)) {
            if (entry.is_directory() && !entry.is_symlink())
                continue;
            std::string name = entry.path().lexically_relative(root).string();
            if (entry.is_symlink())
                name += " ->";
            else if (entry.is_fifo())
                name += " |";
            names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDir dir;
    test::TempDir home;
    std::map<std::string, std::string> env;
};

TEST_F(CliRun, RecursiveRunsWalkTheTreeInNameOrderAndLeaveLinksPipesAndUnreadableDirectoriesAlone) {
    // d: its own files first, in name order (letter case ignored), then each subdirectory the same way.
    for (const char* sub : {"d", "d/B", "d/B/deep", "d/a sub", "d/locked", "d/other"})
        ASSERT_EQ(::mkdir(path(sub).c_str(), 0755), 0) << sub;
    const std::map<std::string, Bytes> plain = {
        {"d/Zz.txt", PatternBytes(3000, 1)},
        {"d/.hidden", PatternBytes(10, 2)},
        {"d/" + kBadName, PatternBytes(20000, 3)},
        {"d/B/deep/y", PatternBytes(10240, 4)},
        {"d/a sub/with space", PatternBytes(0, 5)},
        {"d/locked/secret", PatternBytes(100, 6)},
        {"d/other/taken", PatternBytes(50, 7)},
    };
    for (const auto& [name, bytes] : plain)
        WriteFile(path(name), bytes);
    ASSERT_EQ(::chmod(path("d/Zz.txt").c_str(), 0640), 0);
    WriteFile(path("d/old.cry"), "a container already, left alone by encrypt");
    WriteFile(path("d/other/taken.cry"), "an existing target, not replaced without --force");
    ASSERT_EQ(::symlink("Zz.txt", path("d/link").c_str()), 0);
    ASSERT_EQ(::symlink("B", path("d/dirlink").c_str()), 0);
    ASSERT_EQ(::mkfifo(path("d/pipe").c_str(), 0600), 0);
    ASSERT_EQ(::chmod(path("d/locked").c_str(), 0), 0);

    test::RunWherePermissionsBind({dir.path(), home.path()}, [&] {
        std::optional<test::FileLock> held;
        held.emplace(path("d/Zz.txt"));
        ASSERT_TRUE(held->locked());
        auto first = run({"encrypt", "-r", "-j", "1", "d"});
        // The first failure met in the walk gives the status: d's own file, before the subdirectories.
        EXPECT_EQ(first.status, 17) << first.err;
        EXPECT_EQ(first.err,
                  "Skipped d/dirlink: a symbolic link is never followed.\n"
                  "Skipped d/link: a symbolic link is never followed.\n"
                  "Skipped d/pipe: not a regular file (a named pipe, a device or a socket).\n"
                  "Directory d/locked cannot be read; the files in it are left alone.\n"
                  "File d/Zz.txt is in use by another operation; it has been left alone.\n"
                  "File d/other/taken.cry already exist in the list of encrypted files. Overwrite? Left alone: no "
                  "terminal to ask; use --force to replace it.\n");
        EXPECT_EQ(tree(path("d")),
                  (Names{".hidden.cry",
                         "B/deep/y.cry",
                         "Zz.txt",
                         "a sub/with space.cry",
                         kBadName + ".cry",
                         "dirlink ->",
                         "link ->",
                         "old.cry",
                         "other/taken",
                         "other/taken.cry",
                         "pipe |"}));
        held.reset();
        // Several files at once: the status is still that of the first failure in the walk's order.
        auto second = run({"encrypt", "--recursive", "--jobs", "4", "d"});
        EXPECT_EQ(second.status, 2) << second.err;
        EXPECT_EQ(Exists(path("d/Zz.txt.cry")), true);
        EXPECT_EQ(ModeOf(path("d/Zz.txt.cry")), 0640);

        ASSERT_EQ(::chmod(path("d/locked").c_str(), 0755), 0);
        ASSERT_EQ(::unlink(path("d/other/taken.cry").c_str()), 0);
        ASSERT_EQ(::rename(path("d/old.cry").c_str(), path("d/old").c_str()), 0);
        auto third = run({"encrypt", "-r", "d"});
        EXPECT_EQ(third.status, 0) << third.err;
        auto decrypted = run({"decrypt", "-r", "-j", "3", "d"});
        EXPECT_EQ(decrypted.status, 0) << decrypted.err;
        EXPECT_EQ(decrypted.err, "") << "decrypt -r notes only what it would have taken";
        for (const auto& [name, bytes] : plain)
            EXPECT_EQ(ReadFile(path(name)), bytes) << name;
        EXPECT_EQ(ModeOf(path("d/Zz.txt")), 0640);
        EXPECT_EQ(Text(ReadFile(path("d/old"))), "a container already, left alone by encrypt");
    });
}

TEST_F(CliRun, SeveralFilesAtOnceWriteExactlyWhatOneAtATimeWrites) {
    const std::vector<std::size_t> sizes = {0, 1, 7, 8, 10232, 10240, 10241, 65536, 300001, 3u << 20};
    for (const char* sub : {"one", "many"})
        ASSERT_EQ(::mkdir(path(sub).c_str(), 0755), 0);
    Names one;
    Names many;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::string name = "f" + std::to_string(i);
        for (const char* sub : {"one", "many"}) {
            WriteFile(path(std::string(sub) + "/" + name), PatternBytes(sizes[i], static_cast<std::uint32_t>(i)));
            ASSERT_EQ(::chmod(path(std::string(sub) + "/" + name).c_str(), 0600 | (i % 2 ? 040 : 0)), 0);
        }
        one.push_back("one/" + name);
        many.push_back("many/" + name);
    }
    one.insert(one.begin(), {"encrypt", "--method", "3xdes", "-j", "1"});
    many.insert(many.begin(), {"encrypt", "--method", "3xdes", "-j", "8"});
    ASSERT_EQ(run(one).status, 0);
    auto parallel = run(many);
    ASSERT_EQ(parallel.status, 0) << parallel.err;
    EXPECT_EQ(parallel.err, "");
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::string name = "f" + std::to_string(i);
        EXPECT_FALSE(Exists(path("many/" + name))) << name << " is wiped";
        EXPECT_EQ(ReadFile(path("many/" + name + ".cry")), ReadFile(path("one/" + name + ".cry"))) << name;
        EXPECT_EQ(test::ModeOf(path("many/" + name + ".cry")), test::ModeOf(path("one/" + name + ".cry")));
    }
    auto decrypted = run({"decrypt", "-r", "-j", "5", "many"});
    ASSERT_EQ(decrypted.status, 0) << decrypted.err;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        EXPECT_EQ(ReadFile(path("many/f" + std::to_string(i))), PatternBytes(sizes[i], static_cast<std::uint32_t>(i)));
    EXPECT_EQ(tree(path("many")).size(), sizes.size());
}

TEST_F(CliRun, CtrlCStopsEveryRunningFileAndRemovesEveryPartialOutput) {
    const Bytes big = PatternBytes(48u << 20, 9);
    for (const char* name : {"big1", "big2"})
        WriteFile(path(name), big);
    WriteFile(path("small"), "never started");
    test::ProcessOptions options = test::IsolatedCliOptions(dir.path(), home.path());
    options.env["VORLAXEN_PASSWORD"] = "pass-word";
    // Named outputs show when writing has begun; every one of them must go.
    options.env["VORLAXEN_TEST_NAMED_TEMPORARIES"] = "1";
    const std::string log = home / "interrupt.log";
    const pid_t pid = test::StartProcess(
        {VORLAXEN_CLI, "encrypt", "-j", "2", "--method", "3xdes", "big1", "big2", "small"}, options, log);
    for (int waited = 0; waited < 5000; ++waited) {
        const Names names = dir.names();
        if (std::count_if(names.begin(), names.end(), [](const auto& n) { return n.rfind(".vorlaxen-", 0) == 0; }) == 2)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(pid, SIGINT);
    EXPECT_EQ(test::WaitProcess(pid), 14);
    Names said;
    for (std::string text = Text(ReadFile(log)); !text.empty();) {
        said.push_back(text.substr(0, text.find('\n')));
        text.erase(0, text.find('\n') + 1);
    }
    std::sort(said.begin(), said.end());
    EXPECT_EQ(said, (Names{"You have aborted processing big1.", "You have aborted processing big2."}));
    EXPECT_EQ(dir.names(), (Names{"big1", "big2", "small"}));
    EXPECT_TRUE(ReadFile(path("big1")) == big);
    EXPECT_TRUE(ReadFile(path("big2")) == big);
}

TEST_F(CliRun, AtATerminalOneProgressLineCountsTheWholeRun) {
    for (const char* name : {"a", "b", "c"})
        WriteFile(path(name), PatternBytes(400000));
    test::ProcessOptions options = test::IsolatedCliOptions(dir.path(), home.path());
    options.env["VORLAXEN_PASSWORD"] = "pass-word";
    test::TerminalSession session({VORLAXEN_CLI, "encrypt", "-j", "1", "a", "b", "c"}, options);
    EXPECT_TRUE(session.waitFor(" of 3 files, ")) << session.transcript();
    EXPECT_TRUE(session.waitFor(" of 1.2 MB, ")) << session.transcript();
    EXPECT_EQ(session.finish(), 0) << session.transcript();
    EXPECT_EQ(dir.names(), (Names{"a.cry", "b.cry", "c.cry"}));
}

TEST(ProgressLine, StaysWithinTheTerminalsWidthCuttingTheNameFromItsStart) {
    const std::string counts = "3 of 10 files, 1.2 of 4.0 MB, 9.9 MB/s  ";
    const std::string name = "photos/2024/\xc3\xa4\xc3\xb6 summer/\xc3\xbc-beach-0001.jpg"; // "ä", "ö", "ü"
    auto characters = [](const std::string& text) {
        return std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; });
    };
    EXPECT_EQ(cli::FitProgressLine(counts, name, 0), counts + name) << "width unknown: nothing is cut";
    EXPECT_EQ(cli::FitProgressLine(counts, name, 200), counts + name);
    for (std::size_t columns = 1; columns < 80; ++columns) {
        const std::string line = cli::FitProgressLine(counts, name, columns);
        ASSERT_LE(characters(line), static_cast<std::ptrdiff_t>(columns) - 1) << columns;
        if (line.size() > counts.size() && line != counts + name) {
            // The counts whole, "..." and the name's end, starting on a whole character.
            ASSERT_EQ(line.substr(0, counts.size() + 3), counts + "...") << columns;
            const std::string tail = line.substr(counts.size() + 3);
            EXPECT_EQ(name.substr(name.size() - tail.size()), tail) << columns;
            EXPECT_NE(tail.empty() ? 0 : tail[0] & 0xC0, 0x80) << columns;
        }
    }
    EXPECT_EQ(cli::FitProgressLine(counts, name, 60), counts + "...\xc3\xbc-beach-0001.jpg");
    EXPECT_EQ(cli::FitProgressLine(counts, name, 59), counts + "...-beach-0001.jpg");
    EXPECT_EQ(cli::FitProgressLine(counts, name, 20), counts.substr(0, 19)) << "no room for the name";
}

// A file's name may hold what a terminal takes as commands: messages, questions and the progress line show
// those characters escaped, and nothing else of the name changes.
TEST(ProgressLine, NamesAreShownWithoutTheCharactersATerminalObeys) {
    EXPECT_EQ(cli::Printable("evil\x1b]0;title\x07\x1b[2J.txt"), "evil\\033]0;title\\007\\033[2J.txt");
    EXPECT_EQ(cli::Printable(std::string("a\tb\nc\x7f") + '\0'), "a\\011b\\012c\\177\\000");
    EXPECT_EQ(cli::Printable("csi \xc2\x9b"
                             "31m, nel \xc2\x85"),
              "csi \\302\\233"
              "31m, nel \\302\\205");
    const std::string kept = "caf\xc3\xa9 \xc2\xa0 \xff\xfe \xe2\x82\xac \\ end";
    EXPECT_EQ(cli::Printable(kept), kept) << "letters, a no-break space, bytes that are not UTF-8";
}

TEST_F(CliRun, AMessageNamingAFileShowsItsControlCharactersEscaped) {
    auto result = run({"decrypt", "\x1b[2J\x1b]0;owned\x07.cry"}, "pass-word");
    EXPECT_EQ(result.err, "File \\033[2J\\033]0;owned\\007.cry not found.\n");
}

TEST_F(CliRun, UsageOfTheNewOptions) {
    WriteFile(path("a"), "text");
    for (const Names& bad : {Names{"encrypt", "-j", "0", "a"},
                             Names{"encrypt", "-j", "many", "a"},
                             Names{"decrypt", "--jobs=257", "a.cry"},
                             Names{"encrypt", "-j"},
                             Names{"verify", "-r", "a.cry"},
                             Names{"rekey", "--keep", "a.cry"},
                             Names{"encrypt", "--new-password-file", "f", "a"}}) {
        EXPECT_EQ(run(bad).status, cli::kExitUsage) << bad[1];
    }
    EXPECT_EQ(run({"encrypt", "-j4", "--jobs=2", "a"}).status, 0);
    auto help = run({"--help"});
    for (const char* needle :
         {"rekey", "-r, --recursive", "-j, --jobs N", "--new-password-file F", "VORLAXEN_NEW_PASSWORD"})
        EXPECT_NE(help.out.find(needle), std::string::npos) << needle;
}

// ------------------------------------------------------------------------------------------------ rekey

class Rekey : public CliRun {
protected:
    test::ProcessResult rekey(std::vector<std::string> args, const std::string& current, const std::string& next) {
        env["VORLAXEN_NEW_PASSWORD"] = next;
        args.insert(args.begin(), "rekey");
        auto result = run(args, current);
        env.erase("VORLAXEN_NEW_PASSWORD");
        return result;
    }
    std::string methodOf(const std::string& name) {
        const std::string out = run({"info", name}, "").out;
        return out.substr(out.find("method ") + 7, out.find(',') - out.find("method ") - 7);
    }
};

TEST_F(Rekey, EveryMethodPairGivesAContainerThatOnlyTheNewPasswordOpens) {
    const Bytes plain = PatternBytes(54321, 3);
    const Names methods = {"idea", "des", "3xdes"};
    const Names shown = {"IDEA", "DES", "3xDES"};
    for (std::size_t from = 0; from < methods.size(); ++from) {
        for (std::size_t to = 0; to <= methods.size(); ++to) {
            // to == size: no --method, the container keeps its own.
            const std::size_t expected = to < methods.size() ? to : from;
            SCOPED_TRACE(methods[from] + " to " + (to < methods.size() ? methods[to] : "its own"));
            WriteFile(path("f"), plain);
            ASSERT_EQ(::chmod(path("f").c_str(), 0604), 0);
            ASSERT_EQ(run({"encrypt", "--method", methods[from], "f"}, "old-pass").status, 0);
            Names args = {"f.cry"};
            if (to < methods.size())
                args.insert(args.begin(), {"--method", methods[to]});
            auto changed = rekey(args, "old-pass", "new-pass");
            ASSERT_EQ(changed.status, 0) << changed.err;
            EXPECT_EQ(dir.names(), Names{"f.cry"});
            EXPECT_EQ(methodOf("f.cry"), shown[expected]);
            EXPECT_EQ(test::ModeOf(path("f.cry")), 0604);
            EXPECT_EQ(run({"verify", "f.cry"}, "old-pass").status, 11);
            ASSERT_EQ(run({"decrypt", "f.cry"}, "new-pass").status, 0);
            EXPECT_EQ(ReadFile(path("f")), plain);
            ASSERT_EQ(::unlink(path("f").c_str()), 0);
        }
    }
}

TEST_F(Rekey, AWrongPasswordADamagedContainerOrAFullDiskChangeNothing) {
    WriteFile(path("a"), PatternBytes(300000, 1));
    WriteFile(path("b"), PatternBytes(1000, 2));
    ASSERT_EQ(run({"encrypt", "a", "b"}, "old-pass").status, 0);
    auto damaged = ReadFile(path("b.cry"));
    damaged[500] ^= 1;
    WriteFile(path("b.cry"), damaged);
    const Bytes a = ReadFile(path("a.cry"));

    // Neither is opened, so the new password is never asked for (there is none and no terminal).
    auto wrong = run({"rekey", "a.cry"}, "not-the-pass");
    EXPECT_EQ(wrong.status, 11);
    EXPECT_EQ(wrong.err, "Invalid password for the file a.cry: the password is wrong, or the file is damaged.\n");
    auto broken = rekey({"b.cry"}, "old-pass", "new-pass");
    EXPECT_EQ(broken.status, 11);
    EXPECT_EQ(ReadFile(path("b.cry")), damaged);

    // The new container cannot grow past 200000 bytes: writing it fails, the old one stays.
    const int full =
        test::RunWithFileSizeLimit(200000, [&] { return rekey({"a.cry"}, "old-pass", "new-pass").status; });
    EXPECT_EQ(full, 15);
    EXPECT_EQ(ReadFile(path("a.cry")), a);
    EXPECT_EQ(dir.names(), (Names{"a.cry", "b.cry"}));

    // A new password too long for the DES container among them is refused before anything changes.
    WriteFile(path("c"), "des");
    ASSERT_EQ(run({"encrypt", "--method", "des", "c"}, "old-pass").status, 0);
    auto tooLong = rekey({"a.cry", "c.cry"}, "old-pass", "nine-char");
    EXPECT_EQ(tooLong.status, cli::kExitUsage);
    EXPECT_EQ(tooLong.err, "Too many characters in password.\n");
    EXPECT_EQ(ReadFile(path("a.cry")), a);
}

TEST_F(Rekey, TheKeyFilesEntryFollowsTheNewPassword) {
    env["VORLAXEN_MASTER_PASSWORD"] = "master-pw";
    WriteFile(path("a"), "stored");
    WriteFile(path("b"), "typed");
    ASSERT_EQ(run({"encrypt", "--store", "a"}, "stored-pw").status, 0);
    ASSERT_EQ(run({"encrypt", "b"}, "typed-pw").status, 0);
    WriteFile(home / "new-password", "the-new-pw\n");
    // a's password comes from the key file, b's is the one given; the new one from a file.
    auto changed = run({"rekey", "--new-password-file", home / "new-password", "a.cry", "b.cry"}, "typed-pw");
    EXPECT_EQ(changed.status, 0) << changed.err;
    auto keys = run({"keys"}, "");
    EXPECT_NE(keys.out.find("/a\n"), std::string::npos) << keys.out;
    EXPECT_EQ(keys.out.find("/b\n"), std::string::npos) << "no entry is made for a file that had none";
    // The entry opens a without any password given; b opens with the new one.
    auto decrypted = run({"decrypt", "a.cry"}, "");
    EXPECT_EQ(decrypted.status, 0) << decrypted.err;
    EXPECT_EQ(run({"decrypt", "b.cry"}, "the-new-pw").status, 0);
    EXPECT_EQ(Text(ReadFile(path("a"))), "stored");
    EXPECT_EQ(Text(ReadFile(path("b"))), "typed");
}

} // namespace
} // namespace vorlaxen
