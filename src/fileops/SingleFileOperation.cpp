#include "fileops/SingleFileOperation.h"

#include "engine/ContainerFormat.h"
#include "fileops/RemoveFile.h"
#include "fileops/StaleTemporaries.h"
#include "fileops/WipeFile.h"
#include "platform/CrashPoint.h"
#include "platform/FileSystem.h"
#include "platform/SourceFile.h"

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

SingleFileOutcome SingleFileOperation::Run(Direction direction, const SingleFileJob& job) {
    const bool encrypting = direction == Direction::Encrypt;
    const std::string& source = job.source;
    const std::string target = encrypting ? ContainerPathOf(source) : PlainPathOf(source);
    SingleFileOutcome outcome;
    auto fail = [&](ResultCode code) {
        outcome.status = SingleFileStatus::Failed;
        outcome.code = code;
        if (!(job.quietWrongPassword && code == ResultCode::WrongPassword))
            frontEnd_.ReportResult(code, job.name);
        return outcome;
    };

    // Looked at without following a link: a link, a pipe or a device is refused before anything changes.
    struct stat st;
    if (::lstat(source.c_str(), &st) != 0) {
        frontEnd_.ShowError(FillIn("File %s not found.", source));
        outcome.status = SingleFileStatus::NotFound;
        return outcome;
    }
    if (!S_ISREG(st.st_mode))
        return fail(ResultCode::NotRegularFile);
    const int savedMode = static_cast<int>(st.st_mode & 07777);
    // The source gets owner read and write for the time of the operation, and its own permissions back
    // whenever it stays (as long as its name still leads to it).
    auto keepSource = [&] {
        struct stat now;
        if (::lstat(source.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino)
            SetFileMode(source, savedMode);
    };
    MakeOwnerReadWrite(source);
    SourceFile input;
    if (const SourceFile::Status opened = input.open(source); opened != SourceFile::Status::Open) {
        if (opened != SourceFile::Status::NotRegular)
            keepSource();
        if (opened == SourceFile::Status::Missing) {
            frontEnd_.ShowError(FillIn("File %s not found.", source));
            outcome.status = SingleFileStatus::NotFound;
            return outcome;
        }
        return fail(OpenFailure(opened));
    }

    // After a crash in the middle of a wipe the plain file holds overwritten bytes and its container the
    // data: encrypting the one would replace the other.
    if (encrypting && PathExists(target) && IsInterruptedWipe(input.fd())) {
        keepSource();
        return fail(ResultCode::InterruptedWipe);
    }

    // A target that is not there now is never replaced: one that appears meanwhile is left alone.
    bool mayReplace = job.replaceAllowed;
    if (PathExists(target) && !mayReplace) {
        const char* question = encrypting ? "File %s already exist in the list of encrypted files. Overwrite?"
                                          : "File %s already exist in the list of non encrypted files. Overwrite?";
        if (!frontEnd_.MayReplace(FillIn(question, target))) {
            keepSource();
            outcome.status = SingleFileStatus::Declined;
            return outcome;
        }
        mayReplace = true;
    }
    outcome.targetExisted = mayReplace && PathExists(target);
    outcome.replaceAgreed = mayReplace;
    if (job.mayStart && !job.mayStart()) {
        keepSource();
        outcome.status = SingleFileStatus::Refused;
        return outcome;
    }

    TidyBeforeOutput(DirectoryOf(target));
    frontEnd_.ShowStatus((encrypting ? "Encrypting file " : "Decrypting file ") + job.name + " ...");
    frontEnd_.EngineStarting(direction);
    const EngineFiles files{&input, mayReplace};
    const ResultCode result =
        encrypting ? pwd_.EncryptFile(source, job.method, files) : pwd_.DecryptFile(source, files);
    frontEnd_.EngineFinished(direction);
    if (result != ResultCode::Ok) {
        keepSource();
        return fail(result);
    }
    CrashPoint("committed");
    struct stat written;
    const bool writtenSeen = ::lstat(target.c_str(), &written) == 0;
    SetFileMode(target, savedMode);

    // Stored once the container is complete: a store made before would replace the entry of an older
    // container of the same name even when this encryption fails or is cancelled.
    if (encrypting && job.storePassword && !job.storePassword()) {
        keepSource();
        frontEnd_.ShowError(
            FillIn("File %s has been encrypted but kept, since its password could not be stored.", source));
        outcome.status = SingleFileStatus::PasswordNotStored;
        return outcome;
    }
    if (job.keepSource) {
        keepSource();
        outcome.status = SingleFileStatus::Done;
        return outcome;
    }

    // The source goes only while it is still what was encrypted or decrypted; one that changed since
    // (an editor saved it, something appended to it) stays, and the output made from its older state goes.
    CrashPoint("source-removal");
    RemovalOptions held;
    held.expected = &input.identity();
    held.lock = false;
    const Removal removal =
        input.unchanged()
            ? RemoveFileAt(
                  source, encrypting, [this](const std::string& text) { frontEnd_.ShowStatus(text); }, held)
            : Removal::Changed;
    if (removal == Removal::Removed) {
        outcome.status = SingleFileStatus::Done;
        return outcome;
    }
    if (removal == Removal::Changed) {
        if (writtenSeen) {
            // Only the output this run wrote: the one whose identity was seen as it was committed.
            const FileIdentity identity = FileIdentity::Of(written);
            RemovalOptions ours;
            ours.expected = &identity;
            const Removal discarded = encrypting ? DeleteFileAt(target, ours) : WipeFileAt(target, ours);
            outcome.oldTargetGone = outcome.targetExisted && discarded == Removal::Removed;
        }
        keepSource();
        return fail(encrypting ? ResultCode::SourceChanged : ResultCode::ContainerChanged);
    }
    frontEnd_.ShowError(encrypting ? FillIn("Unable to delete file %s from the list of non encrypted files.", job.name)
                                   : FillIn("Unable to delete file %s from the list of encrypted files.", source));
    if (PathExists(source))
        keepSource();
    outcome.status = SingleFileStatus::SourceKept;
    return outcome;
}

} // namespace vorlaxen
