#include "desktop/FileWatch.h"

#include "engine/Messages.h"
#include "platform/FileSystem.h"

#include <algorithm>

namespace vorlaxen {

namespace {

constexpr const char* kMayStillBeOpen = "%s may still be open in another window. Encrypt it again now?";
constexpr const char* kWrittenAgain =
    "%s has been written again by an application after it was encrypted. Encrypt it again now?";
constexpr const char* kStillInUse =
    "%s is still open in another program. It will be encrypted again as soon as it is closed.";
constexpr const char* kCloseQuestion =
    "Some crypted files have been decrypted  and opened in their associated applications. If you press 'OK' "
    "then program will exit without re-encrypting the opened files. Press 'Cancel' button to ensure that all "
    "such files are closed. Terminate respective applications.";

// Sets a flag for the lifetime of one piece of work and gives it its former value on every way out.
class Working {
public:
    explicit Working(bool& flag)
        : flag_(flag)
        , before_(flag) {
        flag_ = true;
    }
    ~Working() { flag_ = before_; }
    Working(const Working&) = delete;
    Working& operator=(const Working&) = delete;

private:
    bool& flag_;
    bool before_;
};

// Puts a watched file's password into the file password object for one encryption and gives the held
// one back afterwards, whatever it was.
class PasswordInPlace {
public:
    PasswordInPlace(TKX_Pwd& pwd, const SecureBytes& masked)
        : pwd_(pwd)
        , held_(std::move(pwd.Password))
        , heldLength_(pwd.PasswordLength) {
        pwd_.Password = masked;
        pwd_.PasswordLength = static_cast<std::int32_t>(masked.size());
    }
    ~PasswordInPlace() {
        pwd_.Password.swap(held_); // the copy goes with held_, zeroed
        pwd_.PasswordLength = heldLength_;
    }
    PasswordInPlace(const PasswordInPlace&) = delete;
    PasswordInPlace& operator=(const PasswordInPlace&) = delete;

private:
    TKX_Pwd& pwd_;
    SecureBytes held_;
    std::int32_t heldLength_;
};

// The crypt box as a list run left it, given back after a re-encryption between two of its files.
class CryptBoxKept {
public:
    explicit CryptBoxKept(TKX_DirCryptor& box)
        : box_(box)
        , list_(box.WorkList)
        , directory_(box.WorkDirectory) {}
    ~CryptBoxKept() {
        box_.WorkList = std::move(list_);
        box_.WorkDirectory = std::move(directory_);
    }
    CryptBoxKept(const CryptBoxKept&) = delete;
    CryptBoxKept& operator=(const CryptBoxKept&) = delete;

private:
    TKX_DirCryptor& box_;
    std::vector<std::string> list_;
    std::string directory_;
};

} // namespace

FileWatch::FileWatch(TKX_DirCryptor& dirCryptor,
                     TKX_Pwd& pwd,
                     TKX_PrgState& state,
                     FileOperations& files,
                     ProgressDisplay& progress,
                     const WindowPorts& ports,
                     AppLauncher& launcher,
                     WatchControls& controls)
    : dirCryptor_(dirCryptor)
    , pwd_(pwd)
    , state_(state)
    , files_(files)
    , progress_(progress)
    , ports_(ports)
    , launcher_(launcher)
    , controls_(controls) {
    files_.setDecryptedHook(
        [this](const std::string& plainPath, const SecureBytes& password) { OnDecrypted(plainPath, password); });
}

// --- Passwords of files decrypted for opening ----------------------------------------------------------

void FileWatch::StartCapture() {
    capturing_ = true;
}

void FileWatch::OnDecrypted(const std::string& plainPath, const SecureBytes& password) {
    // Decrypted again through the program: the plain file is the user's doing now, not an application's.
    std::erase_if(reencrypted_, [&](const ReencryptedFile& copy) { return copy.path == plainPath; });
    if (!capturing_)
        return;
    // All of the password as given, not only what the container's method used of it: the method of the
    // re-encryption may take more, and the user will type it all.
    std::erase_if(captured_, [&](const auto& entry) { return entry.first == plainPath; });
    captured_.emplace_back(plainPath, password);
}

std::optional<SecureBytes> FileWatch::TakeCaptured(const std::string& plainPath) {
    const auto found =
        std::find_if(captured_.begin(), captured_.end(), [&](const auto& entry) { return entry.first == plainPath; });
    if (found == captured_.end())
        return std::nullopt;
    SecureBytes password = std::move(found->second);
    captured_.erase(found);
    return password;
}

void FileWatch::EndCapture() {
    capturing_ = false;
    captured_.clear(); // the zeroing allocator wipes each password as it goes
}

// --- The opened-file table -----------------------------------------------------------------------------

bool FileWatch::AllSlotsInUse() const {
    return state_.OpFiles.Count >= static_cast<std::int32_t>(OpFilesR::kSlots);
}

bool FileWatch::CreateFileObject(const std::string& path, pid_t process, LaunchVerb verb, SecureBytes password) {
    auto& files = state_.OpFiles.Files;
    const auto free = std::find_if(files.begin(), files.end(), [](const OpenFileInfoR& slot) { return !slot.InUse; });
    if (free == files.end())
        return false;
    free->InUse = true;
    free->Running = true;
    free->Process = process;
    free->FileName = path;
    free->Password = std::move(password);
    free->Verb = verb;
    free->Started = now_();
    free->Opened = std::time(nullptr);
    ++state_.OpFiles.Count;
    UpdateControls();
    return true;
}

bool FileWatch::EncryptAgainNow(const std::string& path, const SecureBytes& password) {
    const Working work(working_);
    return EncryptAgain(path, password);
}

void FileWatch::NotifyOpenFiles() {
    if (working_)
        return;
    {
        const Working work(working_);
        for (OpenFileInfoR& slot : state_.OpFiles.Files) {
            if (!slot.InUse)
                continue;
            if (slot.Running)
                LookAtProcess(slot);
            if (slot.Running || state_.IsBusy())
                continue;
            TryReencrypt(slot, Asking::AtTick);
        }
        if (!state_.IsBusy())
            OfferWrittenAgain(Asking::AtTick);
    }
    UpdateControls();
}

void FileWatch::LookAtProcess(OpenFileInfoR& slot) {
    const ChildStatus status = launcher_.Poll(slot.Process);
    if (status == ChildStatus::Running)
        return;
    slot.Running = false;
    if (slot.Verb == LaunchVerb::Print) {
        // lp has handed the file to the printing system when it ends: the file is not needed any more.
        slot.PrintFailed = status == ChildStatus::Failed;
        return;
    }
    slot.QuickExit = now_() - slot.Started < quickExit_;
}

void FileWatch::TryReencrypt(OpenFileInfoR& slot, Asking asking) {
    // An application that deleted its file leaves nothing to encrypt again.
    if (!PathExists(slot.FileName)) {
        slot.Release();
        --state_.OpFiles.Count;
        return;
    }
    if (slot.PrintFailed) {
        const std::string path = slot.FileName;
        slot.PrintFailed = false;
        Reencrypt(slot);
        (void)ports_.messages.ShowMessage(MessageKind::Error, FillIn(kUnableToShell, path), MessageButtons::Ok);
        return;
    }
    const bool needsWord =
        (slot.QuickExit || slot.Answer == ReencryptAnswer::NotYet) && slot.Answer != ReencryptAnswer::Yes;
    if (needsWord) {
        // The tick asks once, and not while the file is plainly still in use; "Not yet" waits for the user.
        if (asking == Asking::AtTick &&
            (slot.Answer == ReencryptAnswer::NotYet || !Free(slot.FileName, slot.Opened, false)))
            return;
        if (!Ask(kMayStillBeOpen, slot.FileName)) {
            slot.Answer = ReencryptAnswer::NotYet;
            return;
        }
        slot.Answer = ReencryptAnswer::Yes;
        // The question let events run: look again before the file goes. A file still in use goes at a
        // later tick, once it is free.
        if (!PathExists(slot.FileName) || state_.IsBusy() || !Free(slot.FileName, slot.Opened, true))
            return;
    } else if (!Free(slot.FileName, slot.Opened, asking == Asking::Again)) {
        return;
    }
    Reencrypt(slot);
}

bool FileWatch::Free(const std::string& path, std::time_t opened, bool tell) {
    if (!launcher_.InUse(path, opened))
        return true;
    if (tell)
        (void)ports_.messages.ShowMessage(MessageKind::Information, FillIn(kStillInUse, path), MessageButtons::Ok);
    return false;
}

bool FileWatch::Ask(const char* question, const std::string& path) {
    return ports_.messages.ShowMessage(MessageKind::Confirmation, FillIn(question, path), MessageButtons::YesNotYet) ==
           MessageAnswer::Yes;
}

void FileWatch::Reencrypt(OpenFileInfoR& slot) {
    const std::string path = slot.FileName;
    if (EncryptAgain(path, slot.Password)) {
        Remember(path, std::move(slot.Password), slot.Opened);
        slot.Release();
        --state_.OpFiles.Count;
        return;
    }
    if (!PathExists(path)) {
        slot.Release();
        --state_.OpFiles.Count;
        return;
    }
    // Not encrypted (the overwrite question declined, stopped, a failure reported): the file stays
    // watched until the user asks again, rather than being tried at every tick.
    slot.Answer = ReencryptAnswer::NotYet;
}

bool FileWatch::EncryptAgain(const std::string& path, const SecureBytes& password) {
    const TKX_PrgState::BusyScope busy(state_, TKX_PrgState::kReencrypting);
    const CryptBoxKept box(dirCryptor_);
    dirCryptor_.WorkList.clear();
    dirCryptor_.WorkDirectory = DirectoryOf(path);
    const PasswordInPlace inPlace(pwd_, password);
    const bool raise = !state_.ProgressShown;
    if (raise)
        progress_.RaiseLists();
    // A stop request made while this file is encrypted again must not carry over into a list run that
    // waits between its files; one made before belongs to that run.
    const bool stopRequested = state_.AbortFlag;
    const bool written = files_.EncrFile(FileNameOf(path));
    if (!stopRequested)
        state_.AbortFlag = false;
    if (raise)
        progress_.DropLists();
    return written;
}

// --- Files written again -------------------------------------------------------------------------------

void FileWatch::Remember(const std::string& path, SecureBytes password, std::time_t opened) {
    std::erase_if(reencrypted_, [&](const ReencryptedFile& copy) { return copy.path == path; });
    directories_.Watch(DirectoryOf(path));
    reencrypted_.push_back(ReencryptedFile{path, std::move(password), opened});
}

void FileWatch::DirectoryChanged() {
    // Taken at once even while busy: the descriptor stays readable until it is read.
    for (const std::string& path : directories_.TakeWritten())
        for (ReencryptedFile& copy : reencrypted_)
            if (copy.path == path)
                copy.writtenAgain = true;
    if (working_ || state_.IsBusy()) {
        UpdateControls(); // the next tick offers it
        return;
    }
    {
        const Working work(working_);
        OfferWrittenAgain(Asking::AtTick);
    }
    UpdateControls();
}

void FileWatch::OfferWrittenAgain(Asking asking) {
    // By index: encrypting a copy again may let events run, but nothing adds to or removes from the list
    // while `working_` is set.
    for (std::size_t i = 0; i < reencrypted_.size(); ++i) {
        ReencryptedFile& copy = reencrypted_[i];
        if (!copy.writtenAgain)
            continue;
        // Gone again (our own wipe writes the name over before it goes, or the application removed it).
        if (!PathExists(copy.path)) {
            copy.writtenAgain = false;
            copy.answer = ReencryptAnswer::None;
            continue;
        }
        if (state_.IsBusy())
            return;
        TryReencryptCopy(copy, asking);
    }
}

void FileWatch::TryReencryptCopy(ReencryptedFile& copy, Asking asking) {
    if (copy.answer == ReencryptAnswer::NotYet && asking == Asking::AtTick)
        return;
    if (copy.answer != ReencryptAnswer::Yes) {
        if (!Ask(kWrittenAgain, copy.path)) {
            copy.answer = ReencryptAnswer::NotYet;
            return;
        }
        copy.answer = ReencryptAnswer::Yes;
        if (!Free(copy.path, copy.opened, true))
            return;
    } else if (!Free(copy.path, copy.opened, asking == Asking::Again)) {
        return;
    }
    if (state_.IsBusy() || !PathExists(copy.path))
        return;
    if (EncryptAgain(copy.path, copy.password)) {
        copy.writtenAgain = false;
        copy.answer = ReencryptAnswer::None;
    } else {
        copy.answer = ReencryptAnswer::NotYet;
    }
}

// --- The menu item and the close request ---------------------------------------------------------------

void FileWatch::ReencryptOpenedFiles() {
    if (working_ || state_.IsBusy()) {
        ports_.status.ShowStatus(kPleaseWait);
        return;
    }
    {
        const Working work(working_);
        for (OpenFileInfoR& slot : state_.OpFiles.Files) {
            if (!slot.InUse || slot.Running || slot.Answer == ReencryptAnswer::Yes)
                continue;
            if (state_.IsBusy())
                break;
            TryReencrypt(slot, Asking::Again);
        }
        OfferWrittenAgain(Asking::Again);
    }
    UpdateControls();
}

bool FileWatch::FormCloseQuery() {
    if (working_ || state_.IsBusy())
        return false;
    ReencryptOpenedFiles();
    if (state_.OpFiles.Count == 0 && !CopiesWaiting(false))
        return true;
    return ports_.messages.ShowMessage(MessageKind::Information, kCloseQuestion, MessageButtons::OkCancel) ==
           MessageAnswer::Ok;
}

bool FileWatch::CopiesWaiting(bool forTimer) const {
    return std::any_of(reencrypted_.begin(), reencrypted_.end(), [forTimer](const ReencryptedFile& copy) {
        return copy.writtenAgain && !(forTimer && copy.answer == ReencryptAnswer::NotYet);
    });
}

void FileWatch::UpdateControls() {
    controls_.EnableNotifyOpenFilesTimer(state_.OpFiles.Count > 0 || CopiesWaiting(true));
    // Files whose application has ended and which are still decrypted.
    const bool waiting = std::any_of(state_.OpFiles.Files.begin(),
                                     state_.OpFiles.Files.end(),
                                     [](const OpenFileInfoR& slot) { return slot.InUse && !slot.Running; }) ||
                         CopiesWaiting(false);
    controls_.EnableReencryptItem(waiting);
}

} // namespace vorlaxen
