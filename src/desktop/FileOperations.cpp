#include "desktop/FileOperations.h"

#include "desktop/FileLists.h"
#include "engine/ContainerName.h"
#include "engine/Messages.h"
#include "fileops/GroupLimits.h"
#include "fileops/MakePath.h"
#include "fileops/RemoveFile.h"
#include "fileops/WipeFile.h"
#include "platform/FileSystem.h"

namespace vorlaxen {

FileOperations::FileOperations(TKX_DirCryptor& dirCryptor,
                               TKX_Pwd& pwd,
                               TKX_PwdTable& table,
                               TKX_PrgState& state,
                               ProgressDisplay& progress,
                               const WindowPorts& ports)
    : dirCryptor_(dirCryptor)
    , pwd_(pwd)
    , table_(table)
    , state_(state)
    , progress_(progress)
    , ports_(ports)
    , operation_(pwd, *this)
    , mostHeld_(MostWaitingFiles(false))
    , groupBytes_(kGroupBytes) {
    PendingEvents& events = ports_.events;
    pwd_.SetHooks(EngineHooks{
        &state_.AbortFlag,
        [&events] { events.LetPendingEventsRun(); },
        [](int fd) { return OverwriteOpenFile(fd); },
    });
    table_.SetBusyHook([this](bool reading) {
        if (reading)
            keyFileBusy_.emplace(state_, TKX_PrgState::kKeyFile);
        else
            keyFileBusy_.reset();
    });
}

std::string FileOperations::CaptionOf(const std::string& container) const {
    return CryptedCaptionOf(container, ports_.settings.ShowCryOn());
}

// A message, like a prompt, waits for the user: the files kept for the run's group are completed first, so
// that none waits for its group (locked, its output not yet under its name) while a message is open.
void FileOperations::ShowError(const std::string& text) {
    ShowFailure(text, false);
}

void FileOperations::ReportResult(ResultCode code, const std::string& name) {
    const std::string text = ResultText(code, name);
    if (!text.empty())
        ShowFailure(text, OffersAllButton(code));
}

// In a list, a failure that may well repeat for every file left (a full disk, a folder that cannot be
// written, files removed meanwhile) can end the list here, instead of one message after another.
void FileOperations::ShowFailure(const std::string& text, bool offersAll) {
    CompleteGroup();
    const MessageButtons buttons = offersAll            ? MessageButtons::OkAll
                                   : state_.ListRunning ? MessageButtons::OkCancelAll
                                                        : MessageButtons::Ok;
    const MessageAnswer answer = ports_.messages.ShowMessage(MessageKind::Error, text, buttons);
    if ((offersAll && answer == MessageAnswer::All) || answer == MessageAnswer::CancelAll)
        state_.AbortFlag = true;
}

bool FileOperations::MayReplace(const std::string& question) {
    CompleteGroup();
    return ports_.messages.ShowMessage(MessageKind::Information, question, MessageButtons::OkCancel) ==
           MessageAnswer::Ok;
}

void FileOperations::ShowStatus(const std::string& text) {
    ports_.status.ShowStatus(text);
}

// The busy flag and the progress timer are on exactly while the engine runs. The counters start from
// nothing, so that a file that ends before its body shows no figures of the file before.
void FileOperations::EngineStarting(Direction direction) {
    engineBusy_.emplace(state_,
                        direction == Direction::Encrypt ? TKX_PrgState::kEncrypting : TKX_PrgState::kDecrypting);
    pwd_.BlocksDone = 0;
    pwd_.BlocksTotal = 0;
    progress_.StartProcessTimer();
}

// A list run is not idle between its files; it says so at its end.
void FileOperations::EngineFinished(Direction) {
    progress_.StopProcessTimer();
    engineBusy_.reset();
    if (!state_.ListRunning)
        ports_.status.ShowStatus(kIdle);
    progress_.ResetBars();
}

bool FileOperations::StoreAfterEncryption(const std::string& key) {
    const bool storable = TKX_PwdTable::UnstorableKeyText(key).empty();
    if (table_.StorePassword(key))
        return true;
    // "Do not use now" or "Do not use at all" in the master password dialog: the user chose to go on
    // without the key file. Any other failure has been reported and leaves the password unstored.
    return storable && !table_.MasterPass.Valid;
}

SingleFileJob FileOperations::EncryptionJob(const std::string& name) const {
    SingleFileJob job;
    job.source = MakePath(dirCryptor_.WorkDirectory, name);
    job.name = name;
    job.method = WritableMethod(ports_.settings.DefaultMethod());
    return job;
}

SingleFileJob
FileOperations::DecryptionJob(const std::string& container, bool quietWrongPassword, bool replaceAgreed) const {
    SingleFileJob job;
    job.source = MakePath(dirCryptor_.WorkDirectory, container);
    job.name = CaptionOf(container);
    job.quietWrongPassword = quietWrongPassword;
    job.replaceAllowed = replaceAgreed;
    return job;
}

bool FileOperations::EncrFile(const std::string& name, bool storePassword) {
    SingleFileJob job = EncryptionJob(name);
    if (storePassword)
        job.storePassword = [this, key = job.source] { return StoreAfterEncryption(key); };
    return Encrypted(name, dirCryptor_.WorkDirectory, operation_.Encrypt(job));
}

bool FileOperations::Encrypted(const std::string& name,
                               const std::string& directory,
                               const SingleFileOutcome& outcome) {
    state_.Overwrite = outcome.targetExisted;
    const bool panesFollow = ports_.panes.ShownDirectory() == directory;
    // The old container's entry goes when the container was replaced, and when a failure took it away.
    if (state_.Overwrite && panesFollow && (outcome.Written() || outcome.oldTargetGone))
        ports_.panes.RemoveListEntry(Pane::Crypted, ContainerPathOf(name));
    if (!outcome.Written())
        return false;
    if (panesFollow)
        ports_.panes.UpdateFLists(name, Direction::Encrypt, !outcome.SourceRemoved());
    return true;
}

SingleFileOutcome FileOperations::Decrypt(const std::string& container, bool quietWrongPassword, bool replaceAgreed) {
    const SingleFileJob job = DecryptionJob(container, quietWrongPassword, replaceAgreed);
    const SingleFileOutcome outcome = operation_.Decrypt(job);
    Decrypted(container, dirCryptor_.WorkDirectory, outcome, pwd_.Password);
    return outcome;
}

void FileOperations::Decrypted(const std::string& container,
                               const std::string& directory,
                               const SingleFileOutcome& outcome,
                               const SecureBytes& password) {
    const std::string plainName = PlainPathOf(container);
    state_.Overwrite = outcome.targetExisted;
    const bool panesFollow = ports_.panes.ShownDirectory() == directory;
    if (state_.Overwrite && panesFollow && (outcome.Written() || outcome.oldTargetGone))
        ports_.panes.RemoveListEntry(Pane::Source, plainName);
    if (outcome.Written() && panesFollow)
        ports_.panes.UpdateFLists(container, Direction::Decrypt, !outcome.SourceRemoved());
    if (outcome.Written() && decryptedHook_)
        decryptedHook_(MakePath(directory, plainName), password);
}

bool FileOperations::DecrFile(const std::string& container) {
    return Decrypt(container).Written();
}

void FileOperations::EncrFileInGroup(const std::string& name) {
    auto held = std::make_unique<HeldFile>();
    held->name = name;
    held->job = EncryptionJob(name);
    Hold(Direction::Encrypt, std::move(held));
}

void FileOperations::DecrFileInGroup(const std::string& container, bool replaceAgreed) {
    auto held = std::make_unique<HeldFile>();
    held->name = container;
    held->job = DecryptionJob(container, false, replaceAgreed);
    if (decryptedHook_)
        held->password = pwd_.Password;
    Hold(Direction::Decrypt, std::move(held));
}

void FileOperations::Hold(Direction direction, std::unique_ptr<HeldFile> held) {
    held->direction = direction;
    held->directory = dirCryptor_.WorkDirectory;
    SingleFileOutcome ended;
    held->file = operation_.Write(direction, held->job, ended);
    if (!held->file) {
        if (direction == Direction::Encrypt)
            Encrypted(held->name, held->directory, ended);
        else
            Decrypted(held->name, held->directory, ended, pwd_.Password);
        return;
    }
    // Each block of the body is 8 bytes, and the engine counted them all.
    held->bytes = static_cast<std::uint64_t>(pwd_.BlocksTotal.load()) * 8;
    heldBytes_ += held->bytes;
    held_.push_back(std::move(held));
}

bool FileOperations::GroupFull() const {
    return heldBytes_ >= groupBytes_ || held_.size() >= mostHeld_;
}

// Taken out first: what follows may show messages, and nothing may be completed twice.
FileOperations::Group FileOperations::TakeHeld() {
    Group group = std::move(held_);
    held_.clear();
    heldBytes_ = 0;
    return group;
}

std::vector<SingleFileOperation::GroupedFile*> FileOperations::FilesOf(const Group& group) {
    std::vector<SingleFileOperation::GroupedFile*> files;
    for (const auto& held : group)
        files.push_back(held->file.get());
    return files;
}

void FileOperations::FinishCommitted() {
    if (committed_.empty())
        return;
    Group group = std::move(committed_);
    committed_.clear();
    SingleFileOperation::FinishGroup(FilesOf(group));
    Follow(group);
}

void FileOperations::CompleteGroup() {
    EndGroup(false);
}

void FileOperations::CommitGroup() {
    EndGroup(true);
}

// The files of a group committed wait with their sources and the passes over them (two descriptors
// each) beside the next group: at most half as many as a group may hold, so that the two stay within
// the descriptors a group may take.
void FileOperations::EndGroup(bool sourcesLater) {
    FinishCommitted();
    if (held_.empty())
        return;
    Group group = TakeHeld();
    SingleFileOperation::CommitGroup(FilesOf(group));
    if (sourcesLater && group.size() * 2 <= mostHeld_) {
        committed_ = std::move(group);
        return;
    }
    SingleFileOperation::FinishGroup(FilesOf(group));
    Follow(group);
}

void FileOperations::Follow(Group& group) {
    for (auto& held : group) {
        const SingleFileOutcome outcome = held->file->outcome();
        held->file.reset();
        if (held->direction == Direction::Encrypt)
            Encrypted(held->name, held->directory, outcome);
        else
            Decrypted(held->name, held->directory, outcome, held->password);
    }
}

void FileOperations::FileDel(Pane pane) {
    if (ports_.panes.SelectedFiles(pane).empty())
        return;
    if (state_.IsBusy()) {
        ports_.status.ShowStatus(kPleaseWait);
        return;
    }
    const TKX_PrgState::BusyScope busy(state_, TKX_PrgState::kDeleting);
    dirCryptor_.ReadSelection(ports_.panes.SelectedFiles(pane), ports_.panes.ShownDirectory());
    bool deleteAll = false;
    ports_.progress.EnableStopButton(true);
    const bool plain = pane == Pane::Source;
    for (const std::string& file : dirCryptor_.WorkList) {
        const std::string path = MakePath(dirCryptor_.WorkDirectory, file);
        if (!deleteAll) {
            const DelAnswer answer = ports_.delDialog.ShowDelDialog(path + "?");
            if (answer == DelAnswer::Cancel)
                continue;
            if (answer == DelAnswer::CancelAll)
                break;
            if (answer == DelAnswer::DeleteAll)
                deleteAll = true;
        }
        const Removal removal =
            RemoveFileAt(path, plain, [this](const std::string& text) { ports_.status.ShowStatus(text); });
        if (removal == Removal::Removed)
            ports_.panes.RemoveListEntry(pane, file);
        else if (removal == Removal::NotRegular)
            ReportResult(ResultCode::NotRegularFile, path);
        else if (removal == Removal::InUse)
            ReportResult(ResultCode::InUse, path);
        else
            ShowError(FillIn("Unable to delete file %s .", path));
    }
    ports_.progress.EnableStopButton(false);
    state_.AbortFlag = false;
}

} // namespace vorlaxen
