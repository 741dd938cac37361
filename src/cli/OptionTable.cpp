#include "cli/OptionTable.h"

#include "engine/CipherMethod.h"

namespace vorlaxen::cli {

namespace {

constexpr CommandSet kWriting = Bit(Command::Encrypt) | Bit(Command::Decrypt);

constexpr CommandRow kCommands[] = {
    {Command::Encrypt, "encrypt", Operands::Files},
    {Command::Decrypt, "decrypt", Operands::Containers},
    {Command::Verify, "verify", Operands::Containers},
    {Command::Info, "info", Operands::Containers},
    {Command::Keys, "keys", Operands::None},
    {Command::Rekey, "rekey", Operands::Containers},
    {Command::Cat, "cat", Operands::Containers},
};

const OptionRow kOptions[] = {
    {nullptr,
     "--method",
     OptionValue::Method,
     "M",
     Bit(Command::Encrypt) | Bit(Command::Rekey),
     nullptr,
     nullptr,
     "idea (16-byte key), des or 3xdes (three DES keys). For rekey, without\n"
     "it each container keeps its method.",
     ".BR idea \" (16-byte key), \" des \" or \" 3xdes\n"
     "(three DES keys)."},
    {nullptr,
     "--keep",
     OptionValue::None,
     nullptr,
     kWriting,
     &Request::keep,
     nullptr,
     "Keep the source file.",
     "Keep the source file."},
    {nullptr,
     "--force",
     OptionValue::None,
     nullptr,
     kWriting,
     &Request::force,
     nullptr,
     "Replace an existing target without asking.",
     "Replace an existing target without asking."},
    {nullptr,
     "--password-file",
     OptionValue::FileName,
     "F",
     kWriting | Bit(Command::Verify) | Bit(Command::Rekey) | Bit(Command::Cat),
     nullptr,
     &Request::passwordFile,
     "Read the password from the first line of F.",
     "Read the password from the first line of\n"
     ".IR F ."},
    {nullptr,
     "--new-password-file",
     OptionValue::FileName,
     "F",
     Bit(Command::Rekey),
     nullptr,
     &Request::newPasswordFile,
     "rekey: read the new password from the first line of F.",
     "Read the new password from the first line of\n"
     ".IR F ."},
    {nullptr,
     "--store",
     OptionValue::None,
     nullptr,
     Bit(Command::Encrypt),
     &Request::store,
     nullptr,
     "Also store each file's password in the key file, under the plain\n"
     "file's full path; the plain file is wiped only once it is stored.",
     "Also store each file's password in the key file, under the plain file's full path; the plain file\n"
     "is wiped only once it is stored."},
    {nullptr,
     "--key-file",
     OptionValue::FileName,
     "K",
     kWriting | Bit(Command::Keys) | Bit(Command::Rekey) | Bit(Command::Cat),
     nullptr,
     &Request::keyFile,
     "The key file (default: xwords.001 in the home directory).",
     "The key file (default:\n"
     ".I xwords.001\n"
     "in the home directory, or the key file that the desktop program's settings name)."},
    {"-o",
     "--output",
     OptionValue::FileName,
     "OUT",
     kWriting,
     nullptr,
     &Request::output,
     "Write the output to OUT instead of beside the file, and keep the file.\n"
     "One file only; decrypt -o - writes to standard output, as cat does.",
     "Write the output to\n"
     ".I OUT\n"
     "instead of beside the file, and keep the file; one file only.\n"
     "The output is written as every output is: unnamed until it is complete and on disk, and an\n"
     "existing\n"
     ".I OUT\n"
     "is replaced only after a yes or with\n"
     ".BR \\-\\-force .\n"
     ".B decrypt \\-o \\-\n"
     "writes the plain data to standard output, as\n"
     ".B cat\n"
     "does;\n"
     ".B encrypt \\-o \\-\n"
     "is refused, since a container's header is written last."},
    {"-r",
     "--recursive",
     OptionValue::None,
     nullptr,
     kWriting,
     &Request::recursive,
     nullptr,
     "Take each directory named with every file below it, depth first and\n"
     "in name order (hidden files too): plain files to encrypt, containers\n"
     "to decrypt. Symbolic links and special files are skipped with a note.",
     "Each directory named is processed with every regular file below it:\n"
     ".B encrypt\n"
     "takes the plain files,\n"
     ".B decrypt\n"
     "the containers (the files whose name ends in\n"
     ".BR .cry ,\n"
     "in any letter case).\n"
     "Directories are walked depth first, in name order, as the desktop program's whole-directory run\n"
     "does; hidden files are included.\n"
     "Symbolic links and special files (named pipes, devices, sockets) are skipped with a note.\n"
     "A file that fails is reported and the run goes on."},
    {"-j",
     "--jobs",
     OptionValue::Jobs,
     "N",
     kWriting,
     nullptr,
     nullptr,
     "Process up to N files at once, each on one thread (default: one per\n"
     "processor available). -j 1 processes one file after the other.",
     "Process up to\n"
     ".I N\n"
     "files at the same time, each file on one thread.\n"
     "The default is the number of processors available to the process;\n"
     ".B \\-j 1\n"
     "processes one file after the other.\n"
     "Every output line is whole and names its file."},
};

const OptionRow kProgramOptions[] = {
    {"-h",
     "--help",
     OptionValue::None,
     nullptr,
     0,
     nullptr,
     nullptr,
     nullptr,
     "Print a summary of commands, options and exit statuses, and exit."},
    {nullptr, "--version", OptionValue::None, nullptr, 0, nullptr, nullptr, nullptr, "Print the version, and exit."},
};

} // namespace

std::span<const CommandRow> CommandRows() noexcept {
    return kCommands;
}

std::span<const OptionRow> OptionRows() noexcept {
    return kOptions;
}

std::span<const OptionRow> ProgramOptionRows() noexcept {
    return kProgramOptions;
}

const CommandRow* CommandNamed(std::string_view name) noexcept {
    for (const CommandRow& row : kCommands)
        if (name == row.name)
            return &row;
    return nullptr;
}

std::string ValueShown(const OptionRow& option) {
    return option.value == OptionValue::Method ? MethodSpellings("|") : option.valueName;
}

} // namespace vorlaxen::cli
