#include "cli/CliSession.h"

#include "engine/ContainerFormat.h"
#include "fileops/RemoveFile.h"
#include "fileops/WipeFile.h"
#include "platform/FileSystem.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vorlaxen::cli {

namespace {

constexpr std::size_t kMinPassword = 6;
constexpr std::size_t kMaxDecryptPassword = 24;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string Fill(const char* pattern, const std::string& name) {
    std::string text(pattern);
    auto at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, name);
    return text;
}

void Say(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

// The upper limit that the encryption prompt sets for each method.
std::size_t MaxEncryptPassword(int method) {
    switch (method) {
    case 1:
        return 16;
    case 4:
        return 24;
    default:
        return 8;
    }
}

const char* LengthError(std::size_t length, std::size_t maxLength) {
    if (length < kMinPassword)
        return "Too few characters in password.";
    if (length > maxLength)
        return "Too many characters in password.";
    return nullptr;
}

bool ReadPasswordFile(const std::string& path, SecureBytes& password) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return false;
    password.clear();
    std::uint8_t byte = 0;
    for (;;) {
        ssize_t got = ::read(fd.get(), &byte, 1);
        if (got < 0)
            return false;
        if (got == 0 || byte == '\n')
            break;
        password.push_back(byte);
    }
    byte = 0;
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    return true;
}

} // namespace

CliSession::CliSession(Request request, std::atomic<bool>& abortFlag)
    : request_(std::move(request))
    , abort_(abortFlag) {
    EngineHooks hooks;
    hooks.abortFlag = &abort_;
    hooks.wipeFile = [](const std::string& path) { return WipeFile(path); };
    hooks.letPendingEventsRun = [this] { drawProgress(); };
    pwd_.SetHooks(std::move(hooks));
    showProgress_ = IsTerminal(STDERR_FILENO) && request_.command != Command::Info;
}

int CliSession::run() {
    if (request_.command != Command::Info) {
        if (int status = obtainPassword(); status != 0)
            return status;
    }
    int status = 0;
    for (const std::string& file : request_.files) {
        if (abort_.load()) {
            Say(ResultText(ResultCode::Aborted, file));
            return status ? status : -static_cast<int>(ResultCode::Aborted);
        }
        int result = processFile(file);
        if (result != 0 && status == 0)
            status = result;
        if (result == -static_cast<int>(ResultCode::Aborted))
            break;
    }
    return status;
}

int CliSession::obtainPassword() {
    const std::size_t maxLength =
        request_.command == Command::Encrypt ? MaxEncryptPassword(request_.method) : kMaxDecryptPassword;
    if (char* fromEnvironment = std::getenv("VORLAXEN_PASSWORD")) {
        const std::size_t length = std::strlen(fromEnvironment);
        typed_.assign(fromEnvironment, fromEnvironment + length);
        // Once copied, the password need not stay readable in the process's environment.
        SecureZero(fromEnvironment, length);
    } else if (!request_.passwordFile.empty()) {
        if (!ReadPasswordFile(request_.passwordFile, typed_)) {
            Say(Fill("Couldn't read file %s .", request_.passwordFile));
            return kExitUsage;
        }
    } else {
        terminal_ = Terminal::Open();
        if (!terminal_) {
            Say("No password: set VORLAXEN_PASSWORD, use --password-file, or run at a terminal.");
            return kExitUsage;
        }
        if (!passwordFromTerminal(maxLength))
            return abort_.load() ? -static_cast<int>(ResultCode::Aborted) : kExitUsage;
        return 0;
    }
    if (const char* error = LengthError(typed_.size(), maxLength)) {
        Say(error);
        return kExitUsage;
    }
    return 0;
}

bool CliSession::passwordFromTerminal(std::size_t maxLength) {
    const std::string limits = "(6 - " + std::to_string(maxLength) + " symbols)";
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!terminal_->readSecret("Enter the password " + limits + ": ", typed_))
            return false;
        if (const char* error = LengthError(typed_.size(), maxLength)) {
            terminal_->write(std::string(error) + "\n");
            continue;
        }
        if (request_.command != Command::Encrypt)
            return true;
        SecureBytes again;
        if (!terminal_->readSecret("Reenter the password for verification: ", again))
            return false;
        if (again == typed_)
            return true;
        terminal_->write("Verification failed.\n");
    }
    return false;
}

int CliSession::processFile(const std::string& file) {
    // Every file starts from the password as typed: a method with a shorter key cuts it for that file only.
    pwd_.SetPassword(typed_.data(), typed_.size());
    pwd_.Valid = true;
    currentFile_ = file;
    fileStarted_ = lastDrawn_ = std::chrono::steady_clock::now();
    int status = 0;
    switch (request_.command) {
    case Command::Encrypt:
        status = encryptOne(file);
        break;
    case Command::Decrypt:
        status = decryptOne(file);
        break;
    case Command::Verify:
        status = verifyOne(file);
        break;
    case Command::Info:
        status = infoOne(file);
        break;
    default:
        break;
    }
    pwd_.ClearPassword();
    return status;
}

int CliSession::report(ResultCode code, const std::string& file) {
    clearProgress();
    if (code == ResultCode::Ok)
        return 0;
    Say(ResultText(code, file));
    return -static_cast<int>(code);
}

bool CliSession::mayReplace(const std::string& target, const std::string& question) {
    if (!PathExists(target) || request_.force)
        return true;
    if (!terminal_)
        terminal_ = Terminal::Open();
    if (!terminal_) {
        Say(question + " Left alone: no terminal to ask; use --force to replace it.");
        return false;
    }
    terminal_->write(question + " [y/N] ");
    std::string answer;
    if (!terminal_->readLine(answer))
        return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

int CliSession::encryptOne(const std::string& file) {
    const int savedMode = FileMode(file);
    if (savedMode < 0) {
        Say(Fill("File %s not found.", file));
        return -static_cast<int>(ResultCode::CannotOpen);
    }
    const std::string target = ContainerPathOf(file);
    if (!mayReplace(target, Fill("File %s already exist in the list of encrypted files. Overwrite?", target)))
        return kExitSkipped;
    MakeOwnerReadWrite(file);
    ResultCode result = pwd_.EncryptFile(file, request_.method);
    if (result != ResultCode::Ok) {
        SetFileMode(file, savedMode);
        return report(result, file);
    }
    clearProgress();
    SetFileMode(target, savedMode);
    if (!request_.keep && !RemoveFile(file, true)) {
        Say(Fill("Unable to delete file %s from the list of non encrypted files.", file));
        return kExitNotRemoved;
    }
    if (request_.keep)
        SetFileMode(file, savedMode);
    return 0;
}

int CliSession::decryptOne(const std::string& file) {
    const int savedMode = FileMode(file);
    if (savedMode < 0) {
        Say(Fill("File %s not found.", file));
        return -static_cast<int>(ResultCode::CannotOpen);
    }
    const std::string target = PlainPathOf(file);
    if (!mayReplace(target, Fill("File %s already exist in the list of non encrypted files. Overwrite?", target)))
        return kExitSkipped;
    MakeOwnerReadWrite(file);
    ResultCode result = pwd_.DecryptFile(file);
    if (result != ResultCode::Ok) {
        SetFileMode(file, savedMode);
        return report(result, file);
    }
    clearProgress();
    SetFileMode(target, savedMode);
    if (!request_.keep && !RemoveFile(file, false)) {
        Say(Fill("Unable to delete file %s from the list of encrypted files.", file));
        return kExitNotRemoved;
    }
    if (request_.keep)
        SetFileMode(file, savedMode);
    return 0;
}

int CliSession::verifyOne(const std::string& file) {
    ResultCode result = pwd_.VerifyFile(file);
    if (result != ResultCode::Ok)
        return report(result, file);
    clearProgress();
    ContainerInfo info;
    (void)ReadContainerInfo(file, info);
    std::printf("%s: OK (%s, %u bytes)\n", file.c_str(), info.method ? info.method->name : "-", info.plainSize);
    return 0;
}

int CliSession::infoOne(const std::string& file) {
    ContainerInfo info;
    ResultCode result = ReadContainerInfo(file, info);
    if (result == ResultCode::NotContainer) {
        std::printf("%s: not a container\n", file.c_str());
        return -static_cast<int>(result);
    }
    if (result != ResultCode::Ok)
        return report(result, file);
    std::printf("%s: method %s, plain size %u bytes, header %zu bytes\n",
                file.c_str(),
                info.method->name,
                info.plainSize,
                info.method->headerLength);
    return 0;
}

void CliSession::drawProgress() {
    if (!showProgress_)
        return;
    auto now = std::chrono::steady_clock::now();
    if (now - lastDrawn_ < kRedrawInterval)
        return;
    lastDrawn_ = now;
    const std::int64_t total = BlocksTotal.load();
    const std::int64_t done = BlocksDone.load();
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
    const double seconds = std::chrono::duration<double>(now - fileStarted_).count();
    const double megabytesPerSecond = seconds > 0 ? static_cast<double>(done) * 8.0 / 1e6 / seconds : 0.0;
    std::fprintf(stderr, "\r%3d%%  %7.1f MB/s  %s\x1b[K", percent, megabytesPerSecond, currentFile_.c_str());
    std::fflush(stderr);
    progressDrawn_ = true;
}

void CliSession::clearProgress() {
    if (!progressDrawn_)
        return;
    std::fprintf(stderr, "\r\x1b[K");
    std::fflush(stderr);
    progressDrawn_ = false;
}

} // namespace vorlaxen::cli
