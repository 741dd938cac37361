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

} // namespace
} // namespace vorlaxen
