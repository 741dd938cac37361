// The bash completion of vorlaxen-cli against the program's own --help: every command and option that
// --help names is offered where it belongs, and nothing else.

#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace vorlaxen {
namespace {

using Words = std::set<std::string>;

// What --help says: each usage entry's first word (a command, or a top-level option) with the options
// written in it, and the groups of spellings of one option ("-r, --recursive") of the options list.
struct Help {
    std::map<std::string, Words> usage;
    std::vector<Words> aliases;
    Words methods;
};

Words OptionsIn(const std::string& text) {
    Words found;
    static const std::regex option(R"((?:^|[\s\[|(])(--?[A-Za-z][-A-Za-z0-9]*))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        found.insert((*it)[1]);
    return found;
}

Help ParseHelp(const std::string& text) {
    Help help;
    std::istringstream lines(text);
    std::string line, section, entry;
    const std::string program = "vorlaxen-cli ";
    auto closeEntry = [&] {
        if (entry.empty())
            return;
        std::istringstream words(entry);
        std::string first;
        words >> first;
        const std::string rest = entry.substr(entry.find(first) + first.size());
        if (first.starts_with("-")) {
            for (const std::string& option : OptionsIn(entry))
                help.usage[option];
        } else {
            help.usage[first] = OptionsIn(rest);
        }
        static const std::regex methods(R"(--method[ =]([a-z0-9|]+))");
        if (std::smatch m; std::regex_search(rest, m, methods)) {
            std::istringstream names(std::regex_replace(m[1].str(), std::regex("\\|"), " "));
            for (std::string name; names >> name;)
                help.methods.insert(name);
        }
        entry.clear();
    };
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] != ' ') {
            closeEntry();
            section = line;
            continue;
        }
        if (section == "Usage:") {
            const auto start = line.find_first_not_of(' ');
            if (start == std::string::npos)
                continue;
            if (line.compare(start, program.size(), program) == 0) {
                closeEntry();
                entry = line.substr(start + program.size());
            } else {
                entry.append(1, ' ').append(line, start);
            }
        } else if (section == "Options:" && line.starts_with("  -")) {
            // The spellings before the description, which starts after a run of spaces.
            const auto end = line.find("  ", 2);
            Words group = OptionsIn(line.substr(0, end));
            if (group.size() > 1)
                help.aliases.push_back(group);
        }
    }
    closeEntry();
    return help;
}

class Completion : public ::testing::Test {
protected:
    // The completion's words for the command line `words`, the last one being completed.
    Words complete(const std::vector<std::string>& words) {
        std::ostringstream line;
        line << "source '" << VORLAXEN_PACKAGING << "/bash-completion/vorlaxen-cli'; COMP_WORDS=('" << VORLAXEN_CLI
             << "'";
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

TEST_F(Completion, OffersWhatTheHelpNamesForEachCommandAndNothingElse) {
    const test::ProcessResult shown = test::RunProcess({VORLAXEN_CLI, "--help"});
    ASSERT_EQ(shown.status, 0);
    const Help help = ParseHelp(shown.out);
    ASSERT_GE(help.usage.size(), 6u) << shown.out;
    ASSERT_TRUE(help.usage.contains("encrypt")) << shown.out;

    Words firstWords;
    for (const auto& [first, options] : help.usage)
        firstWords.insert(first);
    EXPECT_EQ(complete({""}), firstWords) << "the commands and the top-level options";

    for (const auto& [command, usage] : help.usage) {
        if (command.starts_with("-"))
            continue;
        SCOPED_TRACE(command);
        Words expected = usage;
        for (const Words& group : help.aliases)
            for (const std::string& spelling : group)
                if (usage.contains(spelling))
                    expected.insert(group.begin(), group.end());
        expected.insert("--");
        EXPECT_EQ(complete({command, "-"}), expected);
    }

    ASSERT_FALSE(help.methods.empty());
    EXPECT_EQ(complete({"encrypt", "--method", ""}), help.methods);
    EXPECT_EQ(complete({"encrypt", "--method", "=", ""}), help.methods) << "where \"=\" breaks words";

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
