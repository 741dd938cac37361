#include "cli/FileTask.h"

#include "cli/KeyFilePaths.h"
#include "engine/ContainerName.h"
#include "fileops/StoredPasswordFirst.h"
#include "fileops/WipeFile.h"
#include "passwords/PasswordRules.h"

#include <algorithm>
#include <unistd.h>

namespace vorlaxen::cli {

FileTask::FileTask(RunContext& run, std::string file, std::uint64_t size)
    : run_(run)
    , file_(std::move(file))
    , size_(size)
    , encrypting_(run.request.command == Command::Encrypt)
    , rekeying_(run.request.command == Command::Rekey)
    , fromInput_(run.request.standardInput && !rekeying_) {
    EngineHooks hooks;
    hooks.abortFlag = &run_.abort;
    hooks.wipeOutput = [](int fd) { return OverwriteOpenFile(fd); };
    hooks.letPendingEventsRun = [this] {
        CountProgress();
        run_.console.Tick();
    };
    pwd_.SetHooks(std::move(hooks));
    pwd_.Valid = true;
    if (encrypting_ ? run_.request.store : run_.keyFile.inUse() && !fromInput_)
        table_ = run_.keyFile.TableFor(pwd_);
}

FileTask::~FileTask() {
    grouped_.reset();
    stored_.reset();
    pwd_.ClearPassword();
}

bool FileTask::Start(bool inGroup) {
    run_.console.FileStarted(file_);
    if (encrypting_) {
        PrepareEncryption();
    } else {
        PrepareDecryption();
        if (rekeying_)
            PrepareRekey();
    }
    return RunOperation(inGroup && !rekeying_);
}

void FileTask::PrepareEncryption() {
    // The password was obtained before the run; every file starts from it as typed.
    pwd_.SetPassword(run_.password.bytes().data(), run_.password.bytes().size());
    DescribeFiles();
    job_.method = run_.request.method;
    if (table_) {
        const std::string key = EntryKeyOf(file_);
        // A key that could never be found again is refused before anything is encrypted.
        job_.mayStart = [this, key] {
            const std::string refusal = TKX_PwdTable::UnstorableKeyText(key);
            if (!refusal.empty())
                run_.console.Say(refusal);
            return refusal.empty();
        };
        // Stored only once the container exists, so that a failed encryption never replaces the entry of
        // an older container; the plain file goes only once its password is stored.
        job_.storePassword = [this, key] { return table_->table().StorePassword(key); };
    }
}

// The file, or standard input, and where its output goes: beside it, to the path given with -o (the file
// then stays), or for cat to standard output.
void FileTask::DescribeFiles() {
    job_.source = file_;
    job_.name = fromInput_ ? "(standard input)" : file_;
    job_.replaceAllowed = run_.request.force;
    job_.keepSource = run_.request.keep || !run_.request.output.empty() || run_.plainOut;
    if (run_.request.output != "-")
        job_.target = run_.request.output;
    if (fromInput_)
        job_.sourceStream = STDIN_FILENO;
    if (!encrypting_)
        job_.plainStream = run_.plainOut;
}

void FileTask::PrepareDecryption() {
    DescribeFiles();
    // The password is looked for once the container is there and its plain file may be written: first in
    // the key file, else the one given for the run, obtained the first time a file needs it.
    job_.mayStart = [this] {
        if (!stored_ && table_) {
            stored_.emplace(table_->table(), pwd_, EntryKeyOf(PlainPathOf(file_)));
            // A stored password that does not fit is tried again with the given one, not reported.
            job_.quietWrongPassword = stored_->Found();
            if (stored_->Found())
                return true;
        }
        passwordStatus_ = run_.password.Obtain(kMaxDecryptPasswordLength, false, run_.abort);
        if (passwordStatus_ != 0)
            return false;
        pwd_.SetPassword(run_.password.bytes().data(), run_.password.bytes().size());
        return true;
    };
}

// The current password is looked for as decryption looks for it; the new one, the same for the whole run,
// is asked for once the current one has opened the container. A key-file entry for the file then holds
// the new password.
void FileTask::PrepareRekey() {
    job_.method = run_.request.method;
    job_.keepMethod = !run_.request.methodGiven;
    job_.newPassword = [this](TKX_Pwd& next) {
        passwordStatus_ = run_.newPassword->Obtain(run_.newPasswordLimit, true, run_.abort);
        if (passwordStatus_ != 0)
            return false;
        next.SetPassword(run_.newPassword->bytes().data(), run_.newPassword->bytes().size());
        return true;
    };
    // Replaced in one step, so that no moment passes in which the key file holds no password for the
    // container.
    job_.storePassword = [this] {
        if (!stored_ || !stored_->Found())
            return true;
        stored_.reset();
        pwd_.SetPassword(run_.newPassword->bytes().data(), run_.newPassword->bytes().size());
        return table_->table().StorePassword(EntryKeyOf(PlainPathOf(file_)));
    };
}

bool FileTask::RunOperation(bool inGroup) {
    const Direction direction = encrypting_ ? Direction::Encrypt : Direction::Decrypt;
    const std::optional<SingleFileOutcome> outcome = TryStoredPasswordFirst(
        [&](const PasswordTry& attempt) -> std::optional<SingleFileOutcome> {
            if (attempt.second) {
                job_.quietWrongPassword = false;
                job_.replaceAllowed = attempt.replaceAgreed;
            }
            if (inGroup) {
                SingleFileOutcome ended;
                grouped_ = operation_.Write(direction, job_, ended);
                return grouped_ ? std::nullopt : std::optional(ended);
            }
            return encrypting_ ? operation_.Encrypt(job_)
                   : rekeying_ ? operation_.Rekey(job_)
                               : operation_.Decrypt(job_);
        },
        [this] { return stored_ ? &*stored_ : nullptr; },
        // The password given is obtained by mayStart, as for a file without a stored password.
        [this] {
            run_.console.Say(
                FillIn("The password stored for %s does not open it; the password given is tried instead.", file_));
            return true;
        });
    if (!outcome)
        return true;
    Done(*outcome);
    return false;
}

void FileTask::Finish() {
    if (!grouped_)
        return;
    const SingleFileOutcome outcome = grouped_->outcome();
    grouped_.reset();
    Done(outcome);
}

void FileTask::Done(const SingleFileOutcome& outcome) {
    // The entry goes with the container: one kept (--keep, -o, cat), or not decrypted, keeps its entry.
    if (stored_ && !rekeying_ && outcome.Written() && !job_.keepSource)
        stored_->FileDecrypted();
    // A decryption or rekey is refused only for a password that could not be had.
    status_ = !encrypting_ && outcome.status == SingleFileStatus::Refused ? passwordStatus_ : StatusOf(outcome);
    CountProgress();
    run_.console.BytesDone(size_ - counted_);
    counted_ = size_;
    run_.console.FileDone();
    pwd_.ClearPassword();
}

int FileTask::StatusOf(const SingleFileOutcome& outcome) const {
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

void FileTask::CountProgress() {
    const auto done = std::min<std::uint64_t>(static_cast<std::uint64_t>(pwd_.BlocksDone.load()) * 8, size_);
    if (done > counted_) {
        run_.console.BytesDone(done - counted_);
        counted_ = done;
    }
}

bool FileTask::MayReplace(const std::string& question) {
    Console::Asking asking(run_.console);
    Terminal* terminal = asking.terminal();
    if (!terminal) {
        run_.console.Say(question + " Left alone: no terminal to ask; use --force to replace it.");
        return false;
    }
    terminal->write(Printable(question) + " [y/N] ");
    std::string answer;
    if (!terminal->readLine(answer))
        return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

void FileTask::ShowError(const std::string& text) {
    run_.console.Say(text);
}

void FileTask::ReportResult(ResultCode code, const std::string& name) {
    // A reader that stopped reading is no failure: it has what it wanted.
    if (code == ResultCode::WriteFailed && run_.readerGone)
        return;
    if (code == ResultCode::Aborted)
        run_.abortReported = true;
    run_.console.Say(CompanionResultText(code, name));
}

} // namespace vorlaxen::cli
