#include "fileops/SingleFileOperation.h"

#include "engine/ContainerFormat.h"
#include "engine/ContainerName.h"
#include "engine/ContainerRekey.h"
#include "fileops/RemoveFile.h"
#include "fileops/StaleTemporaries.h"
#include "fileops/WipeFile.h"
#include "platform/CrashPoint.h"
#include "platform/FileSystem.h"
#include "platform/FlushTogether.h"
#include "platform/PendingFile.h"
#include "platform/SourceFile.h"

#include <fcntl.h>
#include <map>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {

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

namespace {

// A re-keyed container as it is on the disk: what the system keeps of it in memory is dropped first, so
// that the verification reads the disk's own bytes.
ResultCode VerifyOnDisk(TKX_Pwd& pwd, const PendingFile& output) {
    (void)::posix_fadvise(output.fd(), 0, 0, POSIX_FADV_DONTNEED);
    const std::string path = output.unnamed() ? "/proc/self/fd/" + std::to_string(output.fd()) : output.temporaryPath();
    return pwd.VerifyFile(path);
}

} // namespace

// One run of the sequence over one file; each step answers an outcome when the run ends there. Alone, the
// engine commits the output and the wipe flushes its own pass; in a group, the output is held until
// CompleteGroup has flushed the group's outputs, and the wipe's pass until it has flushed the group's
// passes. A re-keyed container is held too, until it has been verified on the disk.
class SingleFileOperation::OneFile : public SingleFileOperation::GroupedFile {
public:
    OneFile(Transform transform,
            const SingleFileJob& job,
            TKX_Pwd& pwd,
            SingleFileFrontEnd& frontEnd,
            FileCalls& calls,
            bool grouped)
        : transform_(transform)
        , encrypting_(transform == Transform::Encrypt)
        , rekeying_(transform == Transform::Rekey)
        , streamIn_(job.sourceStream >= 0)
        , streamOut_(!encrypting_ && static_cast<bool>(job.plainStream))
        // Re-keying reads a container as decryption does, and the front end sees it as one.
        , direction_(encrypting_ ? Direction::Encrypt : Direction::Decrypt)
        , grouped_(grouped)
        , job_(job)
        , source_(job.source)
        , target_(streamOut_            ? std::string()
                  : !job.target.empty() ? job.target
                  : encrypting_         ? ContainerPathOf(source_)
                  : rekeying_           ? source_
                                        : PlainPathOf(source_))
        , pwd_(pwd)
        , frontEnd_(frontEnd)
        , calls_(calls) {}

    SingleFileOutcome Run() {
        if (auto ended = Write())
            return *ended;
        if (rekeying_)
            if (auto ended = CommitVerified())
                return *ended;
        if (streamIn_ && !streamOut_)
            if (auto ended = CommitOwnOutput())
                return *ended;
        if (auto ended = StorePassword())
            return *ended;
        return RemoveSource();
    }

    // Up to a complete output: committed when the file is alone, held when it is one of a group or
    // re-keyed.
    std::optional<SingleFileOutcome> Write() {
        if (auto ended = OpenSource())
            return ended;
        if (auto ended = AgreeOnTarget())
            return ended;
        if (rekeying_)
            if (auto ended = TakeNewPassword())
                return ended;
        return RunEngine();
    }

    const SingleFileOutcome& outcome() const override { return outcome_; }

    // The steps of a group, in the order CompleteGroup takes them; each answers false when the file's run
    // ended there (its outcome is then final).
    int heldOutputFd() const { return held_ ? held_->fd() : -1; }
    const std::string& target() const { return target_; }

    // The group's outputs have been flushed; `onDisk` tells whether this one reached the disk.
    bool CommitHeld(bool onDisk) {
        ResultCode result = ResultCode::Ok;
        if (!onDisk)
            result = ResultCode::WriteFailed;
        else if (!streamIn_ && !input_.unchanged())
            result = encrypting_ ? ResultCode::SourceChanged : ResultCode::ContainerChanged;
        else
            result = LinkHeld();
        if (result != ResultCode::Ok) {
            // A plain output that never got its name is overwritten before it goes.
            held_->discard(transform_ == Transform::Decrypt ? pwd_.Hooks().wipeOutput : PendingFile::Overwriter());
            held_.reset();
            KeepSource();
            Fail(result);
            return false;
        }
        held_.reset();
        CrashPoint("committed");
        return true;
    }

    // A held output takes its permissions, and is known by its identity, before it gets its name: no
    // look at the name, no change through it, is needed after.
    ResultCode LinkHeld() {
        (void)::fchmod(held_->fd(), static_cast<mode_t>(savedMode_));
        writtenSeen_ = ::fstat(held_->fd(), &written_) == 0;
        const ResultCode result = CommitResultCode(held_->link(mayReplace_));
        writtenSeen_ = writtenSeen_ && result == ResultCode::Ok;
        return result;
    }

    // The output's directory has been flushed (`nameOnDisk`): only then may the source go.
    bool StoreAndStartRemoval(bool nameOnDisk, FileCalls& calls) {
        if (auto ended = StorePassword())
            return false;
        if (!nameOnDisk) {
            NotRemoved();
            return false;
        }
        if (job_.keepSource) {
            Ended(SingleFileStatus::Done);
            return false;
        }
        CrashPoint("source-removal");
        // The removal looks at the source's name once more, and leaves a source that changed.
        RemovalOptions held = HeldSource();
        held.calls = &calls;
        if (!encrypting_) {
            Removed(DeleteFileAt(source_, held));
            return false;
        }
        if (const Removal started = StartWipe(source_, held, wipe_); started != Removal::Removed) {
            Removed(started);
            return false;
        }
        wiping_ = true;
        return true;
    }

    // The pass of its wipe is written and waits for its flush.
    bool wiping() const { return wiping_; }
    int wipeFd() const { return wipe_.fd(); }
    off_t wipeSize() const { return wipe_.size(); }

    // The group's passes have been flushed; `onDisk` tells whether this one reached the disk.
    void FinishRemoval(bool onDisk) {
        wiping_ = false;
        Removed(FinishWipe(wipe_, onDisk));
    }

private:
    // The source is looked at without following a link (a link, a pipe or a device is refused before
    // anything changes), gets owner read and write for the time of the operation and is opened under
    // its lock.
    std::optional<SingleFileOutcome> OpenSource() {
        if (streamIn_) {
            // A new file's permissions, as the user's mask leaves them.
            const mode_t mask = ::umask(0);
            ::umask(mask);
            savedMode_ = static_cast<int>(0666 & ~mask);
            targetSeen_ = !streamOut_ && PathExists(target_);
            return std::nullopt;
        }
        if (::lstat(source_.c_str(), &looked_) != 0)
            return NotFound();
        if (!S_ISREG(looked_.st_mode))
            return Fail(ResultCode::NotRegularFile);
        savedMode_ = static_cast<int>(looked_.st_mode & 07777);
        // A re-keyed container, and one decrypted to a stream, is only read (a re-keyed one's replacement
        // takes its place): its permissions stay.
        if (!rekeying_ && !streamOut_ && (savedMode_ & (S_IRUSR | S_IWUSR)) != (S_IRUSR | S_IWUSR))
            SetFileMode(source_, savedMode_ | S_IRUSR | S_IWUSR);
        if (const SourceFile::Status opened = input_.open(source_, SourceFile::Use::Operation, true);
            opened != SourceFile::Status::Open) {
            if (opened != SourceFile::Status::NotRegular)
                KeepSource();
            return opened == SourceFile::Status::Missing ? NotFound() : Fail(OpenFailure(opened));
        }
        targetSeen_ = !streamOut_ && PathExists(target_);
        // After a crash in the middle of a wipe the plain file holds overwritten bytes and its container
        // the data: encrypting the one would replace the other.
        if (encrypting_ && targetSeen_ && IsInterruptedWipe(input_.fd())) {
            KeepSource();
            return Fail(ResultCode::InterruptedWipe);
        }
        return std::nullopt;
    }

    // A target that is there now is replaced only on a yes; one that is not there now is never
    // replaced, should it appear meanwhile. A re-keyed container is its own target: there is no question.
    std::optional<SingleFileOutcome> AgreeOnTarget() {
        mayReplace_ = job_.replaceAllowed || rekeying_;
        if (targetSeen_ && !mayReplace_) {
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

    // Re-keying: the current password must open the container before the new one is asked for.
    std::optional<SingleFileOutcome> TakeNewPassword() {
        rekey_.emplace(pwd_, input_);
        if (const ResultCode opened = rekey_->Open(); opened != ResultCode::Ok) {
            KeepSource();
            return Fail(opened);
        }
        next_ = std::make_unique<TKX_Pwd>();
        next_->SetHooks(pwd_.Hooks());
        if (!job_.newPassword || !job_.newPassword(*next_))
            return Ended(SingleFileStatus::Refused);
        return std::nullopt;
    }

    std::optional<SingleFileOutcome> RunEngine() {
        if (!streamOut_)
            TidyBeforeOutput(DirectoryOf(target_));
        const char* doing = encrypting_ ? "Encrypting file " : rekeying_ ? "Re-keying file " : "Decrypting file ";
        frontEnd_.ShowStatus(doing + job_.name + " ...");
        if ((grouped_ || rekeying_ || streamIn_) && !streamOut_) {
            // The engine leaves the look at a held output's target to this run, which has just looked.
            if (targetSeen_ && IsDirectory(target_)) {
                KeepSource();
                return Fail(ResultCode::CannotCreate);
            }
            held_.emplace(target_);
        }
        const ResultCode result = RunEngineOnce();
        if (result != ResultCode::Ok) {
            held_.reset();
            KeepSource();
            return Fail(result);
        }
        if (!held_ && !streamOut_)
            Committed();
        return std::nullopt;
    }

    // The new container replaces the old one only once it is on the disk and reads back from there as it
    // was written, with the old one's permissions.
    std::optional<SingleFileOutcome> CommitVerified() {
        const bool onDisk = calls_.Fsync(held_->fd()) == 0;
        if (onDisk && VerifyOnDisk(*next_, *held_) != ResultCode::Ok) {
            frontEnd_.ShowError(FillIn("The new container of %s does not read back as it was written; the old "
                                       "one has been left as it was.",
                                       source_));
            held_.reset();
            KeepSource();
            return Fail(ResultCode::WriteFailed, false);
        }
        if (onDisk)
            CrashPoint("rekey-verified");
        return CommitOwnOutput(onDisk);
    }

    // A held output of this run alone brought to disk, named with its permissions, and its name brought
    // to disk.
    std::optional<SingleFileOutcome> CommitOwnOutput(std::optional<bool> flushed = std::nullopt) {
        const bool onDisk = flushed ? *flushed : calls_.Fsync(held_->fd()) == 0;
        if (!CommitHeld(onDisk))
            return outcome_;
        (void)SyncDirectoryOf(target_);
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
        if (rekeying_)
            return rekey_->Write(*next_, job_.keepMethod ? rekey_->method().code : job_.method, *held_);
        if (streamIn_ || streamOut_)
            return RunStreamEngine();
        // The output carries the source's modification time: a file and its container keep the time of the
        // file's last change through a round trip.
        const EngineFiles files{&input_, mayReplace_, held_ ? &*held_ : nullptr, job_.target, looked_.st_mtim};
        return encrypting_ ? pwd_.EncryptFile(source_, job_.method, files) : pwd_.DecryptFile(source_, files);
    }

    // A source or an output that is a stream: the output is held (or is the stream itself) and committed
    // by this run.
    ResultCode RunStreamEngine() {
        if (streamOut_) {
            const int in = streamIn_ ? job_.sourceStream : input_.fd();
            if (!streamIn_ && ::lseek(in, 0, SEEK_SET) != 0)
                return ResultCode::ReadFailed;
            return pwd_.DecryptStream(in, streamIn_ ? 0 : input_.size(), job_.plainStream);
        }
        if (encrypting_)
            return pwd_.EncryptStream(job_.sourceStream, job_.method, *held_);
        if (!held_->create())
            return ResultCode::CannotCreate;
        const ResultCode result = pwd_.DecryptStream(
            job_.sourceStream, 0, [this](const std::uint8_t* data, std::size_t n) { return held_->write(data, n); });
        if (result != ResultCode::Ok)
            held_->discard(pwd_.Hooks().wipeOutput);
        return result == ResultCode::Ok && !held_->finishWriting() ? ResultCode::WriteFailed : result;
    }

    // The output has its name.
    void Committed() {
        CrashPoint("committed");
        writtenSeen_ = ::lstat(target_.c_str(), &written_) == 0;
        SetFileMode(target_, savedMode_);
    }

    // Stored once the container is complete: a store made before would replace the entry of an older
    // container of the same name even when this encryption fails or is cancelled. A re-keyed container's
    // entry follows its new password once the new container is in place.
    std::optional<SingleFileOutcome> StorePassword() {
        if (transform_ == Transform::Decrypt || !job_.storePassword || job_.storePassword())
            return std::nullopt;
        frontEnd_.ShowError(
            FillIn(rekeying_ ? "File %s has its new password, but the database of passwords could not be given it."
                             : "File %s has been encrypted but kept, since its password could not be stored.",
                   source_));
        return Ended(SingleFileStatus::PasswordNotStored);
    }

    // The source is removed under the lock this run holds, and only while it is the file it opened.
    RemovalOptions HeldSource() const {
        RemovalOptions held;
        held.expected = &input_.identity();
        held.lock = false;
        return held;
    }

    // The source goes only while it is still what was encrypted or decrypted; one that changed since (an
    // editor saved it, something appended to it) stays, and the output made from its older state goes. A
    // re-keyed container went as its replacement took its name.
    SingleFileOutcome RemoveSource() {
        if (job_.keepSource || rekeying_ || streamIn_ || streamOut_)
            return Ended(SingleFileStatus::Done);
        CrashPoint("source-removal");
        const Removal removal = input_.unchanged()
                                    ? RemoveFileAt(
                                          source_,
                                          encrypting_,
                                          [this](const std::string& text) { frontEnd_.ShowStatus(text); },
                                          HeldSource())
                                    : Removal::Changed;
        return Removed(removal);
    }

    SingleFileOutcome Removed(Removal removal) {
        if (removal == Removal::Removed) {
            outcome_.status = SingleFileStatus::Done;
            return outcome_;
        }
        if (removal == Removal::Changed) {
            DiscardOutput();
            KeepSource();
            return Fail(encrypting_ ? ResultCode::SourceChanged : ResultCode::ContainerChanged);
        }
        return NotRemoved();
    }

    SingleFileOutcome NotRemoved() {
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
        if (streamIn_)
            return;
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

    // `report`: the result's message is shown, unless it is a wrong password to stay quiet.
    SingleFileOutcome Fail(ResultCode code, bool report = true) {
        outcome_.status = SingleFileStatus::Failed;
        outcome_.code = code;
        if (report && !(job_.quietWrongPassword && code == ResultCode::WrongPassword))
            frontEnd_.ReportResult(code, job_.name);
        return outcome_;
    }

    const Transform transform_;
    const bool encrypting_;
    const bool rekeying_;
    const bool streamIn_;  // the source is a stream (standard input)
    const bool streamOut_; // the plain data goes to a stream (standard output)
    const Direction direction_;
    const bool grouped_;
    const SingleFileJob& job_;
    const std::string& source_;
    const std::string target_;
    TKX_Pwd& pwd_;
    SingleFileFrontEnd& frontEnd_;
    FileCalls& calls_;
    SingleFileOutcome outcome_;
    struct stat looked_ {};
    int savedMode_ = 0;
    SourceFile input_;
    bool mayReplace_ = false;
    bool targetSeen_ = false; // the target was there when the source was opened, a moment before
    std::optional<PendingFile> held_;
    struct stat written_ {};
    bool writtenSeen_ = false;
    WipeInProgress wipe_;
    // Re-keying: the container under its current password, and the new password.
    std::optional<ContainerRekey> rekey_;
    std::unique_ptr<TKX_Pwd> next_;
    bool wiping_ = false;
};

SingleFileOutcome SingleFileOperation::Run(Transform transform, const SingleFileJob& job) {
    return OneFile(transform, job, pwd_, frontEnd_, calls_, false).Run();
}

std::unique_ptr<SingleFileOperation::GroupedFile>
SingleFileOperation::Write(Direction direction, const SingleFileJob& job, SingleFileOutcome& ended) {
    auto file = std::make_unique<OneFile>(
        direction == Direction::Encrypt ? Transform::Encrypt : Transform::Decrypt, job, pwd_, frontEnd_, calls_, true);
    if (auto stopped = file->Write()) {
        ended = *stopped;
        return nullptr;
    }
    return file;
}

namespace {

// The size from which the pass of a wipe is handed to the disk as soon as it is written.
constexpr off_t kStartWritingFrom = off_t{1} << 20;

// The directories of the given targets flushed together; for each target, whether its directory is on disk.
template <class Files> std::vector<bool> FlushDirectoriesOf(const Files& files, FileCalls& calls) {
    std::map<std::string, std::size_t> index;
    std::vector<UniqueFd> directories;
    std::vector<std::size_t> directoryOf;
    for (const auto* file : files) {
        const std::string dir = DirectoryOf(file->target());
        auto [at, added] = index.emplace(dir, directories.size());
        if (added)
            directories.emplace_back(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        directoryOf.push_back(at->second);
    }
    std::vector<int> fds;
    for (const UniqueFd& directory : directories)
        fds.push_back(directory.get());
    const std::vector<bool> flushed = FlushTogether(fds, calls);
    std::vector<bool> onDisk;
    for (std::size_t i : directoryOf)
        onDisk.push_back(directories[i] && flushed[i]);
    return onDisk;
}

} // namespace

void SingleFileOperation::CompleteGroup(const std::vector<GroupedFile*>& group, FileCalls& calls) {
    CommitGroup(group, calls);
    FinishGroup(group, calls);
}

void SingleFileOperation::CommitGroup(const std::vector<GroupedFile*>& group, FileCalls& calls) {
    std::vector<OneFile*> files;
    for (GroupedFile* file : group)
        files.push_back(static_cast<OneFile*>(file));
    CrashPoint("group-written");

    std::vector<int> fds;
    for (const OneFile* file : files)
        fds.push_back(file->heldOutputFd());
    std::vector<bool> onDisk = FlushTogether(fds, calls);
    CrashPoint("group-flushed");

    std::vector<OneFile*> committed;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (files[i]->CommitHeld(onDisk[i]))
            committed.push_back(files[i]);
    CrashPoint("group-committed");

    onDisk = FlushDirectoriesOf(committed, calls);
    // Large passes are handed to the disk now; small ones go together with the flush that follows, for
    // the disk's work on one small file costs more than the flush saves.
    fds.clear();
    for (std::size_t i = 0; i < committed.size(); ++i)
        if (committed[i]->StoreAndStartRemoval(onDisk[i], calls) && committed[i]->wipeSize() >= kStartWritingFrom)
            fds.push_back(committed[i]->wipeFd());
    StartWriting(fds, calls);
    CrashPoint("group-overwritten");
}

void SingleFileOperation::FinishGroup(const std::vector<GroupedFile*>& group, FileCalls& calls) {
    std::vector<OneFile*> wiping;
    std::vector<int> fds;
    for (GroupedFile* file : group) {
        auto* one = static_cast<OneFile*>(file);
        if (one->wiping()) {
            wiping.push_back(one);
            fds.push_back(one->wipeFd());
        }
    }
    const std::vector<bool> onDisk = FlushTogether(fds, calls);
    for (std::size_t i = 0; i < wiping.size(); ++i)
        wiping[i]->FinishRemoval(onDisk[i]);
}

} // namespace vorlaxen
