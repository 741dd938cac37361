#pragma once

#include "cli/CommandLine.h"

#include <span>
#include <string>
#include <string_view>

namespace vorlaxen::cli {

// The companion's commands and options, one row each. The parser, --help, the bash completion and the
// manual page's synopsis and option list are all made from these rows (the last two by
// packaging/CliForms.cpp at build time), so that a new option is one new row.

// What a command's operands are, for the usage lines and the completion of file names.
enum class Operands {
    None,       // keys
    Files,      // FILE...: anything may be named
    Containers, // FILE.cry...: the completion offers containers and directories
};

struct CommandRow {
    Command command;
    const char* name;
    Operands operands;
};

// What follows an option, and where it goes in the Request.
enum class OptionValue {
    None,     // a switch: `flag` is set
    Method,   // one of the methods' spellings: Request::method, and methodGiven
    FileName, // a non-empty file name: `text`
    Jobs,     // a number of files from 1 to kMaxJobs: Request::jobs
};

// A bit for each command, so that a row names every command that takes its option.
using CommandSet = unsigned;
constexpr CommandSet Bit(Command command) noexcept {
    return 1u << static_cast<unsigned>(command);
}

struct OptionRow {
    const char* shortName; // "-r", or null
    const char* longName;  // "--recursive"
    OptionValue value;
    const char* valueName; // "M", "F", "K", "N": what the usage and the option lists call the value
    CommandSet commands;
    bool Request::*flag;        // OptionValue::None
    std::string Request::*text; // OptionValue::FileName
    const char* help;           // its description in --help's option list, lines of at most 70 characters;
                                // null for an option the list leaves out
    const char* manual;         // its description in the manual page, in the page's markup

    bool TakenBy(Command command) const noexcept { return (commands & Bit(command)) != 0; }
};

// The commands in the order the help names them.
std::span<const CommandRow> CommandRows() noexcept;
// The options of the commands, in the order of the usage lines and the option lists.
std::span<const OptionRow> OptionRows() noexcept;
// "--help" and "--version", which stand on their own instead of a command.
std::span<const OptionRow> ProgramOptionRows() noexcept;

// The command of that name; null for none.
const CommandRow* CommandNamed(std::string_view name) noexcept;

// How the usage names an option's value: the methods' spellings ("idea|des|3xdes") for the method, else
// its value name.
std::string ValueShown(const OptionRow& option);

} // namespace vorlaxen::cli
