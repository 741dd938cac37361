// The bash completion of vorlaxen-cli as the build makes it from the options table, run in bash: every
// command and option of the table is offered where it belongs, and nothing else. The completion offers
// only what the program's --help names, so this also finds an option that --help leaves out.

#include "cli/OptionTable.h"
#include "engine/CipherMethod.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace vorlaxen {
namespace {

using Words = std::set<std::string>;

class Completion : public ::testing::Test {
protected:
    // The completion's words for the command line `words`, the last one being completed.
    Words complete(const std::vector<std::string>& words) {
        std::ostringstream line;
        line << "source '" << VORLAXEN_CLI_COMPLETION << "'; COMP_WORDS=('" << VORLAXEN_CLI << "'";
        for (const std::string& word : words)
            line << " '" << word << "'";
        line << "); COMP_CWORD=" << words.size() << "; _vorlaxen_cli; printf '%s\\n' \"${COMPREPLY[@]}\"";
        test::ProcessOptions options;
        options.cwd = dir.path();
        const test::ProcessResult result = test::RunProcess({"/bin/bash", "--norc", "-c", line.str()}, options);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        Words offered;
        std::istringstream out(result.out);
        for (std::string word; std::getline(out, word);)
            if (!word.empty())
                offered.insert(word);
        return offered;
    }

    test::TempDir dir;
};

TEST_F(Completion, OffersTheTablesCommandsOptionsAndMethodsWhereTheyBelong) {
    Words firstWords;
    for (const cli::CommandRow& command : cli::CommandRows())
        firstWords.insert(command.name);
    for (const cli::OptionRow& option : cli::ProgramOptionRows())
        firstWords.insert(option.longName);
    EXPECT_EQ(complete({""}), firstWords) << "the commands and the program's own options";

    for (const cli::CommandRow& command : cli::CommandRows()) {
        SCOPED_TRACE(command.name);
        Words expected{"--"};
        for (const cli::OptionRow& option : cli::OptionRows())
            if (option.TakenBy(command.command))
                for (const char* spelling : {option.shortName, option.longName})
                    if (spelling)
                        expected.insert(spelling);
        EXPECT_EQ(complete({command.name, "-"}), expected);
    }

    Words methods;
    for (const MethodInfo& method : Methods())
        if (method.writable())
            methods.insert(method.spelling);
    ASSERT_EQ(methods.size(), 3u);
    EXPECT_EQ(complete({"encrypt", "--method", ""}), methods);
    EXPECT_EQ(complete({"encrypt", "--method", "=", ""}), methods) << "where \"=\" breaks words";

    // Files: anything to encrypt, containers (and directories to go into) to decrypt.
    test::WriteFile(dir / "a.txt", "a");
    test::WriteFile(dir / "b.cry", "b");
    test::WriteFile(dir / "C.CRY", "c");
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0700), 0);
    EXPECT_EQ(complete({"encrypt", ""}), (Words{"a.txt", "b.cry", "C.CRY", "sub"}));
    EXPECT_EQ(complete({"decrypt", "--keep", ""}), (Words{"b.cry", "C.CRY", "sub"}));
    EXPECT_EQ(complete({"decrypt", "--", "-"}), Words{}) << "after \"--\" a word is a file";
}

} // namespace
} // namespace vorlaxen
