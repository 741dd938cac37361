#include "desktop/BatchProcessing.h"

#include "engine/ContainerName.h"
#include "engine/Messages.h"
#include "fileops/DirectoryListing.h"
#include "fileops/MakePath.h"
#include "fileops/StoredPasswordFirst.h"
#include "passwords/KeyFilePassword.h"

#include <cerrno>
#include <sys/stat.h>

namespace vorlaxen {

namespace {

constexpr const char* kSearching = "Processing search for files...";

Pane PaneOf(Direction direction) {
    return direction == Direction::Decrypt ? Pane::Crypted : Pane::Source;
}

// ListRunning for the length of a list run, given back as it was on every way out.
class ListRunScope {
public:
    explicit ListRunScope(TKX_PrgState& state)
        : state_(state)
        , was_(state.ListRunning) {
        state_.ListRunning = true;
    }
    ~ListRunScope() { state_.ListRunning = was_; }
    ListRunScope(const ListRunScope&) = delete;
    ListRunScope& operator=(const ListRunScope&) = delete;

private:
    TKX_PrgState& state_;
    bool was_;
};

} // namespace

BatchProcessing::BatchProcessing(TKX_DirCryptor& dirCryptor,
                                 TKX_Pwd& pwd,
                                 TKX_PwdTable& table,
                                 TKX_PrgState& state,
                                 PasswordPromptLogic& prompts,
                                 FileOperations& files,
                                 ProgressDisplay& progress,
                                 const WindowPorts& ports)
    : dirCryptor_(dirCryptor)
    , pwd_(pwd)
    , table_(table)
    , state_(state)
    , prompts_(prompts)
    , files_(files)
    , progress_(progress)
    , ports_(ports) {}

bool BatchProcessing::InWholeDirectoryRun() const {
    return state_.IsBusyWith(TKX_PrgState::kWholeDirectory);
}

void BatchProcessing::EncrFileList() {
    if (state_.IsBusy())
        ports_.status.ShowStatus(kPleaseWait);
    else
        ProcessFileList(Direction::Encrypt);
}

void BatchProcessing::DecrFileList() {
    if (state_.IsBusy())
        ports_.status.ShowStatus(kPleaseWait);
    else
        ProcessFileList(Direction::Decrypt);
}

void BatchProcessing::ShowProgressArea() {
    if (!state_.ProgressShown)
        progress_.RaiseLists();
}

bool BatchProcessing::RefusedAsNotRegular(const std::string& file, const std::string& name) {
    struct stat st;
    // A file that is missing is reported by the operation itself.
    if (::lstat(MakePath(dirCryptor_.WorkDirectory, file).c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return false;
    if (InWholeDirectoryRun())
        ports_.status.ShowStatus(FillIn("Skipped %s: not a regular file.", name));
    else
        files_.ReportResult(ResultCode::NotRegularFile, name);
    return true;
}

bool BatchProcessing::DoneMeanwhile(Direction direction, const std::string& file, const std::string& name) {
    const bool encrypting = direction == Direction::Encrypt;
    const std::string counterpart = encrypting ? ContainerPathOf(file) : PlainPathOf(file);
    struct stat st;
    if (::lstat(MakePath(dirCryptor_.WorkDirectory, file).c_str(), &st) == 0 || errno != ENOENT ||
        ::lstat(MakePath(dirCryptor_.WorkDirectory, counterpart).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    ports_.status.ShowStatus(FillIn(encrypting ? "Skipped %s: gone since the list was read; its container is there."
                                               : "Skipped %s: gone since the list was read; its plain file is there.",
                                    name));
    if (ports_.panes.ShownDirectory() == dirCryptor_.WorkDirectory)
        ports_.panes.UpdateFLists(file, direction, false);
    return true;
}

void BatchProcessing::CompleteGroupBeforePrompt(Grouping grouping) {
    if (grouping == Grouping::InGroup && !prompts_.PasswordHeld())
        files_.CompleteGroup();
}

BatchProcessing::Outcome BatchProcessing::EncryptOne(const std::string& name, Grouping grouping) {
    if (RefusedAsNotRegular(name, name) ||
        (grouping == Grouping::InGroup && DoneMeanwhile(Direction::Encrypt, name, name)))
        return Outcome::Skipped;
    CompleteGroupBeforePrompt(grouping);
    const PromptResult answer = prompts_.PromptToEncrypt(name);
    if (answer == PromptResult::Skip)
        return Outcome::Skipped;
    if (answer == PromptResult::CancelAll)
        return Outcome::CancelAll;
    // Once more: the prompt may have stayed open while another program took the file.
    if (grouping == Grouping::InGroup && DoneMeanwhile(Direction::Encrypt, name, name))
        return Outcome::Skipped;
    ShowProgressArea();
    if (grouping == Grouping::InGroup && !state_.SaveToTable)
        files_.EncrFileInGroup(name);
    else
        files_.EncrFile(name, state_.SaveToTable);
    return Outcome::Processed;
}

BatchProcessing::Outcome BatchProcessing::DecryptOne(const std::string& container, Grouping grouping) {
    const std::string name = CryptedCaptionOf(container, ports_.settings.ShowCryOn());
    if (RefusedAsNotRegular(container, name) ||
        (grouping == Grouping::InGroup && DoneMeanwhile(Direction::Decrypt, container, name)))
        return Outcome::Skipped;
    const std::string key = MakePath(dirCryptor_.WorkDirectory, PlainPathOf(container));
    KeyFilePassword stored(table_, pwd_, key);
    // The password given is the prompt's for the file: before the first try without a stored password,
    // after a stored one that does not fit (an entry older than the container). A group waiting for its
    // completion is completed before the prompt opens.
    Outcome result = Outcome::Processed;
    auto prompt = [&] {
        CompleteGroupBeforePrompt(grouping);
        const PromptResult answer = prompts_.PromptToDecrypt(name, container);
        if (answer == PromptResult::Skip)
            result = Outcome::Skipped;
        else if (answer == PromptResult::CancelAll)
            result = Outcome::CancelAll;
        else if (grouping == Grouping::InGroup && DoneMeanwhile(Direction::Decrypt, container, name))
            result = Outcome::Skipped; // taken by another program while the prompt was open
        return result == Outcome::Processed;
    };
    if (!stored.Found() && !prompt())
        return result;
    // A file without a stored password joins the group; one whose stored password did not open it runs
    // alone, and its entry goes once it is decrypted.
    const std::optional<SingleFileOutcome> outcome = TryStoredPasswordFirst(
        [&](const PasswordTry& attempt) -> std::optional<SingleFileOutcome> {
            ShowProgressArea();
            if (grouping == Grouping::InGroup && !stored.Found()) {
                files_.DecrFileInGroup(container, false);
                return std::nullopt;
            }
            return files_.Decrypt(container, !attempt.second && stored.Found(), attempt.replaceAgreed);
        },
        [&] { return &stored; },
        prompt);
    if (outcome && outcome->Written())
        stored.FileDecrypted();
    return result;
}

void BatchProcessing::ProcessFileList(Direction direction) {
    const Pane pane = PaneOf(direction);
    dirCryptor_.ReadSelection(ports_.panes.SelectedFiles(pane), ports_.panes.ShownDirectory());
    if (InWholeDirectoryRun())
        ports_.panes.ClearSelection(pane);
    RunWorkList(direction);
}

void BatchProcessing::ProcessDroppedFiles(const std::vector<DroppedRun>& runs) {
    if (state_.IsBusy()) {
        ports_.status.ShowStatus(kPleaseWait);
        return;
    }
    for (const DroppedRun& run : runs) {
        ports_.status.ShowStatus(FillIn("Dropped files in %s", run.directory));
        dirCryptor_.WorkDirectory = run.directory;
        dirCryptor_.WorkList = run.names;
        RunWorkList(run.direction);
    }
}

void BatchProcessing::RunWorkList(Direction direction) {
    const bool wholeDirectory = InWholeDirectoryRun();
    prompts_.SetCancelAllVisible(direction, true);
    if (!wholeDirectory) {
        ports_.progress.EnableStopButton(true);
        state_.ProgressShown = false;
        progress_.StartRun();
        prompts_.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::Start);
    }

    // The names are copied: a prompt or a message may let events run, and nothing may change the list
    // being walked.
    const std::vector<std::string> names = dirCryptor_.WorkList;
    {
        const ListRunScope running(state_);
        for (const std::string& name : names) {
            const Outcome outcome = direction == Direction::Encrypt ? EncryptOne(name, Grouping::InGroup)
                                                                    : DecryptOne(name, Grouping::InGroup);
            if (outcome == Outcome::Skipped)
                continue;
            if (outcome == Outcome::CancelAll) {
                if (wholeDirectory)
                    state_.AbortFlag = true;
                break;
            }
            if (files_.GroupFull())
                files_.CommitGroup();
            if (state_.AbortFlag)
                break;
        }
        // Also after a stop request: what was written before it is finished, nothing is lost.
        files_.CompleteGroup();
    }

    if (!wholeDirectory) {
        state_.AbortFlag = false;
        prompts_.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::End);
    }
    prompts_.SetCancelAllVisible(direction, false);
    if (wholeDirectory)
        return;
    ports_.status.ShowStatus(kIdle);
    if (state_.ProgressShown)
        progress_.DropLists();
    ports_.progress.EnableStopButton(false);
    DisableIdleButtons();
}

void BatchProcessing::DisableIdleButtons() {
    if (!pwd_.Valid)
        ports_.expiry.EnablePwdExpireButton(false);
    if (!table_.MasterPass.Valid)
        ports_.expiry.EnableMasterPwdExpireButton(false);
}

void BatchProcessing::DoForAll(Direction direction) {
    if (state_.IsBusy()) {
        ports_.status.ShowStatus(kPleaseWait);
        return;
    }
    // The directory is named before anything happens: a right click on the wrong row of the tree shows.
    const std::string highlighted = ports_.panes.HighlightedDirectory();
    ports_.status.ShowStatus((direction == Direction::Encrypt ? "Encrypt All: " : "Decrypt All: ") + highlighted);
    const MessageAnswer answer =
        ports_.messages.ShowMessage(MessageKind::Confirmation, "Recurse subdirectories?", MessageButtons::YesNoCancel);
    if (answer != MessageAnswer::Yes && answer != MessageAnswer::No) {
        ports_.status.ShowStatus(kIdle);
        return;
    }
    const bool recurse = answer == MessageAnswer::Yes;

    {
        const TKX_PrgState::BusyScope busy(state_, TKX_PrgState::kWholeDirectory);
        progress_.StartRun();
        prompts_.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::Start);
        prompts_.SetCancelAllVisible(direction, true);
        ports_.status.ShowStatus(kSearching);
        // A highlighted directory that cannot be entered is not exchanged for the one shown: nothing is
        // processed.
        const bool shown = highlighted == ports_.panes.ShownDirectory() || ports_.panes.ShowDirectory(highlighted);
        ports_.panes.EnableDirectoryTree(false);
        ports_.progress.EnableStopButton(true);

        if (shown)
            ProcessDirectory(direction, recurse);

        prompts_.ReleaseExpiredPasswords(PasswordPromptLogic::Boundary::End);
        state_.AbortFlag = false;
    }
    prompts_.SetCancelAllVisible(direction, false);
    ports_.status.ShowStatus(kIdle);
    ports_.panes.EnableDirectoryTree(true);
    if (state_.ProgressShown)
        progress_.DropLists();
    ports_.progress.EnableStopButton(false);
    DisableIdleButtons();
    // With one password for the list or the session the entries were added without icons and details.
    if (pwd_.ListMode || pwd_.SessionMode)
        ports_.panes.ReadFLists();
}

void BatchProcessing::ProcessDirectory(Direction direction, bool recurse) {
    if (state_.AbortFlag)
        return;
    ports_.panes.SelectAll(PaneOf(direction));
    ProcessFileList(direction);
    if (!recurse)
        return;
    // Taken once: the directories that processing creates or removes meanwhile do not change the walk.
    const std::string directory = ports_.panes.ShownDirectory();
    const std::vector<std::string> subdirectories = ListSubdirectories(directory);
    for (const std::string& subdirectory : subdirectories) {
        ports_.events.LetPendingEventsRun();
        // One that cannot be entered (removed meanwhile, or without permission) is passed over.
        if (ports_.panes.ShowDirectory(MakePath(directory, subdirectory))) {
            ports_.events.LetPendingEventsRun();
            ProcessDirectory(direction, recurse);
            ports_.events.LetPendingEventsRun();
            ports_.panes.ShowDirectory(directory);
            ports_.events.LetPendingEventsRun();
        }
        if (state_.AbortFlag)
            break;
        ports_.status.ShowStatus(kSearching);
    }
}

void BatchProcessing::Button1Click() {
    if (state_.IsBusyWith(TKX_PrgState::kEncrypting) || state_.IsBusyWith(TKX_PrgState::kDecrypting)) {
        // The file's time does not run while the user is asked.
        progress_.PauseClock();
        const MessageAnswer answer = ports_.messages.ShowMessage(
            MessageKind::Confirmation, "Do you really want to cancel the process?", MessageButtons::OkCancel);
        progress_.ResumeClock();
        if (answer != MessageAnswer::Ok)
            return;
        ports_.status.ShowStatus(kPleaseWait);
    }
    state_.AbortFlag = true;
}

} // namespace vorlaxen
