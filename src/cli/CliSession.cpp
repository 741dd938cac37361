#include "cli/CliSession.h"

#include "cli/KeyFilePaths.h"
#include "engine/ContainerFormat.h"
#include "fileops/WipeFile.h"
#include "passwords/KeyFilePassword.h"
#include "passwords/PasswordRules.h"
#include "platform/FileSystem.h"

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace vorlaxen::cli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

void Say(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

} // namespace

CliSession::CliSession(Request request, std::atomic<bool>& abortFlag, EnvironmentPasswords environment)
    : request_(std::move(request))
    , abort_(abortFlag)
    , typed_(std::move(environment.filePassword)) {
    EngineHooks hooks;
    hooks.abortFlag = &abort_;
    hooks.wipeOutput = [](int fd) { return OverwriteOpenFile(fd); };
    hooks.letPendingEventsRun = [this] { DrawProgress(); };
    pwd_.SetHooks(std::move(hooks));
    showProgress_ = IsTerminal(STDERR_FILENO) && request_.command != Command::Info;
    host_.Attach(table_);
    host_.SetMasterFromEnvironment(std::move(environment.master));
    table_.MasterPass.KeyFilePath = request_.keyFile.empty() ? SettingsKeyFilePath() : request_.keyFile;
    // Decryption looks in the key file only when there is one: without it there is nothing to find, and
    // no reason to ask for a master password.
    table_.MasterPass.UseKeyFile = request_.command == Command::Decrypt && PathExists(table_.MasterPass.KeyFilePath);
}

int CliSession::Run() {
    if (request_.command == Command::Keys)
        return ListKeys();
    if (request_.command == Command::Encrypt || request_.command == Command::Verify) {
        if (int status = ObtainPassword(); status != 0)
            return status;
    }
    // With --store every password goes to the key file: without a master password nothing is encrypted.
    if (request_.store && !table_.MasterPass.Valid) {
        host_.AskMasterPassword();
        if (!table_.MasterPass.Valid)
            return kExitKeyFile;
    }
    int status = 0;
    for (const std::string& file : request_.files) {
        if (abort_.load()) {
            Say(ResultText(ResultCode::Aborted, file));
            return status ? status : -static_cast<int>(ResultCode::Aborted);
        }
        int result = ProcessFile(file);
        if (result != 0 && status == 0)
            status = result;
        // Without a password for this file there is none for the next ones either.
        if (result == -static_cast<int>(ResultCode::Aborted) || result == kExitUsage)
            break;
    }
    return status;
}

int CliSession::ObtainPassword() {
    const std::size_t maxLength =
        request_.command == Command::Encrypt ? EncryptPasswordLimit(request_.method) : kMaxDecryptPasswordLength;
    return typed_.Obtain(request_.passwordFile, maxLength, request_.command == Command::Encrypt, abort_);
}

// The typed password for a file that the key file has no password for, obtained the first time it is needed.
int CliSession::UseTypedPassword() {
    if (!typed_.held()) {
        if (int status = ObtainPassword(); status != 0)
            return status;
    }
    pwd_.SetPassword(typed_.bytes().data(), typed_.bytes().size());
    return 0;
}

int CliSession::ProcessFile(const std::string& file) {
    // Every file starts from the password as typed: a method with a shorter key cuts it for that file only.
    if (typed_.held())
        pwd_.SetPassword(typed_.bytes().data(), typed_.bytes().size());
    pwd_.Valid = true;
    currentFile_ = file;
    fileStarted_ = lastDrawn_ = std::chrono::steady_clock::now();
    int status = 0;
    switch (request_.command) {
    case Command::Encrypt:
        status = EncryptOne(file);
        break;
    case Command::Decrypt:
        status = DecryptOne(file);
        break;
    case Command::Verify:
        status = VerifyOne(file);
        break;
    case Command::Info:
        status = InfoOne(file);
        break;
    default:
        break;
    }
    pwd_.ClearPassword();
    return status;
}

int CliSession::Report(ResultCode code, const std::string& file) {
    ClearProgress();
    if (code == ResultCode::Ok)
        return 0;
    Say(ResultText(code, file));
    return -static_cast<int>(code);
}

bool CliSession::MayReplace(const std::string& question) {
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

void CliSession::ShowError(const std::string& text) {
    ClearProgress();
    Say(text);
}

void CliSession::ReportResult(ResultCode code, const std::string& name) {
    (void)Report(code, name);
}

void CliSession::EngineStarting(Direction) {
    fileStarted_ = lastDrawn_ = std::chrono::steady_clock::now();
}

void CliSession::EngineFinished(Direction) {
    ClearProgress();
}

int CliSession::ExitStatusOf(const SingleFileOutcome& outcome) const {
    switch (outcome.status) {
    case SingleFileStatus::Done:
        return 0;
    case SingleFileStatus::SourceKept:
        return kExitNotRemoved;
    case SingleFileStatus::PasswordNotStored:
    case SingleFileStatus::Refused:
        return kExitKeyFile;
    case SingleFileStatus::NotFound:
        return -static_cast<int>(ResultCode::CannotOpen);
    case SingleFileStatus::Declined:
        return kExitSkipped;
    case SingleFileStatus::Failed:
        break;
    }
    return -static_cast<int>(outcome.code);
}

int CliSession::EncryptOne(const std::string& file) {
    SingleFileJob job;
    job.source = file;
    job.name = file;
    job.method = request_.method;
    job.replaceAllowed = request_.force;
    job.keepSource = request_.keep;
    if (request_.store) {
        const std::string key = EntryKeyOf(file);
        // A key that could never be found again is refused before anything is encrypted.
        job.mayStart = [key] {
            const std::string refusal = TKX_PwdTable::UnstorableKeyText(key);
            if (!refusal.empty())
                Say(refusal);
            return refusal.empty();
        };
        // Stored only once the container exists, so that a failed encryption never replaces the entry of
        // an older container; the plain file goes only once its password is stored.
        job.storePassword = [this, key] { return table_.StorePassword(key); };
    }
    return ExitStatusOf(operation_.Encrypt(job));
}

int CliSession::DecryptOne(const std::string& file) {
    SingleFileJob job;
    job.source = file;
    job.name = file;
    job.replaceAllowed = request_.force;
    job.keepSource = request_.keep;
    // The password is looked for once the container is there and its plain file may be written: first in
    // the key file, else the one given for the run.
    std::optional<KeyFilePassword> stored;
    int passwordStatus = 0;
    job.mayStart = [&] {
        if (!stored) {
            stored.emplace(table_, pwd_, EntryKeyOf(PlainPathOf(file)));
            // A stored password that does not fit is tried again with the given one, not reported.
            job.quietWrongPassword = stored->Found();
            if (stored->Found())
                return true;
        }
        passwordStatus = UseTypedPassword();
        return passwordStatus == 0;
    };
    SingleFileOutcome outcome = operation_.Decrypt(job);
    if (stored && stored->Found() && !outcome.Written() && outcome.status != SingleFileStatus::Refused) {
        (void)stored->PutBack();
        if (outcome.status != SingleFileStatus::Failed || outcome.code != ResultCode::WrongPassword)
            return ExitStatusOf(outcome);
        Say(FillIn("The password stored for %s does not open it; the password given is tried instead.", file));
        job.quietWrongPassword = false;
        job.replaceAllowed = outcome.replaceAgreed;
        outcome = operation_.Decrypt(job);
    }
    if (outcome.status == SingleFileStatus::Refused)
        return passwordStatus;
    // A container kept with --keep keeps its stored password too.
    if (outcome.Written() && stored && !request_.keep)
        stored->FileDecrypted();
    return ExitStatusOf(outcome);
}

int CliSession::ListKeys() {
    std::vector<std::string> keys;
    if (!table_.ListKeys(keys))
        return kExitKeyFile;
    for (const std::string& key : keys)
        std::printf("%s\n", key.c_str());
    return 0;
}

int CliSession::VerifyOne(const std::string& file) {
    ResultCode result = pwd_.VerifyFile(file);
    if (result != ResultCode::Ok)
        return Report(result, file);
    ClearProgress();
    ContainerInfo info;
    (void)ReadContainerInfo(file, info);
    std::printf("%s: OK (%s, %u bytes)\n", file.c_str(), info.method ? info.method->name : "-", info.plainSize);
    return 0;
}

int CliSession::InfoOne(const std::string& file) {
    ContainerInfo info;
    ResultCode result = ReadContainerInfo(file, info);
    if (result == ResultCode::NotContainer) {
        std::printf("%s: not a container\n", file.c_str());
        return -static_cast<int>(result);
    }
    if (result != ResultCode::Ok)
        return Report(result, file);
    std::printf("%s: method %s, plain size %u bytes, header %zu bytes\n",
                file.c_str(),
                info.method->name,
                info.plainSize,
                info.method->headerLength);
    return 0;
}

void CliSession::DrawProgress() {
    if (!showProgress_)
        return;
    auto now = std::chrono::steady_clock::now();
    if (now - lastDrawn_ < kRedrawInterval)
        return;
    lastDrawn_ = now;
    const std::int64_t total = pwd_.BlocksTotal.load();
    const std::int64_t done = pwd_.BlocksDone.load();
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
    const double seconds = std::chrono::duration<double>(now - fileStarted_).count();
    const double megabytesPerSecond = seconds > 0 ? static_cast<double>(done) * 8.0 / 1e6 / seconds : 0.0;
    std::fprintf(stderr, "\r%3d%%  %7.1f MB/s  %s\x1b[K", percent, megabytesPerSecond, currentFile_.c_str());
    std::fflush(stderr);
    progressDrawn_ = true;
}

void CliSession::ClearProgress() {
    if (!progressDrawn_)
        return;
    std::fprintf(stderr, "\r\x1b[K");
    std::fflush(stderr);
    progressDrawn_ = false;
}

} // namespace vorlaxen::cli
