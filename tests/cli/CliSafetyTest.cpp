// vorlaxen-cli against a hostile environment: a second run on a locked file, links and pipes, "~"
// neighbours, a stored password that no longer fits, and passwords in the process's environment.

#include "cli/CommandLine.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
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

class CliSafety : public ::testing::Test {
protected:
    test::ProcessResult run(std::vector<std::string> args, const std::string& password = "pass-word") {
        args.insert(args.begin(), VORLAXEN_CLI);
        test::ProcessOptions options = test::IsolatedCliOptions(dir.path(), home.path());
        if (!password.empty())
            options.env["VORLAXEN_PASSWORD"] = password;
        options.env["VORLAXEN_MASTER_PASSWORD"] = "master-pw";
        return test::RunProcess(args, options);
    }
    std::string path(const std::string& name) const { return dir / name; }

    test::TempDir dir;
    test::TempDir home;
};

TEST_F(CliSafety, ASecondRunOnALockedFileIsRefusedAtOnce) {
    // The first run holds the file's lock for the whole operation; here the test holds it.
    WriteFile(path("f"), test::PatternBytes(5000));
    {
        test::FileLock first(path("f"));
        ASSERT_TRUE(first.locked());
        for (bool force : {false, true}) {
            auto second = force ? run({"encrypt", "--force", "f"}) : run({"encrypt", "f"});
            EXPECT_EQ(second.status, 17);
            EXPECT_EQ(second.err, "File f is in use by another operation; it has been left alone.\n");
        }
    }
    EXPECT_EQ(dir.names(), Names{"f"});
    EXPECT_EQ(ReadFile(path("f")), test::PatternBytes(5000));

    ASSERT_EQ(run({"encrypt", "f"}).status, 0);
    const auto container = ReadFile(path("f.cry"));
    {
        test::FileLock first(path("f.cry"));
        auto second = run({"decrypt", "f.cry"});
        EXPECT_EQ(second.status, 17);
    }
    EXPECT_EQ(dir.names(), Names{"f.cry"});
    EXPECT_EQ(ReadFile(path("f.cry")), container);
}

TEST_F(CliSafety, LinksAndPipesAreLeftAloneWithANote) {
    ASSERT_EQ(::mkdir(path("far").c_str(), 0755), 0);
    WriteFile(path("far/real.txt"), "the real plain file");
    ASSERT_EQ(::symlink("far/real.txt", path("l").c_str()), 0);
    ASSERT_EQ(::mkfifo(path("p").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(path("x.cry").c_str(), 0600), 0);
    WriteFile(path("a.txt"), "plain");
    const std::string refused = " is not a regular file (a link, a named pipe or a device); it has been left alone.\n";

    auto encrypted = run({"encrypt", "l", "p", "a.txt"});
    EXPECT_EQ(encrypted.status, 18) << "the status of the first failure";
    // Files run in parallel: each refusal is a whole line of its own, in either order.
    const std::string l = "File l" + refused, p = "File p" + refused;
    EXPECT_TRUE(encrypted.err == l + p || encrypted.err == p + l) << encrypted.err;
    for (const char* command : {"decrypt", "verify", "info"}) {
        auto read = run({command, "x.cry"});
        EXPECT_EQ(read.status, 18) << command;
        EXPECT_EQ(read.err, "File x.cry" + refused) << command;
    }
    EXPECT_EQ(dir.names(), (Names{"a.txt.cry", "far", "l", "p", "x.cry"}));
    EXPECT_EQ(Text(path("far/real.txt")), "the real plain file");

    // Only reading a container through a link is fine: verification and info follow it.
    ASSERT_EQ(::symlink("a.txt.cry", path("linked.cry").c_str()), 0);
    EXPECT_EQ(run({"verify", "linked.cry"}).status, 0);
    EXPECT_EQ(run({"info", "linked.cry"}).status, 0);
    EXPECT_EQ(run({"decrypt", "linked.cry"}).status, 18);
    EXPECT_EQ(Text(path("a.txt.cry")).size(), 43u);
}

TEST_F(CliSafety, TildeNeighboursAreNeverTouched) {
    WriteFile(path("~"), "someone else's file");
    WriteFile(path("~~~~~~~~.~~~"), "and another one");
    for (const char* name : {"a.txt", "b.txt"})
        WriteFile(path(name), std::string("plain ") + name);
    EXPECT_EQ(run({"encrypt", "a.txt", "b.txt"}).status, 0);
    EXPECT_EQ(dir.names(), (Names{"a.txt.cry", "b.txt.cry", "~", "~~~~~~~~.~~~"}));
    EXPECT_EQ(Text(path("~")), "someone else's file");
    EXPECT_EQ(Text(path("~~~~~~~~.~~~")), "and another one");
}

TEST_F(CliSafety, AStoredPasswordThatNoLongerFitsFallsBackToTheGivenOne) {
    WriteFile(path("a.txt"), "first version");
    ASSERT_EQ(run({"encrypt", "--store", "a.txt"}, "old-pw").status, 0);
    ASSERT_EQ(run({"decrypt", "--keep", "a.txt.cry"}, "old-pw").status, 0) << "kept, so the entry stays";
    WriteFile(path("a.txt"), "second version");
    ASSERT_EQ(run({"encrypt", "--force", "a.txt"}, "new-pw").status, 0);

    auto decrypted = run({"decrypt", "a.txt.cry"}, "new-pw");
    EXPECT_EQ(decrypted.status, 0) << decrypted.err;
    EXPECT_EQ(decrypted.err,
              "The password stored for a.txt.cry does not open it; the password given is tried instead.\n");
    EXPECT_EQ(Text(path("a.txt")), "second version");
    auto keys = run({"keys"}, "");
    EXPECT_EQ(keys.out, "") << "the entry goes once the file is decrypted";
}

TEST_F(CliSafety, PasswordsLeaveTheEnvironmentAtOnce) {
    // The run waits at the terminal for the file password; meanwhile its environment is readable.
    WriteFile(path("a.txt"), "plain");
    test::ProcessOptions options = test::IsolatedCliOptions(dir.path(), home.path());
    options.env["VORLAXEN_MASTER_PASSWORD"] = "master-secret";
    test::TerminalSession session({VORLAXEN_CLI, "encrypt", "a.txt"}, options);
    ASSERT_TRUE(session.waitFor("Enter the password")) << session.transcript();
    std::ifstream environ("/proc/" + std::to_string(session.pid()) + "/environ", std::ios::binary);
    const std::string seen((std::istreambuf_iterator<char>(environ)), std::istreambuf_iterator<char>());
    EXPECT_NE(seen.find("VORLAXEN_MASTER_PASSWORD="), std::string::npos);
    EXPECT_EQ(seen.find("master-secret"), std::string::npos);
    ::kill(session.pid(), SIGKILL);
    EXPECT_NE(session.finish(), 0);
}

} // namespace
} // namespace vorlaxen
