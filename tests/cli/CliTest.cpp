// vorlaxen-cli as a user runs it: exit statuses, messages, and what each command leaves on disk.

#include "cli/CommandLine.h"
#include "engine/ContainerFormat.h"
#include "engine/Messages.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vorlaxen {
namespace {

using Names = std::vector<std::string>;
using test::Exists;
using test::ModeOf;
using test::PatternBytes;
using test::ReadFile;
using test::WriteFile;

class Cli : public ::testing::Test {
protected:
    test::ProcessResult run(std::vector<std::string> args, const std::string& password = "pass-word") {
        args.insert(args.begin(), VORLAXEN_CLI);
        test::ProcessOptions options = isolated();
        if (!password.empty())
            options.env["VORLAXEN_PASSWORD"] = password;
        return test::RunProcess(args, options);
    }

    test::ProcessOptions isolated() const { return test::IsolatedCliOptions(dir.path(), home.path()); }

    std::string path(const std::string& name) const { return dir / name; }

    test::TempDir dir;
    test::TempDir home;
};

TEST_F(Cli, EncryptThenDecryptRestoresTheFileAndItsPermissions) {
    const auto plain = PatternBytes(30000);
    for (const char* method : {"idea", "des", "3xdes"}) {
        SCOPED_TRACE(method);
        WriteFile(path("report.pdf"), plain);
        ASSERT_EQ(::chmod(path("report.pdf").c_str(), 0640), 0);

        auto encrypted = run({"encrypt", "--method", method, "report.pdf"}, "secret");
        EXPECT_EQ(encrypted.status, 0) << encrypted.err;
        EXPECT_EQ(dir.names(), Names{"report.pdf.cry"}) << "the plain file is wiped";
        EXPECT_EQ(ModeOf(path("report.pdf.cry")), 0640);

        auto decrypted = run({"decrypt", "report.pdf.cry"}, "secret");
        EXPECT_EQ(decrypted.status, 0) << decrypted.err;
        EXPECT_EQ(dir.names(), Names{"report.pdf"});
        EXPECT_EQ(ReadFile(path("report.pdf")), plain);
        EXPECT_EQ(ModeOf(path("report.pdf")), 0640);
    }
}

TEST_F(Cli, KeepLeavesTheSource) {
    WriteFile(path("a.txt"), "text");
    EXPECT_EQ(run({"encrypt", "--keep", "a.txt"}).status, 0);
    EXPECT_EQ(dir.names(), (Names{"a.txt", "a.txt.cry"}));
    ASSERT_EQ(::unlink(path("a.txt").c_str()), 0);
    EXPECT_EQ(run({"decrypt", "--keep", "a.txt.cry"}).status, 0);
    EXPECT_EQ(dir.names(), (Names{"a.txt", "a.txt.cry"}));
}

TEST_F(Cli, InfoAndVerifyReportWithoutWriting) {
    WriteFile(path("a.txt"), PatternBytes(1234));
    ASSERT_EQ(run({"encrypt", "--method", "3xdes", "a.txt"}).status, 0);
    WriteFile(path("plain.txt"), "definitely not a container, and long enough for a header");

    auto info = run({"info", "a.txt.cry", "plain.txt"}, "");
    EXPECT_EQ(info.status, 13);
    EXPECT_EQ(info.out,
              "a.txt.cry: method 3xDES, plain size 1234 bytes, header 35 bytes\nplain.txt: not a container\n");

    auto verify = run({"verify", "a.txt.cry"});
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_EQ(verify.out, "a.txt.cry: OK (3xDES, 1234 bytes)\n");
    WriteFile(path("tiny"), "KX9");
    auto tiny = run({"info", "tiny"}, "");
    EXPECT_EQ(tiny.status, 10);
    EXPECT_EQ(tiny.err, "Couldn't read file tiny .\n");
    ::unlink(path("tiny").c_str());
    EXPECT_EQ(dir.names(), (Names{"a.txt.cry", "plain.txt"}));
}

TEST_F(Cli, VerifyFindsDamageAndWritesNothing) {
    WriteFile(path("a.txt"), PatternBytes(50000));
    ASSERT_EQ(run({"encrypt", "a.txt"}).status, 0);
    auto container = ReadFile(path("a.txt.cry"));
    container[40000] ^= 0x10;
    WriteFile(path("a.txt.cry"), container);

    auto damaged = run({"verify", "a.txt.cry"});
    EXPECT_EQ(damaged.status, 11);
    EXPECT_EQ(damaged.err, "Invalid password for the file a.txt.cry: the password is wrong, or the file is damaged.\n")
        << "the companion names no button it does not have";
    WriteFile(path("short.cry"), "KX98 cut");
    auto cut = run({"verify", "short.cry"});
    EXPECT_EQ(cut.status, 10);
    EXPECT_EQ(cut.err, "Couldn't read file short.cry .\n");
    EXPECT_EQ(dir.names(), (Names{"a.txt.cry", "short.cry"}));
}

TEST_F(Cli, WrongPasswordKeepsTheContainerAndWritesNoPlainFile) {
    WriteFile(path("a.txt"), "secret text");
    ASSERT_EQ(run({"encrypt", "a.txt"}, "right-one").status, 0);
    const auto container = ReadFile(path("a.txt.cry"));
    auto wrong = run({"decrypt", "a.txt.cry"}, "wrong-one");
    EXPECT_EQ(wrong.status, 11);
    EXPECT_EQ(dir.names(), Names{"a.txt.cry"});
    EXPECT_EQ(ReadFile(path("a.txt.cry")), container);
}

TEST_F(Cli, AFailingFileIsReportedAndTheRunGoesOn) {
    WriteFile(path("not-a-container.cry"), std::string(64, 'x'));
    WriteFile(path("b.txt"), "b");
    ASSERT_EQ(run({"encrypt", "b.txt"}).status, 0);
    auto result = run({"decrypt", "missing.cry", "not-a-container.cry", "b.txt.cry"});
    EXPECT_EQ(result.status, 2) << "the status is that of the first failure";
    // The files run at once: their messages come in the order they end.
    const std::string notFound = "File missing.cry not found.\n";
    const std::string notContainer = "Cannot identify file not-a-container.cry as a valid crypted file.\n";
    EXPECT_TRUE(result.err == notFound + notContainer || result.err == notContainer + notFound) << result.err;
    EXPECT_EQ(dir.names(), (Names{"b.txt", "not-a-container.cry"}));

    // So for the commands that only read, and rekey: whichever of two failures comes first.
    WriteFile(path("short.cry"), "KX98 cut");
    for (const char* command : {"verify", "info", "rekey"}) {
        EXPECT_EQ(run({command, "short.cry", "not-a-container.cry"}).status, 10) << command;
        EXPECT_EQ(run({command, "not-a-container.cry", "short.cry"}).status, 13) << command;
    }
    EXPECT_EQ(dir.names(), (Names{"b.txt", "not-a-container.cry", "short.cry"}));
}

TEST_F(Cli, AnExistingTargetIsLeftAloneWithoutATerminalOrForce) {
    WriteFile(path("a.txt"), "new plain");
    WriteFile(path("a.txt.cry"), "old container");
    auto refused = run({"encrypt", "a.txt"});
    EXPECT_EQ(refused.status, cli::kExitSkipped);
    EXPECT_EQ(refused.err,
              "File a.txt.cry already exist in the list of encrypted files. Overwrite? Left alone: no terminal to "
              "ask; use --force to replace it.\n");
    EXPECT_EQ(ReadFile(path("a.txt.cry")),
              (std::vector<std::uint8_t>{'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'a', 'i', 'n', 'e', 'r'}));
    EXPECT_TRUE(Exists(path("a.txt")));

    EXPECT_EQ(run({"encrypt", "--force", "a.txt"}).status, 0);
    EXPECT_EQ(dir.names(), Names{"a.txt.cry"});

    WriteFile(path("a.txt"), "unrelated plain file");
    auto plainExists = run({"decrypt", "a.txt.cry"});
    EXPECT_EQ(plainExists.status, cli::kExitSkipped);
    EXPECT_NE(plainExists.err.find("File a.txt already exist in the list of non encrypted files. Overwrite?"),
              std::string::npos);
    EXPECT_EQ(run({"decrypt", "--force", "a.txt.cry"}).status, 0);
    auto restored = ReadFile(path("a.txt"));
    EXPECT_EQ(std::string(restored.begin(), restored.end()), "new plain");
}

TEST_F(Cli, PasswordLengthsFollowThePrompts) {
    WriteFile(path("a.txt"), "text");
    auto tooShort = run({"encrypt", "a.txt"}, "five5");
    EXPECT_EQ(tooShort.status, cli::kExitUsage);
    EXPECT_EQ(tooShort.err, "Too few characters in password.\n");
    auto tooLongForDes = run({"encrypt", "--method", "des", "a.txt"}, "nine-char");
    EXPECT_EQ(tooLongForDes.status, cli::kExitUsage);
    EXPECT_EQ(tooLongForDes.err, "Too many characters in password.\n");
    EXPECT_EQ(run({"encrypt", "--method", "idea", "a.txt"}, std::string(17, 'p')).status, cli::kExitUsage);
    EXPECT_EQ(run({"encrypt", "--method", "3xdes", "a.txt"}, std::string(25, 'p')).status, cli::kExitUsage);
    EXPECT_EQ(dir.names(), Names{"a.txt"});

    // Decryption takes 6 to 24 characters whatever the method; DES keys use the first 8.
    ASSERT_EQ(run({"encrypt", "--method", "des", "a.txt"}, "eight-ch").status, 0);
    EXPECT_EQ(run({"decrypt", "a.txt.cry"}, "eight-ch-and-more").status, 0);
    EXPECT_EQ(dir.names(), Names{"a.txt"});
    ASSERT_EQ(run({"encrypt", "--method", "3xdes", "a.txt"}, std::string(24, 'q')).status, 0);
    EXPECT_EQ(run({"decrypt", "a.txt.cry"}, std::string(25, 'q')).status, cli::kExitUsage);
}

TEST_F(Cli, PasswordFileAndMissingPassword) {
    WriteFile(path("a.txt"), "text");
    WriteFile(path("pw"), "from-a-file\r\nsecond line ignored\n");
    EXPECT_EQ(run({"encrypt", "--password-file", "pw", "a.txt"}, "").status, 0);
    EXPECT_EQ(run({"decrypt", "a.txt.cry"}, "from-a-file").status, 0);

    auto none = run({"encrypt", "a.txt"}, "");
    EXPECT_EQ(none.status, cli::kExitUsage);
    EXPECT_EQ(none.err, "No password: set VORLAXEN_PASSWORD, use --password-file, or run at a terminal.\n");
}

TEST_F(Cli, UsageErrorsAndHelp) {
    EXPECT_EQ(run({}).status, cli::kExitUsage);
    EXPECT_EQ(run({"shred", "a"}).status, cli::kExitUsage);
    EXPECT_EQ(run({"encrypt"}).status, cli::kExitUsage);
    EXPECT_EQ(run({"encrypt", "--method", "rot13", "a"}).status, cli::kExitUsage);
    EXPECT_EQ(run({"decrypt", "--method", "des", "a"}).status, cli::kExitUsage);
    auto help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* needle : {"encrypt",
                               "decrypt",
                               "verify",
                               "info",
                               "--keep",
                               "--force",
                               "--password-file",
                               "VORLAXEN_PASSWORD",
                               "Exit status",
                               "64"})
        EXPECT_NE(help.out.find(needle), std::string::npos) << needle;
    auto version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.substr(0, 13), "vorlaxen-cli ");
    EXPECT_NE(version.out.find("\n" + std::string(kLicence) + "\n"), std::string::npos) << version.out;
}

TEST_F(Cli, MissingSourceIsNotFound) {
    auto result = run({"encrypt", "nothing-here"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "File nothing-here not found.\n");
}

TEST_F(Cli, InterruptStopsTheFileRemovesItsOutputAndEndsTheRun) {
    const auto plain = PatternBytes(48u << 20);
    WriteFile(path("big.bin"), plain);
    WriteFile(path("next.txt"), "never reached");
    test::ProcessOptions options = isolated();
    options.env["VORLAXEN_PASSWORD"] = "pass-word";
    // A named output shows when writing has begun; it must go as well.
    options.env["VORLAXEN_TEST_NAMED_TEMPORARIES"] = "1";
    const std::string log = path("../cli-interrupt.log");
    pid_t pid = test::StartProcess(
        {VORLAXEN_CLI, "encrypt", "-j", "1", "--method", "3xdes", "big.bin", "next.txt"}, options, log);
    // Interrupt once the output is being written.
    for (int waited = 0; waited < 5000; ++waited) {
        auto names = dir.names();
        if (std::any_of(names.begin(), names.end(), [](const auto& n) { return n.rfind(".vorlaxen-", 0) == 0; }))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(pid, SIGINT);
    EXPECT_EQ(test::WaitProcess(pid), 14);
    auto said = ReadFile(log);
    ::unlink(log.c_str());
    EXPECT_EQ(std::string(said.begin(), said.end()), "You have aborted processing big.bin.\n");
    EXPECT_EQ(dir.names(), (Names{"big.bin", "next.txt"}));
    EXPECT_TRUE(ReadFile(path("big.bin")) == plain);
}

// Real pipes into and out of the program: a tree through tar into a container and back, an empty input,
// a reader that reads in small pieces, one that stops early, a damaged container read from a pipe, and a
// named output that exists.
TEST_F(Cli, PipesInAndOut) {
    const auto plain = PatternBytes(700000, 5);
    WriteFile(path("plain.bin"), plain);
    const std::string cli = std::string("'") + VORLAXEN_CLI + "' ";
    auto shell = [&](const std::string& command) {
        test::ProcessOptions options = isolated();
        options.env["VORLAXEN_PASSWORD"] = "pass-word";
        return test::RunProcess({"/bin/sh", "-c", command}, options);
    };
    // The harness reads both of a run's outputs at once: a run that says much on standard error (hundreds
    // of files left alone) must not wait for ever on a full pipe while standard output is read.
    auto chatty = shell("head -c 200000 /dev/zero | tr '\\0' x >&2; echo out");
    EXPECT_EQ(chatty.out, "out\n");
    EXPECT_EQ(chatty.err, std::string(200000, 'x'));

    auto piped = shell("cat plain.bin | " + cli + "encrypt -o p.cry -");
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(dir.names(), (Names{"p.cry", "plain.bin"}));
    auto shown = shell(cli + "cat p.cry | dd bs=512 status=none");
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_TRUE(shown.out == std::string(plain.begin(), plain.end()));

    auto closed = shell("{ " + cli + "cat p.cry; echo $? >status; } | head -c 100 >/dev/null");
    EXPECT_EQ(closed.err, "") << "a reader that stops reading is no error";
    EXPECT_EQ(ReadFile(path("status")), (std::vector<std::uint8_t>{'0', '\n'}));

    auto empty = shell(cli + "encrypt -o e.cry - </dev/null && " + cli + "cat e.cry");
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(ReadFile(path("e.cry")).size(), kLongHeaderLength + 8);

    auto back = shell(cli + "decrypt -o back.bin - <p.cry");
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(ReadFile(path("back.bin")), plain);

    auto damaged = ReadFile(path("p.cry"));
    damaged[400000] ^= 0x10;
    WriteFile(path("d.cry"), damaged);
    auto fromPipe = shell("cat d.cry | " + cli + "cat -");
    EXPECT_EQ(fromPipe.status, 11);
    EXPECT_EQ(fromPipe.out.size(), plain.size()) << "the data goes before the checksum is known";
    EXPECT_EQ(fromPipe.err,
              "Invalid password for the file (standard input): the password is wrong, or the file is damaged.\n");

    auto existing = shell("cat d.cry | " + cli + "decrypt -o back.bin -");
    EXPECT_EQ(existing.status, cli::kExitSkipped);
    EXPECT_EQ(ReadFile(path("back.bin")), plain);
    EXPECT_EQ(dir.names(), (Names{"back.bin", "d.cry", "e.cry", "p.cry", "plain.bin", "status"}));
}

TEST_F(Cli, AtATerminalItAsksForThePasswordTwiceAndBeforeReplacing) {
    WriteFile(path("a.txt"), "typed at a terminal");
    WriteFile(path("a.txt.cry"), "old");
    test::ProcessOptions options = isolated();
    test::TerminalSession session({VORLAXEN_CLI, "encrypt", "a.txt"}, options);
    ASSERT_TRUE(session.waitFor("Enter the password (6 - 16 symbols): ")) << session.transcript();
    session.type("typed-pw\n");
    ASSERT_TRUE(session.waitFor("Reenter the password for verification: ")) << session.transcript();
    session.type("typed-px\n");
    ASSERT_TRUE(session.waitFor("Verification failed.")) << session.transcript();
    ASSERT_TRUE(session.waitFor("Enter the password (6 - 16 symbols): "));
    session.type("typed-pw\n");
    ASSERT_TRUE(session.waitFor("Reenter the password for verification: "));
    session.type("typed-pw\n");
    ASSERT_TRUE(session.waitFor("Overwrite? [y/N] ")) << session.transcript();
    session.type("y\n");
    EXPECT_EQ(session.finish(), 0) << session.transcript();
    EXPECT_EQ(session.transcript().find("typed-pw"), std::string::npos) << "passwords are not echoed";
    EXPECT_EQ(dir.names(), Names{"a.txt.cry"});
    EXPECT_EQ(run({"decrypt", "a.txt.cry"}, "typed-pw").status, 0);
}

} // namespace
} // namespace vorlaxen
