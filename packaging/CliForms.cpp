// Writes the forms of the companion's command line that are installed beside it, from the same table of
// commands and options that its parser and its --help are made of:
//
//   vorlaxen-cli-forms completion OUT          the bash completion
//   vorlaxen-cli-forms manual TEMPLATE OUT     the manual page, its @SYNOPSIS@ and @OPTIONS@ lines
//                                              replaced by the synopsis and the option list

#include "cli/OptionTable.h"
#include "engine/CipherMethod.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace vorlaxen::cli {
namespace {

// --- the bash completion ------------------------------------------------------------------------------

constexpr const char* kCompletionStart =
    R"(# bash completion for vorlaxen-cli                                    -*- shell-script -*-
#
# Made from the companion's table of commands and options (src/cli/OptionTable.cpp) when it is built.
# A word is offered only when the vorlaxen-cli being completed names it in its --help, so that an
# older or newer program is never offered what it does not have.

# The --help text of the program being completed, read once per program.
_vorlaxen_cli_help() {
    local program=$1
    if [[ ${_vorlaxen_cli_help_of-} != "$program" ]]; then
        _vorlaxen_cli_help_text=$("$program" --help 2>/dev/null)
        _vorlaxen_cli_help_of=$program
    fi
}

# Prints those of the words that the program's --help names as words of its own.
_vorlaxen_cli_known() {
    local word
    for word in "$@"; do
        [[ $'\n'"$_vorlaxen_cli_help_text"$'\n' =~ [^-[:alnum:]]"$word"[^-[:alnum:]] ]] && printf '%s\n' "$word"
    done
}

# Files, and directories to go into; with an argument, only the files whose name ends in .cry (any case).
_vorlaxen_cli_files() {
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    if [[ $1 == cry ]]; then
        COMPREPLY+=($(compgen -d -- "$cur") $(compgen -f -X '!*.[cC][rR][yY]' -- "$cur"))
    else
        COMPREPLY+=($(compgen -f -- "$cur"))
    fi
}

_vorlaxen_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local program=${COMP_WORDS[0]} command=${COMP_WORDS[1]-} options word i
    COMPREPLY=()
    _vorlaxen_cli_help "$program"

)";

constexpr const char* kCompletionValue = R"(
    # An option's value, given as the next word or after "=" (a word of its own where "=" breaks words).
    local option=$prev value=$cur
    if [[ $prev == = ]] && ((COMP_CWORD > 2)); then
        option=${COMP_WORDS[COMP_CWORD-2]}
    elif [[ $cur == --*=* ]]; then
        option=${cur%%=*}
        value=${cur#*=}
    fi
    case $option in
)";

constexpr const char* kCompletionOptions = R"(    esac

    # After "--" every word is a file.
    for ((i = 2; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == -- ]] && break
    done
    if ((i == COMP_CWORD)) && [[ $cur == -* ]]; then
        case $command in
)";

constexpr const char* kCompletionFiles = R"(        *) return ;;
        esac
        # shellcheck disable=SC2086
        COMPREPLY=($(compgen -W "$(_vorlaxen_cli_known $options) --" -- "$cur"))
        return
    fi

    case $command in
)";

constexpr const char* kCompletionEnd = R"(    esac
}

complete -F _vorlaxen_cli vorlaxen-cli
)";

// The spellings of the options that take a value of this kind, as a case pattern: "-j | --jobs".
std::string PatternOf(OptionValue value) {
    std::string pattern;
    for (const OptionRow& option : OptionRows()) {
        if (option.value != value)
            continue;
        for (const char* spelling : {option.shortName, option.longName})
            if (spelling)
                pattern.append(pattern.empty() ? "" : " | ").append(spelling);
    }
    return pattern;
}

// The commands whose operands are of this kind, as a case pattern: "decrypt | verify | info | rekey".
std::string PatternOf(Operands operands) {
    std::string pattern;
    for (const CommandRow& command : CommandRows())
        if (command.operands == operands)
            pattern.append(pattern.empty() ? "" : " | ").append(command.name);
    return pattern;
}

std::string Completion() {
    std::ostringstream out;
    out << kCompletionStart;
    std::string firstWords;
    for (const CommandRow& command : CommandRows())
        firstWords.append(firstWords.empty() ? "" : " ").append(command.name);
    for (const OptionRow& option : ProgramOptionRows())
        firstWords.append(" ").append(option.longName);
    out << "    if ((COMP_CWORD == 1)); then\n"
        << "        COMPREPLY=($(compgen -W \"$(_vorlaxen_cli_known " << firstWords << ")\" \\\n"
        << "            -- \"$cur\"))\n"
        << "        return\n"
        << "    fi\n";

    out << kCompletionValue;
    out << "    " << PatternOf(OptionValue::Method) << ")\n"
        << "        COMPREPLY=($(compgen -W \"" << MethodSpellings(" ") << "\" -- \"$value\"))\n"
        << "        return\n"
        << "        ;;\n";
    out << "    " << PatternOf(OptionValue::FileName) << ")\n"
        << "        cur=$value\n"
        << "        _vorlaxen_cli_files\n"
        << "        return\n"
        << "        ;;\n";
    out << "    " << PatternOf(OptionValue::Jobs) << ")\n"
        << "        return\n"
        << "        ;;\n";

    out << kCompletionOptions;
    for (const CommandRow& command : CommandRows()) {
        std::string options;
        for (const OptionRow& option : OptionRows())
            if (option.TakenBy(command.command))
                for (const char* spelling : {option.shortName, option.longName})
                    if (spelling)
                        options.append(options.empty() ? "" : " ").append(spelling);
        out << "        " << command.name << ") options=\"" << options << "\" ;;\n";
    }

    out << kCompletionFiles;
    out << "    " << PatternOf(Operands::Files) << ") _vorlaxen_cli_files ;;\n";
    out << "    " << PatternOf(Operands::Containers) << ") _vorlaxen_cli_files cry ;;\n";
    out << kCompletionEnd;
    return out.str();
}

// --- the manual page ----------------------------------------------------------------------------------

// A word in the page's markup: every "-" is a hyphen-minus, as typed.
std::string Roff(std::string_view text) {
    std::string out;
    for (char c : text)
        out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

// The synopsis of each command, then of the program's own options.
std::string Synopsis() {
    std::ostringstream out;
    for (const CommandRow& command : CommandRows()) {
        out << ".SY \"vorlaxen\\-cli " << command.name << "\"\n";
        for (const OptionRow& option : OptionRows()) {
            if (!option.TakenBy(command.command))
                continue;
            out << ".RB [ ";
            if (option.shortName)
                out << Roff(option.shortName) << " | ";
            out << Roff(option.longName);
            if (option.value == OptionValue::None) {
                out << " ]\n";
            } else if (option.value == OptionValue::Method) {
                out << "\n.BR";
                bool firstMethod = true;
                for (const vorlaxen::MethodInfo& method : vorlaxen::Methods())
                    if (method.writable()) {
                        out << (firstMethod ? " " : " | ") << Roff(method.spelling);
                        firstMethod = false;
                    }
                out << " ]\n";
            } else {
                out << "\n.IR " << option.valueName << " ]\n";
            }
        }
        if (command.operands == Operands::Files)
            out << ".IR FILE ...\n";
        else if (command.operands == Operands::Containers)
            out << ".IR FILE.cry ...\n";
        out << ".YS\n";
    }
    out << ".SY vorlaxen\\-cli\n.BR";
    for (const OptionRow& option : ProgramOptionRows())
        out << (&option == ProgramOptionRows().data() ? " " : " \" | \" ") << Roff(option.longName);
    out << "\n.YS\n";
    return out.str();
}

// The option's spellings as the heading of its entry: ".BR \-j \" \fIN\fR, \" \-\-jobs \" \fIN\fR\"".
std::string Heading(const OptionRow& option) {
    const std::string value = option.valueName ? std::string(" \\fI") + option.valueName + "\\fR" : "";
    if (!option.shortName)
        return option.valueName ? ".BI " + Roff(option.longName) + " \" " + option.valueName + "\""
                                : ".B " + Roff(option.longName);
    return ".BR " + Roff(option.shortName) + " \"" + value + ", \" " + Roff(option.longName) +
           (value.empty() ? "" : " \"" + value + "\"");
}

// Each option of the commands with the commands that take it, then the program's own options.
std::string OptionList() {
    std::ostringstream out;
    for (const OptionRow& option : OptionRows()) {
        out << ".TP\n" << Heading(option) << "\n.RB (";
        bool first = true;
        for (const CommandRow& command : CommandRows()) {
            if (!option.TakenBy(command.command))
                continue;
            out << (first ? " " : " \", \" ") << command.name;
            first = false;
        }
        out << " )\n" << option.manual << "\n";
    }
    for (const OptionRow& option : ProgramOptionRows())
        out << ".TP\n" << Heading(option) << "\n" << option.manual << "\n";
    return out.str();
}

std::string Manual(const std::string& templatePath) {
    std::ifstream in(templatePath);
    if (!in)
        return "";
    std::ostringstream out;
    for (std::string line; std::getline(in, line);) {
        if (line == "@SYNOPSIS@")
            out << Synopsis();
        else if (line == "@OPTIONS@")
            out << OptionList();
        else
            out << line << "\n";
    }
    return out.str();
}

bool Write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

} // namespace
} // namespace vorlaxen::cli

int main(int argc, char** argv) {
    using namespace vorlaxen::cli;
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string text;
    std::string out;
    if (args.size() == 2 && args[0] == "completion") {
        text = Completion();
        out = args[1];
    } else if (args.size() == 3 && args[0] == "manual") {
        text = Manual(args[1]);
        out = args[2];
        if (text.empty()) {
            std::cerr << "vorlaxen-cli-forms: cannot read " << args[1] << "\n";
            return 1;
        }
    } else {
        std::cerr << "usage: vorlaxen-cli-forms completion OUT | manual TEMPLATE OUT\n";
        return 64;
    }
    if (!Write(out, text)) {
        std::cerr << "vorlaxen-cli-forms: cannot write " << out << "\n";
        return 1;
    }
    return 0;
}
