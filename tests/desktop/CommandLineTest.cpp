// The desktop program's command line: its switches in every spelling, passwords from the command line
// and the environment, the method switches, relative and full names, "/open" and "/encrypt", the key
// file, and what ends the program. Applications are played by a fake launcher here.

#include "desktop/ShellFixture.h"

#include <cstring>
#include <filesystem>

namespace vorlaxen {
namespace {

using test::Press;
using test::Type;
using Names = std::vector<std::string>;

class CommandLineRun : public test::ShellTest {};

TEST(ProgramArguments, SwitchesInEverySpellingAndPasswordsTakenOutOfTheArguments) {
    EXPECT_EQ(SwitchOf("/open"), Switch::Open);
    EXPECT_EQ(SwitchOf("/OPEN"), Switch::Open);
    EXPECT_EQ(SwitchOf("--Print"), Switch::Print);
    EXPECT_EQ(SwitchOf("--encrypt"), Switch::Encrypt);
    EXPECT_EQ(SwitchOf("/decrypt"), Switch::Decrypt);
    EXPECT_EQ(SwitchOf("/3XDES"), Switch::TripleDes);
    EXPECT_EQ(SwitchOf("--idea"), Switch::Idea);
    EXPECT_EQ(SwitchOf("/des"), Switch::Des);
    EXPECT_EQ(SwitchOf("/usekeyfile"), Switch::UseKeyFile);
    EXPECT_EQ(SwitchOf("/Pass:Secret"), Switch::Pass);
    EXPECT_EQ(SwitchOf("--pass="), Switch::Pass);
    EXPECT_EQ(SwitchOf("--masterpass=x"), Switch::MasterPass);
    // A full path is a file unless it is exactly a switch.
    for (const char* file : {"/des.txt", "/open/report.pdf.cry", "/home/me/a.txt", "--pass", "a.txt", "/passwords.txt"})
        EXPECT_EQ(SwitchOf(file), Switch::File) << file;

    // The password bytes are overwritten where the process keeps its arguments; a toolkit may then take
    // out arguments of its own, and each password switch still gets its own password.
    char program[] = "vorlaxen";
    char style[] = "-style";
    char fusion[] = "fusion";
    char pass[] = "/PASS:Sesame 99";
    char master[] = "--masterpass=master-pw";
    char file[] = "/tmp/a.txt";
    char* argv[] = {program, style, fusion, pass, master, file, nullptr};
    ArgumentPasswords passwords = ArgumentPasswords::Take(6, argv);
    EXPECT_STREQ(pass, "/PASS:");
    EXPECT_EQ(std::memcmp(pass, "/PASS:\0\0\0\0\0\0\0\0\0", sizeof pass), 0);
    EXPECT_STREQ(master, "--masterpass=");
    char* compacted[] = {program, pass, master, file, nullptr};
    const std::vector<ProgramArgument> arguments = passwords.Arguments(4, compacted);
    ASSERT_EQ(arguments.size(), 3u);
    EXPECT_EQ(arguments[0].text, "/PASS:");
    EXPECT_EQ(std::string(arguments[0].password.begin(), arguments[0].password.end()), "Sesame 99");
    EXPECT_EQ(std::string(arguments[1].password.begin(), arguments[1].password.end()), "master-pw");
    EXPECT_EQ(arguments[2].text, "/tmp/a.txt");
    EXPECT_TRUE(arguments[2].password.empty());
}

TEST_F(CommandLineRun, TripleDesWithAPasswordInSessionModeEncryptsWithoutAPromptAndEnds) {
    pwd().SessionMode = true;
    write("notes.txt", "my notes");
    run({"/3xdes", "/pass:abcdef", "notes.txt"});
    EXPECT_EQ(names(), Names{"notes.txt.cry"});
    EXPECT_EQ(MethodOf(path("notes.txt.cry")), CipherMethod::TripleDes);
    EXPECT_TRUE(OpensWith(path("notes.txt.cry"), "abcdef"));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(windowHost.closed, 1) << "nothing is watched: the program ends";
    EXPECT_EQ(windowHost.methods, (std::vector<std::int32_t>{4, 1}));
    EXPECT_EQ(settings.method, 1) << "the default method is what it was";
    EXPECT_TRUE(host.messages.empty());
    panes.ExpectMatchesDisk();

    // Without session mode the prompt comes as usual, and a password of five characters is not usable.
    pwd().SessionMode = false;
    write("b.txt", "b");
    prompts.steps = {Type("typed-pw")};
    run({"--des", "--pass=abcdef", path("b.txt")});
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(OpensWith(path("b.txt.cry"), "typed-pw"));
    EXPECT_EQ(MethodOf(path("b.txt.cry")), CipherMethod::Des);

    pwd().SessionMode = true;
    write("c.txt", "c");
    prompts.steps = {Type("typed-pw2")};
    run({"/PASS:abcde", "c.txt"});
    EXPECT_EQ(prompts.shown.size(), 2u);
    EXPECT_FALSE(OpensWith(path("c.txt.cry"), "abcde"));

    // VORLAXEN_PASSWORD counts as a "/pass:" before the first argument.
    write("d.txt", "d");
    run({"/idea", "d.txt"}, "env-secret");
    EXPECT_EQ(prompts.shown.size(), 2u);
    EXPECT_TRUE(OpensWith(path("d.txt.cry"), "env-secret"));
    EXPECT_EQ(windowHost.closed, 4);
    EXPECT_EQ(names(), (Names{"b.txt.cry", "c.txt.cry", "d.txt.cry", "notes.txt.cry"}));

    // Switches without a file (a desktop action started on its own) leave the window to the user.
    run({"/decrypt"});
    EXPECT_EQ(windowHost.closed, 4);
}

TEST_F(CommandLineRun, OpenHandsContainersOverEachInItsSlotAndEncryptEndsOpen) {
    watch().setQuickExit(std::chrono::milliseconds(0));
    container("a.txt", "alpha text", "alpha-pw");
    container("b.txt", "beta text", "beta-pw");
    container("c.txt", "gamma text", "gamma-pw");
    ::mkdir(path("sub").c_str(), 0700);
    container("sub/d.txt", "delta text", "delta-pw", CipherMethod::Des);
    panes.ReadFLists();
    prompts.steps = {Type("alpha-pw"), Type("delta-pw"), Type("gamma-pw")};
    run({"--open", path("a.txt.cry"), "./sub/../sub/d.txt.cry", "/OPEN", "/encrypt", "c.txt.cry"});

    ASSERT_EQ(fake.launched.size(), 2u) << "c.txt is decrypted after /encrypt, not opened";
    EXPECT_EQ(fake.launched[0].path, path("a.txt"));
    EXPECT_EQ(fake.launched[0].directory, home);
    EXPECT_EQ(fake.launched[1].path, path("sub/d.txt")) << "a relative name is taken as a full one";
    EXPECT_EQ(fake.launched[1].directory, path("sub"));
    for (const auto& launch : fake.launched)
        EXPECT_TRUE(launch.verb == LaunchVerb::Open && launch.watch);
    EXPECT_EQ(slots().Count, 2);
    EXPECT_EQ(windowHost.closed, 0) << "files are watched: the program stays";
    EXPECT_TRUE(controls.timer);
    EXPECT_EQ(names(), (Names{"a.txt", "b.txt.cry", "c.txt"}));
    panes.ExpectMatchesDisk();
    EXPECT_EQ(std::filesystem::current_path().string(), home) << "the shown directory is still the current one";

    // Whatever password is held when the applications end, each file goes back under its own.
    pwd().SetPassword("unrelated");
    pwd().Valid = true;
    fake.EndAll();
    watch().NotifyOpenFiles();
    EXPECT_EQ(slots().Count, 0);
    EXPECT_FALSE(controls.timer);
    EXPECT_EQ(contentOf("a.txt.cry", "alpha-pw"), "alpha text");
    EXPECT_EQ(contentOf("sub/d.txt.cry", "delta-pw"), "delta text");
    EXPECT_EQ(MethodOf(path("sub/d.txt.cry")), CipherMethod::Idea) << "encrypted again with the default method";
    EXPECT_EQ(names(), (Names{"a.txt.cry", "b.txt.cry", "c.txt"}));
    EXPECT_EQ(test::FakePanes::FilesOf(path("sub")), Names{"d.txt.cry"});
    EXPECT_TRUE(host.messages.empty());
    panes.ExpectMatchesDisk();
    for (const auto& slot : slots().Files)
        EXPECT_TRUE(slot.Password.empty() && !slot.InUse);
}

// The container named is the one decrypted, also where another differs from it only in the letter case of
// ".cry" and both are listed under the same caption.
TEST_F(CommandLineRun, TheContainerNamedIsTheOneDecryptedBesideItsNameInOtherCase) {
    container("x.txt", "upper text", "upper-pw");
    ASSERT_EQ(::rename(path("x.txt.cry").c_str(), path("x.txt.CRY").c_str()), 0);
    container("x.txt", "lower text", "lower-pw");
    const auto lower = test::ReadFile(path("x.txt.cry"));
    panes.ReadFLists();
    prompts.steps = {Type("upper-pw")};
    run({"x.txt.CRY"});
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(names(), (Names{"x.txt", "x.txt.cry"}));
    EXPECT_EQ(read("x.txt"), "upper text");
    EXPECT_EQ(test::ReadFile(path("x.txt.cry")), lower) << "the other container is left alone";
}

TEST_F(CommandLineRun, AMissingFileIsReportedAndADirectoryThatCannotBeEnteredEndsTheRun) {
    write("e.txt", "e");
    prompts.steps = {Type("some-pw")};
    run({"/des", "missing.txt", "/no-such-directory/x.txt", "e.txt"});
    EXPECT_EQ(
        messages(),
        (Names{"File " + path("missing.txt") + " not found.", "Unable to enter the directory /no-such-directory ."}));
    EXPECT_EQ(prompts.shown.size(), 1u) << "the prompt came first for the missing file";
    EXPECT_EQ(names(), Names{"e.txt"}) << "nothing after the directory is processed";
    EXPECT_EQ(settings.method, 1);
    EXPECT_EQ(windowHost.closed, 0) << "the window stays with the error";
    EXPECT_FALSE(state().AbortFlag);
}

TEST_F(CommandLineRun, TheKeyFileForOneCommandLine) {
    write("f.txt", "kept in the key file");
    pwd().SessionMode = true;
    run({"/masterpass:master-pw", "/usekeyfile", "/pass:file-pw", "f.txt"});
    EXPECT_TRUE(OpensWith(path("f.txt.cry"), "file-pw"));
    EXPECT_TRUE(state().SaveToTable) << "stays on after the command line";
    EXPECT_FALSE(masterPass().UseKeyFile) << "back to its setting";
    EXPECT_TRUE(masterPass().Valid);

    // The password comes from the key file: no prompt, and the file opens.
    pwd().SessionMode = false;
    pwd().Valid = false;
    state().SaveToTable = false;
    run({"--masterpass=master-pw", "--open", "f.txt.cry"});
    EXPECT_TRUE(prompts.shown.empty());
    ASSERT_EQ(fake.launched.size(), 1u);
    EXPECT_EQ(fake.launched[0].path, path("f.txt"));
    EXPECT_TRUE(expiry.masterButton);
    EXPECT_FALSE(masterPass().UseKeyFile);

    watch().setQuickExit(std::chrono::milliseconds(0));
    fake.EndAll();
    watch().NotifyOpenFiles();
    EXPECT_EQ(contentOf("f.txt.cry", "file-pw"), "kept in the key file")
        << "encrypted again with the password from the key file";
}

} // namespace
} // namespace vorlaxen
