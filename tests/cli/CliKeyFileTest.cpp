// vorlaxen-cli with the key file: storing passwords, decrypting with them, keeping them while a file is
// not decrypted, listing them, many runs on one key file at once, and the master password from the
// environment or the terminal.

#include "cli/CommandLine.h"
#include "support/ChildProcess.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vorlaxen {
namespace {

using Names = std::vector<std::string>;
using test::Exists;
using test::ReadFile;
using test::WriteFile;

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

class CliKeyFile : public ::testing::Test {
protected:
    static constexpr const char* kMaster = "master-pw";

    // Runs the program with the file password `password` (none when empty) and the master password
    // `master` in the environment.
    test::ProcessResult
    run(std::vector<std::string> args, const std::string& password = "", const std::string& master = kMaster) {
        args.insert(args.begin(), VORLAXEN_CLI);
        return test::RunProcess(args, options(password, master));
    }

    test::ProcessOptions options(const std::string& password, const std::string& master) const {
        test::ProcessOptions options = test::IsolatedCliOptions(dir.path(), home.path());
        options.env["VORLAXEN_MASTER_PASSWORD"] = master;
        if (!password.empty())
            options.env["VORLAXEN_PASSWORD"] = password;
        return options;
    }

    std::string path(const std::string& name) const { return dir / name; }
    std::string keyOf(const std::string& name) const { return RealPath(dir.path()) + "/" + name; }
    std::string defaultKeyFile() const { return home / "xwords.001"; }

    Names keys() {
        auto listed = run({"keys"});
        EXPECT_EQ(listed.status, 0) << listed.err;
        Names names;
        for (std::size_t start = 0, end; (end = listed.out.find('\n', start)) != std::string::npos; start = end + 1)
            names.push_back(listed.out.substr(start, end - start));
        return names;
    }

    test::TempDir dir;
    test::TempDir home;
};

TEST_F(CliKeyFile, TheDesktopProgramsKeyFileSettingIsTheDefault) {
    const std::string chosen = home / "chosen-keys.001";
    WriteFile(home / "defaults.reg",
              "Windows Registry Editor Version 5.00\n\n[HKEY_CLASSES_ROOT\\crypt file\\Settings\\MasterPass]\n"
              "\"Dir\"=\"" +
                  chosen + "\"\n");
    WriteFile(path("a.txt"), "alpha");
    ASSERT_EQ(run({"encrypt", "--store", "a.txt"}, "file-pw").status, 0);
    EXPECT_TRUE(Exists(chosen));
    EXPECT_FALSE(Exists(defaultKeyFile()));
}

TEST_F(CliKeyFile, StoredPasswordsDecryptWithoutAskingAndAreUsedOnce) {
    WriteFile(path("a.txt"), "alpha");
    WriteFile(path("b.txt"), "beta");
    auto stored = run({"encrypt", "--store", "a.txt", "b.txt"}, "file-pw");
    ASSERT_EQ(stored.status, 0) << stored.err;
    EXPECT_EQ(dir.names(), (Names{"a.txt.cry", "b.txt.cry"}));
    EXPECT_TRUE(Exists(defaultKeyFile())) << "the default key file is xwords.001 in the home directory";
    EXPECT_EQ(keys(), (Names{keyOf("a.txt"), keyOf("b.txt")}));

    auto listed = run({"keys"});
    EXPECT_EQ(listed.out.find("file-pw"), std::string::npos) << "never the passwords";

    auto decrypted = run({"decrypt", "a.txt.cry"});
    EXPECT_EQ(decrypted.status, 0) << decrypted.err;
    EXPECT_EQ(decrypted.err, "");
    EXPECT_EQ(keys(), Names{keyOf("b.txt")}) << "the look-up removed the entry";

    // Found in the key file or typed: the password is asked for only for the file it does not hold.
    WriteFile(path("c.txt"), "gamma");
    ASSERT_EQ(run({"encrypt", "c.txt"}, "typed-pw").status, 0);
    auto mixed = run({"decrypt", "b.txt.cry", "c.txt.cry"}, "typed-pw");
    EXPECT_EQ(mixed.status, 0) << mixed.err;
    EXPECT_EQ(dir.names(), (Names{"a.txt", "b.txt", "c.txt"}));
    auto b = ReadFile(path("b.txt"));
    EXPECT_EQ(std::string(b.begin(), b.end()), "beta");
    EXPECT_EQ(keys(), Names{});
}

TEST_F(CliKeyFile, AFailedDecryptionKeepsTheStoredPassword) {
    WriteFile(path("a.txt"), test::PatternBytes(3000));
    ASSERT_EQ(run({"encrypt", "--store", "a.txt"}, "file-pw").status, 0);
    auto container = ReadFile(path("a.txt.cry"));
    const auto intact = container;
    container[1000] ^= 0x20;
    WriteFile(path("a.txt.cry"), container);

    // The stored password fails the data checksum: it stays, and the password given for the run is tried;
    // without one the run ends there.
    auto damaged = run({"decrypt", "a.txt.cry"});
    EXPECT_EQ(damaged.status, cli::kExitUsage);
    EXPECT_EQ(damaged.err,
              "The password stored for a.txt.cry does not open it; the password given is tried instead.\n"
              "No password: set VORLAXEN_PASSWORD, use --password-file, or run at a terminal.\n");
    EXPECT_EQ(dir.names(), Names{"a.txt.cry"});
    EXPECT_EQ(keys(), Names{keyOf("a.txt")}) << "the password is still in the key file";
    auto stillDamaged = run({"decrypt", "a.txt.cry"}, "file-pw");
    EXPECT_EQ(stillDamaged.status, 11);
    EXPECT_EQ(keys(), Names{keyOf("a.txt")});

    WriteFile(path("a.txt.cry"), intact);
    auto repaired = run({"decrypt", "a.txt.cry"});
    EXPECT_EQ(repaired.status, 0) << repaired.err;
    EXPECT_EQ(ReadFile(path("a.txt")), test::PatternBytes(3000));
    EXPECT_EQ(keys(), Names{});
}

TEST_F(CliKeyFile, AContainerThatIsKeptOrNotDecryptedKeepsItsEntryAsItWas) {
    WriteFile(path("a.txt"), test::PatternBytes(300000));
    ASSERT_EQ(run({"encrypt", "--store", "a.txt"}, "file-pw").status, 0);
    const auto keyFile = ReadFile(defaultKeyFile());
    const auto container = ReadFile(path("a.txt.cry"));

    // Decrypted but kept.
    auto kept = run({"decrypt", "--keep", "a.txt.cry"});
    EXPECT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(dir.names(), (Names{"a.txt", "a.txt.cry"}));
    EXPECT_EQ(ReadFile(defaultKeyFile()), keyFile) << "--keep";

    // Shown on standard output, or decrypted into a file named with -o: the entry is used and stays.
    const auto plain = test::PatternBytes(300000);
    auto shown = run({"cat", "a.txt.cry"});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_TRUE(shown.out == std::string(plain.begin(), plain.end()));
    auto named = run({"decrypt", "-o", "b.txt", "a.txt.cry"});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(ReadFile(path("b.txt")), plain);
    EXPECT_EQ(ReadFile(defaultKeyFile()), keyFile) << "cat, -o";
    ASSERT_EQ(::unlink(path("b.txt").c_str()), 0);

    // Not replacing the plain file that is there: declined, with no terminal to ask.
    auto declined = run({"decrypt", "a.txt.cry"});
    EXPECT_EQ(declined.status, cli::kExitSkipped) << declined.err;
    EXPECT_EQ(ReadFile(defaultKeyFile()), keyFile) << "declined";
    ASSERT_EQ(::unlink(path("a.txt").c_str()), 0);

    // The disk fills up while the plain file is written.
    EXPECT_EQ(test::RunWithFileSizeLimit(100000, [&] { return run({"decrypt", "a.txt.cry"}).status; }), 15);
    EXPECT_EQ(ReadFile(defaultKeyFile()), keyFile) << "write failed";

    // Killed while the plain file is written, as by kill -9 or a power cut.
    test::ProcessOptions crashing = options("", kMaster);
    crashing.env["VORLAXEN_TEST_CRASH_AT"] = "output-written";
    EXPECT_EQ(test::RunProcess({VORLAXEN_CLI, "decrypt", "a.txt.cry"}, crashing).status, 128 + SIGKILL);
    EXPECT_EQ(ReadFile(defaultKeyFile()), keyFile) << "killed";

    // The stored password does not open a damaged container: the run fails.
    auto damaged = container;
    damaged[5000] ^= 0x01;
    WriteFile(path("a.txt.cry"), damaged);
    EXPECT_EQ(run({"decrypt", "a.txt.cry"}).status, cli::kExitUsage);
    EXPECT_EQ(ReadFile(defaultKeyFile()), keyFile) << "failed";

    // After all of that the container opens from the key file alone, and only then is its entry gone.
    WriteFile(path("a.txt.cry"), container);
    auto decrypted = run({"decrypt", "a.txt.cry"});
    EXPECT_EQ(decrypted.status, 0) << decrypted.err;
    EXPECT_EQ(ReadFile(path("a.txt")), test::PatternBytes(300000));
    EXPECT_EQ(keys(), Names{});
}

TEST_F(CliKeyFile, ManyRunsAtOnceAndRunsKilledMidwayLoseNoEntry) {
    constexpr int kStores = 20;
    constexpr int kDecryptions = 10;
    constexpr int kKilled = 10;
    auto name = [](const char* prefix, int i) { return std::string(prefix) + std::to_string(i) + ".txt"; };
    Names toDecrypt{"encrypt", "--store"};
    for (int i = 0; i < kDecryptions; ++i) {
        WriteFile(path(name("d", i)), "decrypted " + std::to_string(i));
        toDecrypt.push_back(name("d", i));
    }
    ASSERT_EQ(run(toDecrypt, "file-pw").status, 0);
    for (int i = 0; i < kStores; ++i)
        WriteFile(path(name("s", i)), "stored " + std::to_string(i));

    // Twenty stores and ten decryptions, all at once.
    test::TempDir logs;
    struct Started {
        pid_t pid;
        std::string plain;
        bool storing;
    };
    std::vector<Started> started;
    for (int i = 0; i < kStores; ++i) {
        started.push_back({test::StartProcess({VORLAXEN_CLI, "encrypt", "--store", name("s", i)},
                                              options("file-pw", kMaster),
                                              logs / name("s", i)),
                           name("s", i),
                           true});
        if (i < kDecryptions)
            started.push_back({test::StartProcess({VORLAXEN_CLI, "decrypt", name("d", i) + ".cry"},
                                                  options("", kMaster),
                                                  logs / name("d", i)),
                               name("d", i),
                               false});
    }
    Names expected;
    for (const Started& one : started) {
        SCOPED_TRACE(one.plain);
        const int status = test::WaitProcess(one.pid);
        const auto log = ReadFile(logs / one.plain);
        // A run may fail only because the key file stayed busy; it then says so and keeps its file.
        if (status != 0) {
            EXPECT_NE(std::string(log.begin(), log.end()).find("is in use by another program"), std::string::npos)
                << status;
            EXPECT_TRUE(Exists(path(one.storing ? one.plain : one.plain + ".cry")));
        }
        if (one.storing == (status == 0))
            expected.push_back(keyOf(one.plain));
        EXPECT_EQ(Exists(path(one.plain)), status == 0 ? !one.storing : one.storing);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(keys(), expected) << "every store that succeeded is there, every entry taken is gone";

    // Storing runs killed at staggered moments: whatever a killed run did, the key file opens, holds every
    // entry of every run that succeeded, and a plain file is gone only once its password is stored.
    std::vector<pid_t> storing;
    for (int i = 0; i < kKilled; ++i) {
        WriteFile(path(name("k", i)), test::PatternBytes(100000, static_cast<std::uint8_t>(i)));
        storing.push_back(test::StartProcess(
            {VORLAXEN_CLI, "encrypt", "--store", name("k", i)}, options("file-pw", kMaster), logs / name("k", i)));
    }
    for (int i = 0; i < kKilled; i += 2) {
        ::usleep(static_cast<useconds_t>(1000 * i));
        ::kill(storing[static_cast<std::size_t>(i)], SIGKILL);
    }
    Names mayHold = expected;
    for (int i = 0; i < kKilled; ++i) {
        const int status = test::WaitProcess(storing[static_cast<std::size_t>(i)]);
        EXPECT_TRUE(status == 0 || status == 128 + SIGKILL || status == cli::kExitKeyFile) << name("k", i) << status;
        if (status == 0)
            expected.push_back(keyOf(name("k", i)));
        mayHold.push_back(keyOf(name("k", i)));
    }
    const Names after = keys();
    auto holds = [&after](const std::string& key) { return std::find(after.begin(), after.end(), key) != after.end(); };
    for (int i = 0; i < kKilled; ++i)
        EXPECT_TRUE(Exists(path(name("k", i))) || holds(keyOf(name("k", i)))) << name("k", i) << " wiped, not stored";
    for (const std::string& key : expected)
        EXPECT_TRUE(holds(key)) << key;
    for (const std::string& key : after)
        EXPECT_NE(std::find(mayHold.begin(), mayHold.end(), key), mayHold.end()) << key;

    // No lock is left behind that keeps the next run waiting.
    WriteFile(path("next.txt"), "next");
    auto next = run({"encrypt", "--store", "next.txt"}, "file-pw");
    EXPECT_EQ(next.status, 0) << next.err;
}

TEST_F(CliKeyFile, AnEncryptionCutShortByAFullDiskKeepsTheOlderContainersStoredPassword) {
    const auto older = test::PatternBytes(300000, 1);
    WriteFile(path("a.bin"), older);
    ASSERT_EQ(run({"encrypt", "--store", "a.bin"}, "old-pw").status, 0);
    const auto container = ReadFile(path("a.bin.cry"));
    WriteFile(path("a.bin"), test::PatternBytes(300000, 2));
    const int status = test::RunWithFileSizeLimit(200000, [&] {
        return run({"encrypt", "--store", "--force", "a.bin"}, "new-pw").status;
    });
    EXPECT_EQ(status, 15) << "write failed";
    EXPECT_EQ(ReadFile(path("a.bin.cry")), container);
    EXPECT_EQ(keys(), Names{keyOf("a.bin")});

    // The older container opens with its stored password, no other given.
    ASSERT_EQ(::unlink(path("a.bin").c_str()), 0);
    auto decrypted = run({"decrypt", "a.bin.cry"});
    EXPECT_EQ(decrypted.status, 0) << decrypted.err;
    ASSERT_EQ(dir.names(), Names{"a.bin"});
    EXPECT_EQ(ReadFile(path("a.bin")), older);
}

TEST_F(CliKeyFile, APathContainingEqualsIsRefusedBeforeAnythingIsEncrypted) {
    WriteFile(path("x=1.txt"), "plain");
    auto refused = run({"encrypt", "--store", "x=1.txt"}, "file-pw");
    EXPECT_EQ(refused.status, cli::kExitKeyFile);
    EXPECT_EQ(refused.err,
              "The password for the file " + keyOf("x=1.txt") +
                  " was not stored: the database of passwords cannot find a file again whose full "
                  "path contains \"=\".\n");
    EXPECT_EQ(dir.names(), Names{"x=1.txt"});
    EXPECT_FALSE(Exists(defaultKeyFile()));
}

TEST_F(CliKeyFile, TheMasterPasswordIsCheckedAgainstTheKeyFile) {
    WriteFile(path("a.txt"), "alpha");
    const std::string keyFile = home / "custom.keys";
    ASSERT_EQ(run({"encrypt", "--store", "--key-file", keyFile, "a.txt"}, "file-pw").status, 0);
    const auto before = ReadFile(keyFile);
    EXPECT_FALSE(Exists(defaultKeyFile()));

    auto wrong = run({"keys", "--key-file", keyFile}, "", "not-the-master");
    EXPECT_EQ(wrong.status, cli::kExitKeyFile);
    EXPECT_EQ(wrong.err, "Invalid password.\n");
    auto tooShort = run({"keys", "--key-file", keyFile}, "", "five5");
    EXPECT_EQ(tooShort.err, "Too few characters in password.\n");
    auto tooLong = run({"keys", "--key-file", keyFile}, "", std::string(17, 'm'));
    EXPECT_EQ(tooLong.err, "Too many characters in password.\n");
    auto none = run({"keys", "--key-file", keyFile}, "", "");
    EXPECT_EQ(none.status, cli::kExitKeyFile);
    EXPECT_EQ(none.err, "No master password: set VORLAXEN_MASTER_PASSWORD or run at a terminal.\n");

    // Without the master password (a wrong one, or none at all) a decryption says that it goes on without
    // the key file, and does, with the typed password; the entry stays.
    const std::string without = "Going on without the key file; its entries stay as they are.\n";
    auto typed = run({"decrypt", "--keep", "--key-file", keyFile, "a.txt.cry"}, "file-pw", "wrong-one");
    EXPECT_EQ(typed.status, 0) << typed.err;
    EXPECT_EQ(typed.err, "Invalid password.\n" + without);
    EXPECT_EQ(ReadFile(keyFile), before);
    ASSERT_EQ(dir.names(), (Names{"a.txt", "a.txt.cry"}));
    std::filesystem::remove(path("a.txt"));
    auto untyped = run({"decrypt", "--key-file", keyFile, "a.txt.cry"}, "file-pw", "");
    EXPECT_EQ(untyped.status, 0) << untyped.err;
    EXPECT_EQ(untyped.err, "No master password: set VORLAXEN_MASTER_PASSWORD or run at a terminal.\n" + without);
    EXPECT_EQ(ReadFile(keyFile), before);

    WriteFile(path("b.txt"), "beta");
    auto notStored = run({"encrypt", "--store", "--key-file", keyFile, "b.txt"}, "file-pw", "wrong-one");
    EXPECT_EQ(notStored.status, cli::kExitKeyFile);
    EXPECT_EQ(dir.names(), (Names{"a.txt", "b.txt"})) << "nothing is encrypted without the master password";
}

TEST_F(CliKeyFile, ADamagedKeyFileKeepsThePlainFileAndIsLeftAsItWas) {
    WriteFile(path("a.txt"), "alpha");
    WriteFile(defaultKeyFile(), "XT98 not a key file at all");
    auto result = run({"encrypt", "--store", "a.txt"}, "file-pw");
    EXPECT_EQ(result.status, cli::kExitKeyFile);
    EXPECT_EQ(result.err,
              "Error occured while accessing database of passwords.\n"
              "File a.txt has been encrypted but kept, since its password could not be stored.\n");
    EXPECT_EQ(dir.names(), (Names{"a.txt", "a.txt.cry"}));
    auto keyFile = ReadFile(defaultKeyFile());
    EXPECT_EQ(std::string(keyFile.begin(), keyFile.end()), "XT98 not a key file at all");

    auto listed = run({"keys"});
    EXPECT_EQ(listed.status, cli::kExitKeyFile);
    EXPECT_EQ(listed.err, "Error occured while accessing database of passwords.\n");
}

TEST_F(CliKeyFile, AtATerminalTheMasterPasswordIsAskedForWithoutEcho) {
    WriteFile(path("a.txt"), "alpha");
    auto env = options("file-pw", "");
    {
        // No key file yet: the master password will create it, so it is asked for twice.
        test::TerminalSession session({VORLAXEN_CLI, "encrypt", "--store", "a.txt"}, env);
        ASSERT_TRUE(session.waitFor("Please enter the Master Password to access the database of file passwords."));
        ASSERT_TRUE(session.waitFor("Enter the password ( 6 - 16 symbols ): ")) << session.transcript();
        session.type("typed-master\n");
        ASSERT_TRUE(session.waitFor("Reenter the password for verification: ")) << session.transcript();
        session.type("typed-master\n");
        EXPECT_EQ(session.finish(), 0) << session.transcript();
        EXPECT_EQ(session.transcript().find("typed-master"), std::string::npos);
    }
    {
        // With a key file it is checked against the file instead.
        test::TerminalSession session({VORLAXEN_CLI, "decrypt", "a.txt.cry"}, options("", ""));
        ASSERT_TRUE(session.waitFor("Enter the password ( 6 - 16 symbols ): ")) << session.transcript();
        session.type("wrong-master\n");
        ASSERT_TRUE(session.waitFor("Invalid password.")) << session.transcript();
        ASSERT_TRUE(session.waitFor("Enter the password ( 6 - 16 symbols ): ")) << session.transcript();
        session.type("typed-master\n");
        EXPECT_EQ(session.finish(), 0) << session.transcript();
    }
    EXPECT_EQ(dir.names(), Names{"a.txt"});
}

TEST_F(CliKeyFile, OptionsAreCheckedPerCommand) {
    EXPECT_EQ(run({"keys", "extra-file"}).status, cli::kExitUsage);
    EXPECT_EQ(run({"decrypt", "--store", "a.cry"}).status, cli::kExitUsage);
    EXPECT_EQ(run({"verify", "--key-file", "k", "a.cry"}).status, cli::kExitUsage);
    EXPECT_EQ(run({"encrypt", "--key-file"}).status, cli::kExitUsage);
    auto help = run({"--help"});
    for (const char* needle : {"keys", "--store", "--key-file", "VORLAXEN_MASTER_PASSWORD", "xwords.001"})
        EXPECT_NE(help.out.find(needle), std::string::npos) << needle;
}

} // namespace
} // namespace vorlaxen
