#include "cli/CliSession.h"

#include "cli/FileTask.h"
#include "cli/KeyFilePaths.h"
#include "cli/RekeyRun.h"
#include "engine/ContainerFormat.h"
#include "engine/Messages.h"
#include "fileops/DirectoryListing.h"
#include "passwords/PasswordRules.h"
#include "platform/FileSystem.h"
#include "platform/PendingFile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen::cli {

namespace {

std::string KeyFilePathOf(const Request& request) {
    return request.keyFile.empty() ? SettingsKeyFilePath() : request.keyFile;
}

TypedPassword::Source RunPasswordSource(std::optional<SecureBytes> fromEnvironment, const Request& request) {
    return TypedPassword::Source{std::move(fromEnvironment),
                                 request.passwordFile,
                                 kEnterThePassword,
                                 "No password: set VORLAXEN_PASSWORD, use --password-file, or run at a terminal."};
}

// A file met in a directory belongs to the run when the command takes it: plain files to encrypt (not
// the leftover temporaries of ours, which the next output there removes), containers to decrypt.
bool Takes(Command command, const std::string& path) {
    const std::string name = FileNameOf(path);
    if (command == Command::Decrypt)
        return HasContainerExtension(name);
    return !HasContainerExtension(name) && !IsTemporaryName(name);
}

// cat, and decrypt -o -: the plain data goes to standard output.
bool ToStandardOutput(const Request& request) {
    return request.command == Command::Cat || (request.command == Command::Decrypt && request.output == "-");
}

} // namespace

CliSession::CliSession(Request request, std::atomic<bool>& abortFlag, EnvironmentPasswords environment)
    : request_(std::move(request))
    , abort_(abortFlag)
    // No progress line beside data written to standard output, which may be the same terminal.
    , console_(IsTerminal(STDERR_FILENO) && request_.command != Command::Info && request_.command != Command::Keys &&
               !ToStandardOutput(request_))
    , password_(console_, RunPasswordSource(std::move(environment.filePassword), request_))
    , newPassword_(std::move(environment.newPassword))
    , keyFile_(console_,
               KeyFilePathOf(request_),
               // Decryption and rekey look in the key file only when there is one: without it there is
               // nothing to find, and no reason to ask for a master password.
               (request_.command == Command::Decrypt || request_.command == Command::Rekey ||
                request_.command == Command::Cat) &&
                   PathExists(KeyFilePathOf(request_)),
               std::move(environment.master)) {}

int CliSession::Run() {
    switch (request_.command) {
    case Command::Keys:
        return ListKeys();
    case Command::Cat:
        return RunToStandardOutput();
    case Command::Encrypt:
    case Command::Decrypt:
        return ToStandardOutput(request_) ? RunToStandardOutput() : RunFiles();
    case Command::Rekey: {
        RekeyRun rekey(request_, abort_, console_, password_, std::move(newPassword_), keyFile_);
        return rekey.Run();
    }
    default:
        break;
    }
    if (request_.command == Command::Verify) {
        if (int status = password_.Obtain(kMaxDecryptPasswordLength, false, abort_); status != 0)
            return status;
    }
    return RunFileByFile(
        request_.files,
        true,
        abort_,
        console_,
        [this](const std::string& file) {
            return request_.command == Command::Verify ? VerifyOne(file) : InfoOne(file);
        },
        [](int result) { return result == -static_cast<int>(ResultCode::Aborted); });
}

int CliSession::RunFiles() {
    if (request_.command == Command::Encrypt) {
        if (int status = password_.Obtain(EncryptPasswordLimit(request_.method), true, abort_); status != 0)
            return status;
    }
    // With --store every password goes to the key file: without a master password nothing is encrypted.
    if (request_.store && !keyFile_.MasterPasswordHeld())
        return kExitKeyFile;
    RunContext context{request_, abort_, console_, password_, keyFile_};
    FileRun run(context, CollectItems(), request_.jobs ? request_.jobs : ProcessorsAvailable());
    return run.Run();
}

// The containers one after the other, in the order named, their data to standard output. A reader that
// has gone ends the run at once and quietly: a closed pipe is what `| head` does, not a failure.
int CliSession::RunToStandardOutput() {
    std::signal(SIGPIPE, SIG_IGN);
    RunContext context{request_, abort_, console_, password_, keyFile_};
    context.plainOut = [&context](const std::uint8_t* data, std::size_t n) {
        if (WriteFully(STDOUT_FILENO, data, n))
            return true;
        if (errno == EPIPE)
            context.readerGone = true;
        return false;
    };
    int status = 0;
    for (const RunItem& item : CollectItems()) {
        if (abort_)
            break;
        FileTask task(context, item.path, item.size);
        task.Start(false);
        if (context.readerGone)
            break;
        if (status == 0)
            status = task.status();
    }
    return status;
}

std::vector<RunItem> CliSession::CollectItems() {
    std::vector<RunItem> items;
    for (const std::string& named : request_.files) {
        struct stat st;
        const bool looked = ::lstat(named.c_str(), &st) == 0;
        // A directory named with -r is walked, even when it is named through a link: the user chose it.
        if (request_.recursive && IsDirectory(named)) {
            AddTree(named, items);
            continue;
        }
        items.push_back(RunItem{named, looked && S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0});
    }
    return items;
}

void CliSession::AddTree(const std::string& root, std::vector<RunItem>& items) {
    for (const TreeEntry& entry : WalkTree(root)) {
        switch (entry.kind) {
        case TreeEntry::Kind::File:
            if (Takes(request_.command, entry.path))
                items.push_back(RunItem{entry.path, entry.size});
            break;
        case TreeEntry::Kind::Link:
        case TreeEntry::Kind::Special:
            if (Takes(request_.command, entry.path))
                console_.Say(FillIn(entry.kind == TreeEntry::Kind::Link
                                        ? "Skipped %s: a symbolic link is never followed."
                                        : "Skipped %s: not a regular file (a named pipe, a device or a socket).",
                                    entry.path));
            break;
        case TreeEntry::Kind::UnreadableDirectory:
            console_.Say(FillIn("Directory %s cannot be read; the files in it are left alone.", entry.path));
            items.push_back(RunItem{entry.path, 0, -static_cast<int>(ResultCode::CannotOpen)});
            break;
        }
    }
}

int CliSession::ListKeys() {
    std::vector<std::string> keys;
    if (!keyFile_.table().ListKeys(keys))
        return kExitKeyFile;
    for (const std::string& key : keys)
        console_.Print(key);
    return 0;
}

int CliSession::VerifyOne(const std::string& file) {
    TKX_Pwd pwd;
    EngineHooks hooks;
    hooks.abortFlag = &abort_;
    std::uint64_t counted = 0;
    hooks.letPendingEventsRun = [&] {
        const auto done = static_cast<std::uint64_t>(pwd.BlocksDone.load()) * 8;
        if (done > counted) {
            console_.BytesDone(done - counted);
            counted = done;
        }
        console_.Tick();
    };
    pwd.SetHooks(std::move(hooks));
    pwd.SetPassword(password_.bytes().data(), password_.bytes().size());
    const ResultCode result = pwd.VerifyFile(file);
    if (result != ResultCode::Ok) {
        console_.Say(CompanionResultText(result, file));
        return -static_cast<int>(result);
    }
    ContainerInfo info;
    (void)ReadContainerInfo(file, info);
    console_.Print(file + ": OK (" + (info.method ? info.method->name : "-") + ", " + std::to_string(info.plainSize) +
                   " bytes)");
    return 0;
}

int CliSession::InfoOne(const std::string& file) {
    ContainerInfo info;
    ResultCode result = ReadContainerInfo(file, info);
    if (result == ResultCode::NotContainer) {
        console_.Print(file + ": not a container");
        return -static_cast<int>(result);
    }
    if (result != ResultCode::Ok) {
        console_.Say(CompanionResultText(result, file));
        return -static_cast<int>(result);
    }
    console_.Print(file + ": method " + info.method->name + ", plain size " + std::to_string(info.plainSize) +
                   " bytes, header " + std::to_string(info.method->headerLength) + " bytes");
    return 0;
}

} // namespace vorlaxen::cli
