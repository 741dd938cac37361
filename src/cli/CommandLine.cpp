#include "cli/CommandLine.h"

namespace vorlaxen::cli {

namespace {

bool TakeMethod(const std::string& name, int& method) {
    if (name == "idea")
        method = 1;
    else if (name == "des")
        method = 3;
    else if (name == "3xdes")
        method = 4;
    else
        return false;
    return true;
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

} // namespace

Request ParseCommandLine(const std::vector<std::string>& args) {
    Request request;
    if (args.empty()) {
        request.error = "no command given";
        return request;
    }
    const std::string& verb = args[0];
    if (verb == "--help" || verb == "-h" || verb == "help")
        return request;
    if (verb == "--version") {
        request.command = Command::Version;
        return request;
    }
    if (verb == "encrypt")
        request.command = Command::Encrypt;
    else if (verb == "decrypt")
        request.command = Command::Decrypt;
    else if (verb == "verify")
        request.command = Command::Verify;
    else if (verb == "info")
        request.command = Command::Info;
    else if (verb == "keys")
        request.command = Command::Keys;
    else if (verb == "rekey")
        request.command = Command::Rekey;
    else {
        request.error = "unknown command '" + verb + "'";
        return request;
    }

    const bool writes = request.command == Command::Encrypt || request.command == Command::Decrypt;
    const bool needsPassword = request.command != Command::Info && request.command != Command::Keys;
    const bool usesKeyFile = writes || request.command == Command::Keys || request.command == Command::Rekey;
    const bool takesMethod = request.command == Command::Encrypt || request.command == Command::Rekey;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            request.files.push_back(arg);
            continue;
        }
        auto value = [&](const std::string& option, std::string& out) {
            if (arg.rfind(option + "=", 0) == 0) {
                out = arg.substr(option.size() + 1);
                return true;
            }
            if (arg == option && i + 1 < args.size()) {
                out = args[++i];
                return true;
            }
            return false;
        };
        std::string text;
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            request = Request();
            return request;
        } else if (takesMethod && (arg == "--method" || arg.rfind("--method=", 0) == 0)) {
            if (!value("--method", text) || !TakeMethod(text, request.method)) {
                request.error = "--method takes idea, des or 3xdes";
                return request;
            }
            request.methodGiven = true;
        } else if (writes && (arg == "-r" || arg == "--recursive")) {
            request.recursive = true;
        } else if (writes &&
                   (arg == "-j" || arg == "--jobs" || arg.rfind("--jobs=", 0) == 0 || arg.rfind("-j", 0) == 0)) {
            const bool valueFollows = arg == "-j" || arg == "--jobs";
            if (valueFollows && i + 1 < args.size())
                text = args[++i];
            else if (!valueFollows)
                text = arg.rfind("--jobs=", 0) == 0 ? arg.substr(7) : arg.substr(2);
            if (!TakeJobs(text, request.jobs)) {
                request.error = "--jobs takes a number of files from 1 to " + std::to_string(kMaxJobs);
                return request;
            }
        } else if (request.command == Command::Rekey &&
                   (arg == "--new-password-file" || arg.rfind("--new-password-file=", 0) == 0)) {
            if (!value("--new-password-file", request.newPasswordFile) || request.newPasswordFile.empty()) {
                request.error = "--new-password-file takes a file name";
                return request;
            }
        } else if (writes && arg == "--keep") {
            request.keep = true;
        } else if (writes && arg == "--force") {
            request.force = true;
        } else if (request.command == Command::Encrypt && arg == "--store") {
            request.store = true;
        } else if (usesKeyFile && (arg == "--key-file" || arg.rfind("--key-file=", 0) == 0)) {
            if (!value("--key-file", request.keyFile) || request.keyFile.empty()) {
                request.error = "--key-file takes a file name";
                return request;
            }
        } else if (needsPassword && (arg == "--password-file" || arg.rfind("--password-file=", 0) == 0)) {
            if (!value("--password-file", request.passwordFile) || request.passwordFile.empty()) {
                request.error = "--password-file takes a file name";
                return request;
            }
        } else {
            request.error = "unknown option '" + arg + "' for " + verb;
            return request;
        }
    }
    if (request.command == Command::Keys) {
        if (!request.files.empty())
            request.error = "keys takes no files";
    } else if (request.files.empty()) {
        request.error = "no files given";
    }
    return request;
}

const char* HelpText() {
    return R"(vorlaxen-cli - encrypt and decrypt files in Vorlaxen ".cry" containers

Usage:
  vorlaxen-cli encrypt [--method idea|des|3xdes] [--keep] [--force] [--password-file F]
                       [--store] [--key-file K] [-r|--recursive] [-j|--jobs N] FILE...
  vorlaxen-cli decrypt [--keep] [--force] [--password-file F] [--key-file K]
                       [-r|--recursive] [-j|--jobs N] FILE.cry...
  vorlaxen-cli verify [--password-file F] FILE.cry...
  vorlaxen-cli info FILE.cry...
  vorlaxen-cli keys [--key-file K]
  vorlaxen-cli rekey [--method idea|des|3xdes] [--password-file F] [--new-password-file F]
                     [--key-file K] FILE.cry...
  vorlaxen-cli --help | --version

Commands:
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

Options:
  --method M          idea (16-byte key), des or 3xdes (three DES keys). For rekey, without
                      it each container keeps its method.
  --keep              Keep the source file.
  --force             Replace an existing target without asking.
  --password-file F   Read the password from the first line of F.
  --new-password-file F
                      rekey: read the new password from the first line of F.
  --store             Also store each file's password in the key file, under the plain
                      file's full path; the plain file is wiped only once it is stored.
  --key-file K        The key file (default: xwords.001 in the home directory).
  -r, --recursive     Take each directory named with every file below it, depth first and
                      in name order (hidden files too): plain files to encrypt, containers
                      to decrypt. Symbolic links and special files are skipped with a note.
  -j, --jobs N        Process up to N files at once, each on one thread (default: one per
                      processor available). -j 1 processes one file after the other.

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
}

} // namespace vorlaxen::cli
