#include "cli/CommandLine.h"

#include "cli/OptionTable.h"

#include <optional>

namespace vorlaxen::cli {

namespace {

bool TakeMethod(const std::string& spelling, CipherMethod& method) {
    const MethodInfo* named = MethodBySpelling(spelling);
    if (named)
        method = named->code;
    return named != nullptr;
}

bool TakeJobs(const std::string& text, unsigned& jobs) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long value = std::stoul(text);
    if (value < 1 || value > kMaxJobs)
        return false;
    jobs = static_cast<unsigned>(value);
    return true;
}

// "idea, des or 3xdes"
std::string MethodChoices() {
    std::string choices;
    const std::string spellings = MethodSpellings(" ");
    const std::size_t last = spellings.rfind(' ');
    for (char c : spellings.substr(0, last))
        choices += c == ' ' ? std::string(", ") : std::string(1, c);
    return choices + " or" + spellings.substr(last);
}

// The row of the option `arg` spells, with `attached` set to a value written into the same word
// ("--jobs=4", "-j4"); null for none.
const OptionRow* OptionOf(const std::string& arg, std::optional<std::string>& attached) {
    for (const OptionRow& option : OptionRows()) {
        const bool takesValue = option.value != OptionValue::None;
        const std::string longName = option.longName;
        if (arg == longName || (option.shortName && arg == option.shortName))
            return &option;
        if (takesValue && arg.starts_with(longName + "=")) {
            attached = arg.substr(longName.size() + 1);
            return &option;
        }
        if (takesValue && option.shortName && arg.starts_with(option.shortName)) {
            attached = arg.substr(std::string_view(option.shortName).size());
            return &option;
        }
    }
    return nullptr;
}

// Puts the option's value into the request; the usage error for a value it cannot take, else "".
std::string Take(const OptionRow& option, const std::optional<std::string>& value, Request& request) {
    const std::string text = value.value_or("");
    switch (option.value) {
    case OptionValue::None:
        request.*option.flag = true;
        return "";
    case OptionValue::Method:
        if (!value || !TakeMethod(text, request.method))
            return std::string(option.longName) + " takes " + MethodChoices();
        request.methodGiven = true;
        return "";
    case OptionValue::FileName:
        if (text.empty())
            return std::string(option.longName) + " takes a file name";
        request.*option.text = text;
        return "";
    case OptionValue::Jobs:
        if (!TakeJobs(text, request.jobs))
            return std::string(option.longName) + " takes a number of files from 1 to " + std::to_string(kMaxJobs);
        return "";
    }
    return "";
}

// What an output named with -o, or standard input named as "-", cannot be combined with; "" when the
// request is usable.
std::string StreamUsageError(const Request& request) {
    const bool fromInput = request.standardInput;
    const bool writing = request.command == Command::Encrypt || request.command == Command::Decrypt;
    if (request.output.empty() && (!fromInput || !writing))
        return fromInput && request.files.size() > 1 ? "- (standard input) is one file alone" : "";
    if (request.files.size() > 1)
        return request.output.empty() ? "- (standard input) is one file alone" : "-o takes one file";
    if (request.recursive)
        return "-r cannot be combined with -o or -";
    if (request.output.empty())
        return "reading standard input (-) needs -o OUT";
    if (request.command == Command::Encrypt && request.output == "-")
        return "encrypt cannot write to standard output: a container's header is written last";
    if (request.store)
        return "--store cannot be combined with -o";
    return "";
}

bool Spells(const OptionRow& option, const std::string& arg) {
    return arg == option.longName || (option.shortName && arg == option.shortName);
}

} // namespace

Request ParseCommandLine(const std::vector<std::string>& args) {
    const OptionRow& help = ProgramOptionRows()[0];
    const OptionRow& version = ProgramOptionRows()[1];
    Request request;
    if (args.empty()) {
        request.error = "no command given";
        return request;
    }
    const std::string& verb = args[0];
    if (Spells(help, verb) || verb == "help")
        return request;
    if (Spells(version, verb)) {
        request.command = Command::Version;
        return request;
    }
    const CommandRow* command = CommandNamed(verb);
    if (!command) {
        request.error = "unknown command '" + verb + "'";
        return request;
    }
    request.command = command->command;

    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            // "-" is standard input; after "--" it is a file of that name.
            request.standardInput = request.standardInput || (!optionsEnded && arg == "-");
            request.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (Spells(help, arg))
            return Request();
        std::optional<std::string> value;
        const OptionRow* option = OptionOf(arg, value);
        if (!option || !option->TakenBy(request.command)) {
            request.error = "unknown option '" + arg + "' for " + verb;
            return request;
        }
        // A value that is not in the option's word is the next word, whatever it looks like.
        if (option->value != OptionValue::None && !value && i + 1 < args.size())
            value = args[++i];
        if (std::string error = Take(*option, value, request); !error.empty()) {
            request.error = error;
            return request;
        }
    }
    if (request.command == Command::Keys) {
        if (!request.files.empty())
            request.error = "keys takes no files";
    } else if (request.files.empty()) {
        request.error = "no files given";
    } else {
        request.error = StreamUsageError(request);
    }
    return request;
}

namespace {

constexpr std::size_t kUsageWidth = 90;        // the usage lines wrap before this column
constexpr std::size_t kDescriptionColumn = 22; // where the option list's descriptions begin

constexpr const char* kIntroduction = R"(vorlaxen-cli - encrypt and decrypt files in Vorlaxen ".cry" containers

)";

constexpr const char* kCommands = R"(Commands:
  encrypt   Writes FILE.cry beside each FILE with the file's permissions, then wipes FILE
            (overwritten once with pseudo-random bytes, truncated, deleted). The method is
            IDEA unless --method says otherwise.
  decrypt   Writes the plain file (the container's name without its last four characters)
            with the container's permissions, then deletes the container. When the key
            file holds the file's password, that password is used and its entry removed.
  verify    Decrypts each container in memory and checks its key and data checksum;
            writes nothing.
  info      Prints each container's method, plain size and header length.
  keys      Lists the files whose passwords the key file holds (never the passwords).
  rekey     Gives each container a new password, and with --method a new method, without
            writing plain data to disk: it is decrypted in memory, chunk by chunk, straight
            into the new container, which replaces the old one only once it is complete, on
            disk and verified. A key file entry for the file follows the new password.
  cat       Decrypts each container to standard output, one after the other, writing
            nothing to disk; FILE.cry and its key file entry stay. The data checksum can
            only be checked at the end: a damaged container, or a wrong password, is
            reported after its data, with status 11. A reader that stops reading (head)
            ends the run quietly, with status 0. - reads a container from standard input.

)";

constexpr const char* kAfterOptions = R"(
The password comes from the environment variable VORLAXEN_PASSWORD, else from
--password-file, else from the terminal without echo (twice when encrypting). One
password serves every file of the run. It must have 6 to 16 characters for IDEA, 6 to 8
for DES and 6 to 24 for 3xDES when encrypting, 6 to 24 when decrypting or verifying
(counted in bytes of UTF-8). A password of DES or IDEA longer than its key is cut.
Decryption asks for it only for a file whose password the key file does not hold; so
does rekey for the current password. The new password of rekey comes from
VORLAXEN_NEW_PASSWORD, else from --new-password-file, else from the terminal (twice),
and must fit every method it is given to.

The key file is encrypted under a master password of 6 to 16 characters, taken from
VORLAXEN_MASTER_PASSWORD or asked for at the terminal without echo (twice when the key
file does not exist yet), and checked against the key file. An entry of the key file
goes only once its file has been decrypted and its container deleted: a decryption that
fails, is declined, stopped or killed, or keeps its container (--keep) leaves the entry
as it was. A file whose full path contains "=" cannot be found again in the key file;
its password is never stored.

A password from the key file that does not open its file (an entry older than the
container) stays in the key file, and the password given for the run is tried
instead; the entry goes once the file is decrypted.

Runs and the desktop program may use one key file at once: each change is made under a
lock on the file .NAME.lock beside it, on the key file as it is at that moment. When
another program keeps it locked for 5 seconds, the run says so and changes nothing in
it; an encryption then keeps its plain file (status 6).

An existing target (FILE.cry when encrypting, FILE when decrypting) is replaced only
after a yes at the terminal, or with --force; without a terminal it is left alone. A
target that appears while a file is processed is never replaced without --force.
Every output, the key file included, has no name until it is complete and on disk;
a failure, Ctrl-C or a crash leaves the source and any existing target as they were.
In a run of several files the outputs are brought to disk in groups, and no source is
wiped before its output is on disk.
With -o OUT the output is OUT, and the file named is kept. - as the file reads
standard input: "tar c dir | vorlaxen-cli encrypt -o dir.tar.cry -" writes a container
whose plain size and checksum are filled in at the end; an input that reaches 4 GB is
refused (status 16) and nothing is left of the output. "vorlaxen-cli decrypt -o out -"
reads a container from standard input.

A file and its container carry the time of the file's last change: the container takes
the plain file's modification time, and the plain file the container's.

Only regular files are processed: links, named pipes and devices are left alone. A
file is held under a lock while it is processed, so that a second run on it is
refused at once; and it must still be the same file, unchanged, before it is wiped or
deleted. A file that fails is reported and the run goes on with the next one. Ctrl-C
stops every file being processed at its next block, removes its partial output and
ends the run. On a terminal a progress line shows the files and bytes done of the run.

Exit status:
  0   every file succeeded
  1   a target existed and was not replaced
  2   a file could not be opened or was not found, or a directory could not be read
  5   a file was processed but its source could not be removed
  6   the key file could not be used (no master password, or it cannot be read or
      written), or a password could not be stored in it; the plain file is then kept
  9   an output file could not be created
  10  a file could not be read, or is shorter than a container header
  11  wrong password, or the container is damaged (data checksum differs)
  12  out of memory
  13  the file is not a container
  14  stopped by Ctrl-C
  15  writing failed; the disk may be full
  16  the file is 4 GB or larger and cannot be encrypted
  17  the file is in use by another operation; left alone
  18  the file is not a regular file (a link, a named pipe or a device); left alone
  19  the file changed while it was encrypted; it is kept, no container written
  20  the container changed while it was decrypted; it is kept, no plain file written
  21  the target appeared while the file was processed; it is left alone
  22  the file is what an interrupted wipe left; its container holds the data and is
      left alone
  64  usage error: bad command line, no password, or a password of the wrong length
When several files fail, the status is that of the first failure in the order in which
the files were named (or met in a directory), also when several run at once.
)";

// "[-j|--jobs N]", "[--method idea|des|3xdes]"
std::string UsageOf(const OptionRow& option) {
    std::string word = "[";
    if (option.shortName)
        word.append(option.shortName).append("|");
    word.append(option.longName);
    if (option.value != OptionValue::None)
        word.append(" ").append(ValueShown(option));
    return word + "]";
}

// One command's usage, its words wrapped under the first one after the command.
std::string UsageLine(const CommandRow& command) {
    const std::string start = "  vorlaxen-cli " + std::string(command.name) + " ";
    std::vector<std::string> words;
    for (const OptionRow& option : OptionRows())
        if (option.TakenBy(command.command))
            words.push_back(UsageOf(option));
    if (command.operands == Operands::Files)
        words.emplace_back("FILE...");
    else if (command.operands == Operands::Containers)
        words.emplace_back("FILE.cry...");
    std::string text = start;
    std::size_t column = start.size();
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0 && column + 1 + words[i].size() > kUsageWidth) {
            text.append("\n").append(start.size(), ' ');
            column = start.size();
        } else if (i > 0) {
            text += ' ';
            ++column;
        }
        text += words[i];
        column += words[i].size();
    }
    return text + "\n";
}

// "  -j, --jobs N        Process up to N files ...", the description's lines under one another.
std::string OptionEntry(const OptionRow& option) {
    std::string head = "  ";
    if (option.shortName)
        head.append(option.shortName).append(", ");
    head.append(option.longName);
    if (option.valueName)
        head.append(" ").append(option.valueName);
    std::string text = head;
    if (head.size() + 2 > kDescriptionColumn)
        text.append("\n").append(kDescriptionColumn, ' ');
    else
        text.append(kDescriptionColumn - head.size(), ' ');
    for (char c : std::string_view(option.help)) {
        text += c;
        if (c == '\n')
            text.append(kDescriptionColumn, ' ');
    }
    return text + "\n";
}

std::string MakeHelpText() {
    std::string text = kIntroduction;
    text += "Usage:\n";
    for (const CommandRow& command : CommandRows())
        text += UsageLine(command);
    text += "  vorlaxen-cli";
    for (const OptionRow& option : ProgramOptionRows())
        text += std::string(&option == ProgramOptionRows().data() ? " " : " | ") + option.longName;
    text += "\n\n";
    text += kCommands;
    text += "Options:\n";
    for (const OptionRow& option : OptionRows())
        text += OptionEntry(option);
    return text + kAfterOptions;
}

} // namespace

const std::string& HelpText() {
    static const std::string text = MakeHelpText();
    return text;
}

} // namespace vorlaxen::cli
