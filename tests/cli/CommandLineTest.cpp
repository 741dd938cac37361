// The companion's parser, made from the options table: the forms each option's value may take, what
// ends the options, and the usage error of each kind of value.

#include "cli/CommandLine.h"

#include <gtest/gtest.h>

namespace vorlaxen {
namespace {

cli::Request Parse(std::vector<std::string> args) {
    return cli::ParseCommandLine(args);
}

TEST(CompanionCommandLine, TakesEveryFormOfAValueAndSaysWhatAValueMustBe) {
    cli::Request r = Parse({"encrypt", "--method=3xdes", "-j4", "--key-file", "--keep", "-r", "--", "-a", "-", "b"});
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.command, cli::Command::Encrypt);
    EXPECT_EQ(r.method, CipherMethod::TripleDes);
    EXPECT_TRUE(r.methodGiven);
    EXPECT_EQ(r.jobs, 4u);
    EXPECT_EQ(r.keyFile, "--keep") << "a value not in the option's word is the next word, whatever it is";
    EXPECT_FALSE(r.keep);
    EXPECT_TRUE(r.recursive);
    EXPECT_EQ(r.files, (std::vector<std::string>{"-a", "-", "b"})) << "after \"--\" every word is a file";

    r = Parse({"rekey", "--method", "des", "--jobs=8", "a.cry"});
    EXPECT_EQ(r.error, "unknown option '--jobs=8' for rekey") << "an option of another command";
    r = Parse({"decrypt", "--jobs", "8", "--password-file=p", "a.cry"});
    EXPECT_EQ(r.jobs, 8u);
    EXPECT_EQ(r.passwordFile, "p");

    EXPECT_EQ(Parse({"encrypt", "--method", "rot13", "a"}).error, "--method takes idea, des or 3xdes");
    EXPECT_EQ(Parse({"encrypt", "a", "--method"}).error, "--method takes idea, des or 3xdes");
    EXPECT_EQ(Parse({"encrypt", "-j0", "a"}).error, "--jobs takes a number of files from 1 to 256");
    EXPECT_EQ(Parse({"decrypt", "--key-file=", "a"}).error, "--key-file takes a file name");
    EXPECT_EQ(Parse({"verify", "-rx", "a"}).error, "unknown option '-rx' for verify");
    EXPECT_EQ(Parse({"keys", "a"}).error, "keys takes no files");
    EXPECT_EQ(Parse({"info"}).error, "no files given");
    EXPECT_EQ(Parse({"info", "--bogus", "-h"}).error, "unknown option '--bogus' for info");
    EXPECT_EQ(Parse({"info", "a", "-h", "--bogus"}).command, cli::Command::Help);
}

// "-" is standard input only before "--", and like -o OUT it stands for one file alone, with no directory
// walk and no stored password; a container cannot go to standard output, its header being written last.
TEST(CompanionCommandLine, StandardInputAndANamedOutputTakeOneFile) {
    cli::Request r = Parse({"encrypt", "-o", "d.tar.cry", "-"});
    EXPECT_EQ(r.error, "");
    EXPECT_TRUE(r.standardInput);
    EXPECT_EQ(r.output, "d.tar.cry");
    r = Parse({"decrypt", "-o-", "a.cry"});
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.output, "-");
    EXPECT_FALSE(r.standardInput);
    r = Parse({"cat", "--key-file=k", "--password-file", "p", "a.cry", "b.cry"});
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.command, cli::Command::Cat);
    EXPECT_TRUE(Parse({"cat", "-"}).standardInput);
    r = Parse({"encrypt", "--", "-"});
    EXPECT_EQ(r.error, "") << "a file named \"-\"";
    EXPECT_FALSE(r.standardInput);

    EXPECT_EQ(Parse({"encrypt", "-o", "-", "a"}).error,
              "encrypt cannot write to standard output: a container's header is written last");
    EXPECT_EQ(Parse({"encrypt", "-"}).error, "reading standard input (-) needs -o OUT");
    EXPECT_EQ(Parse({"decrypt", "-o", "x", "a.cry", "b.cry"}).error, "-o takes one file");
    EXPECT_EQ(Parse({"cat", "-", "a.cry"}).error, "- (standard input) is one file alone");
    EXPECT_EQ(Parse({"decrypt", "-r", "-o", "x", "d"}).error, "-r cannot be combined with -o or -");
    EXPECT_EQ(Parse({"encrypt", "--store", "-o", "x.cry", "a"}).error, "--store cannot be combined with -o");
    EXPECT_EQ(Parse({"cat", "-o", "x", "a.cry"}).error, "unknown option '-o' for cat");
    EXPECT_EQ(Parse({"decrypt", "--output="}).error, "--output takes a file name");
}

} // namespace
} // namespace vorlaxen
