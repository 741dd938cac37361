#include "fileops/SingleFileOperation.h"

#include "engine/ContainerFormat.h"
#include "engine/ContainerName.h"
#include "fileops/RemoveFile.h"
#include "fileops/StaleTemporaries.h"
#include "fileops/WipeFile.h"
#include "platform/CrashPoint.h"
#include "platform/FileSystem.h"
#include "platform/SourceFile.h"

#include <optional>
#include <sys/stat.h>

namespace vorlaxen {

namespace {

ResultCode OpenFailure(SourceFile::Status status) {
    switch (status) {
    case SourceFile::Status::NotRegular:
        return ResultCode::NotRegularFile;
    case SourceFile::Status::InUse:
        return ResultCode::InUse;
    default:
        return ResultCode::CannotOpen;
    }
}

} // namespace

// One run of the sequence over one file; each step answers an outcome when the run ends there.
class SingleFileOperation::OneFile {
public:
    OneFile(Direction direction, const SingleFileJob& job, TKX_Pwd& pwd, SingleFileFrontEnd& frontEnd)
        : encrypting_(direction == Direction::Encrypt)
        , direction_(direction)
        , job_(job)
        , source_(job.source)
        , target_(encrypting_ ? ContainerPathOf(source_) : PlainPathOf(source_))
        , pwd_(pwd)
        , frontEnd_(frontEnd) {}

    SingleFileOutcome Run() {
        if (auto ended = OpenSource())
            return *ended;
        if (auto ended = AgreeOnTarget())
            return *ended;
        if (auto ended = RunEngine())
            return *ended;
        if (auto ended = StorePassword())
            return *ended;
        return RemoveSource();
    }

private:
    // The source is looked at without following a link (a link, a pipe or a device is refused before
    // anything changes), gets owner read and write for the time of the operation and is opened under
    // its lock.
    std::optional<SingleFileOutcome> OpenSource() {
        if (::lstat(source_.c_str(), &looked_) != 0)
            return NotFound();
        if (!S_ISREG(looked_.st_mode))
            return Fail(ResultCode::NotRegularFile);
        savedMode_ = static_cast<int>(looked_.st_mode & 07777);
        MakeOwnerReadWrite(source_);
        if (const SourceFile::Status opened = input_.open(source_); opened != SourceFile::Status::Open) {
            if (opened != SourceFile::Status::NotRegular)
                KeepSource();
            return opened == SourceFile::Status::Missing ? NotFound() : Fail(OpenFailure(opened));
        }
        // After a crash in the middle of a wipe the plain file holds overwritten bytes and its container
        // the data: encrypting the one would replace the other.
        if (encrypting_ && PathExists(target_) && IsInterruptedWipe(input_.fd())) {
            KeepSource();
            return Fail(ResultCode::InterruptedWipe);
        }
        return std::nullopt;
    }

    // A target that is there now is replaced only on a yes; one that is not there now is never
    // replaced, should it appear meanwhile.
    std::optional<SingleFileOutcome> AgreeOnTarget() {
        mayReplace_ = job_.replaceAllowed;
        if (PathExists(target_) && !mayReplace_) {
            const char* question = encrypting_ ? "File %s already exist in the list of encrypted files. Overwrite?"
                                               : "File %s already exist in the list of non encrypted files. Overwrite?";
            if (!frontEnd_.MayReplace(FillIn(question, target_)))
                return Ended(SingleFileStatus::Declined);
            mayReplace_ = true;
        }
        outcome_.targetExisted = mayReplace_ && PathExists(target_);
        outcome_.replaceAgreed = mayReplace_;
        if (job_.mayStart && !job_.mayStart())
            return Ended(SingleFileStatus::Refused);
        return std::nullopt;
    }

    std::optional<SingleFileOutcome> RunEngine() {
        TidyBeforeOutput(DirectoryOf(target_));
        frontEnd_.ShowStatus((encrypting_ ? "Encrypting file " : "Decrypting file ") + job_.name + " ...");
        const ResultCode result = RunEngineOnce();
        if (result != ResultCode::Ok) {
            KeepSource();
            return Fail(result);
        }
        CrashPoint("committed");
        writtenSeen_ = ::lstat(target_.c_str(), &written_) == 0;
        SetFileMode(target_, savedMode_);
        return std::nullopt;
    }

    // The front end hears of the start and, on every way out, of the end.
    ResultCode RunEngineOnce() {
        class Running {
        public:
            Running(SingleFileFrontEnd& frontEnd, Direction direction)
                : frontEnd_(frontEnd)
                , direction_(direction) {
                frontEnd_.EngineStarting(direction_);
            }
            ~Running() { frontEnd_.EngineFinished(direction_); }
            Running(const Running&) = delete;
            Running& operator=(const Running&) = delete;

        private:
            SingleFileFrontEnd& frontEnd_;
            Direction direction_;
        };
        const Running running(frontEnd_, direction_);
        const EngineFiles files{&input_, mayReplace_};
        return encrypting_ ? pwd_.EncryptFile(source_, job_.method, files) : pwd_.DecryptFile(source_, files);
    }

    // Stored once the container is complete: a store made before would replace the entry of an older
    // container of the same name even when this encryption fails or is cancelled.
    std::optional<SingleFileOutcome> StorePassword() {
        if (!encrypting_ || !job_.storePassword || job_.storePassword())
            return std::nullopt;
        frontEnd_.ShowError(
            FillIn("File %s has been encrypted but kept, since its password could not be stored.", source_));
        return Ended(SingleFileStatus::PasswordNotStored);
    }

    // The source goes only while it is still what was encrypted or decrypted; one that changed since (an
    // editor saved it, something appended to it) stays, and the output made from its older state goes.
    SingleFileOutcome RemoveSource() {
        if (job_.keepSource)
            return Ended(SingleFileStatus::Done);
        CrashPoint("source-removal");
        RemovalOptions held;
        held.expected = &input_.identity();
        held.lock = false;
        const Removal removal =
            input_.unchanged()
                ? RemoveFileAt(
                      source_, encrypting_, [this](const std::string& text) { frontEnd_.ShowStatus(text); }, held)
                : Removal::Changed;
        if (removal == Removal::Removed) {
            outcome_.status = SingleFileStatus::Done;
            return outcome_;
        }
        if (removal == Removal::Changed) {
            DiscardOutput();
            KeepSource();
            return Fail(encrypting_ ? ResultCode::SourceChanged : ResultCode::ContainerChanged);
        }
        frontEnd_.ShowError(encrypting_
                                ? FillIn("Unable to delete file %s from the list of non encrypted files.", job_.name)
                                : FillIn("Unable to delete file %s from the list of encrypted files.", source_));
        return Ended(SingleFileStatus::SourceKept);
    }

    // Only the output this run wrote goes: the file whose identity was seen as it was committed.
    void DiscardOutput() {
        if (!writtenSeen_)
            return;
        const FileIdentity identity = FileIdentity::Of(written_);
        RemovalOptions ours;
        ours.expected = &identity;
        const Removal discarded = encrypting_ ? DeleteFileAt(target_, ours) : WipeFileAt(target_, ours);
        outcome_.oldTargetGone = outcome_.targetExisted && discarded == Removal::Removed;
    }

    // A source that stays gets its own permissions back, as long as its name still leads to it.
    void KeepSource() {
        struct stat now;
        if (::lstat(source_.c_str(), &now) == 0 && now.st_dev == looked_.st_dev && now.st_ino == looked_.st_ino)
            SetFileMode(source_, savedMode_);
    }

    SingleFileOutcome Ended(SingleFileStatus status) {
        KeepSource();
        outcome_.status = status;
        return outcome_;
    }

    SingleFileOutcome NotFound() {
        frontEnd_.ShowError(FillIn("File %s not found.", source_));
        outcome_.status = SingleFileStatus::NotFound;
        return outcome_;
    }

    SingleFileOutcome Fail(ResultCode code) {
        outcome_.status = SingleFileStatus::Failed;
        outcome_.code = code;
        if (!(job_.quietWrongPassword && code == ResultCode::WrongPassword))
            frontEnd_.ReportResult(code, job_.name);
        return outcome_;
    }

    const bool encrypting_;
    const Direction direction_;
    const SingleFileJob& job_;
    const std::string& source_;
    const std::string target_;
    TKX_Pwd& pwd_;
    SingleFileFrontEnd& frontEnd_;
    SingleFileOutcome outcome_;
    struct stat looked_ {};
    int savedMode_ = 0;
    SourceFile input_;
    bool mayReplace_ = false;
    struct stat written_ {};
    bool writtenSeen_ = false;
};

SingleFileOutcome SingleFileOperation::Run(Direction direction, const SingleFileJob& job) {
    return OneFile(direction, job, pwd_, frontEnd_).Run();
}

} // namespace vorlaxen
