#include "fileops/FileOperations.h"

#include "engine/ContainerFormat.h"
#include "fileops/FileLists.h"
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
    , ports_(ports) {
    Host& host = ports_.host;
    pwd_.SetHooks(EngineHooks{
        &state_.AbortFlag,
        [&host] { host.LetPendingEventsRun(); },
        [](const std::string& path) { return WipeFile(path); },
    });
}

std::string FileOperations::CryptedCaption(const std::string& plainName) const {
    return ports_.settings.ShowCryOn() ? plainName + std::string(kContainerExtension) : plainName;
}

std::string FileOperations::ContainerNameOf(const std::string& caption) const {
    return ports_.settings.ShowCryOn() ? caption : ContainerFileFor(dirCryptor_.WorkDirectory, caption);
}

std::string FileOperations::PlainNameOf(const std::string& caption) const {
    if (!ports_.settings.ShowCryOn())
        return caption;
    return caption.size() >= kContainerExtension.size() ? caption.substr(0, caption.size() - kContainerExtension.size())
                                                        : std::string();
}

void FileOperations::ShowError(const std::string& text) {
    (void)ports_.host.ShowMessage(MessageKind::Error, text, MessageButtons::Ok);
}

void FileOperations::ReportResult(ResultCode code, const std::string& name) {
    const std::string text = ResultText(code, name);
    if (text.empty())
        return;
    const MessageAnswer answer = ports_.host.ShowMessage(
        MessageKind::Error, text, OffersAllButton(code) ? MessageButtons::OkAll : MessageButtons::Ok);
    if (OffersAllButton(code) && answer == MessageAnswer::All)
        state_.AbortFlag = true;
}

bool FileOperations::MayOverwrite(const std::string& target, const char* question) {
    state_.Overwrite = false;
    if (!PathExists(target))
        return true;
    if (ports_.host.ShowMessage(MessageKind::Information, FillIn(question, target), MessageButtons::OkCancel) !=
        MessageAnswer::Ok)
        return false;
    state_.Overwrite = true;
    return true;
}

template <class EngineCall> ResultCode FileOperations::RunEngine(std::uint8_t busyFlag, EngineCall call) {
    state_.SetBusy(busyFlag);
    progress_.StartProcessTimer();
    const ResultCode result = call();
    progress_.StopProcessTimer();
    state_.ClearBusy(busyFlag);
    ports_.host.ShowStatus("Idle.");
    progress_.ResetBars();
    return result;
}

bool FileOperations::PanesShowWorkDirectory() const {
    return ports_.panes.ShownDirectory() == dirCryptor_.WorkDirectory;
}

bool FileOperations::StoreAfterEncryption(const std::string& key) {
    const bool storable = TKX_PwdTable::UnstorableKeyText(key).empty();
    if (table_.StorePassword(key))
        return true;
    // "Do not use now" or "Do not use at all" in the master password dialog: the user chose to go on
    // without the key file. Any other failure has been reported and leaves the password unstored.
    return storable && !table_.MasterPass.Valid;
}

bool FileOperations::EncrFile(const std::string& name, bool storePassword) {
    const std::string& directory = dirCryptor_.WorkDirectory;
    const std::string source = MakePath(directory, name);
    const std::string target = MakePath(directory, name + std::string(kContainerExtension));

    const int savedMode = FileMode(source);
    if (savedMode < 0) {
        ShowError(FillIn("File %s not found.", source));
        return false;
    }
    if (!MayOverwrite(target, "File %s already exist in the list of encrypted files. Overwrite?"))
        return false;
    MakeOwnerReadWrite(source);
    ports_.host.ShowStatus("Encrypting file " + name + " ...");
    const ResultCode result =
        RunEngine(TKX_PrgState::kEncrypting, [&] { return pwd_.EncryptFile(source, ports_.settings.DefaultMethod()); });
    if (result != ResultCode::Ok) {
        // The engine leaves no output and an existing container untouched; the source gets its own
        // permissions back rather than being left open to its owner.
        SetFileMode(source, savedMode);
        ReportResult(result, name);
        return false;
    }
    SetFileMode(target, savedMode);

    // Stored once the container is complete: a store made before would replace the entry of an older
    // container of the same name even when this encryption fails or is cancelled at the overwrite question.
    const bool keepSource = storePassword && !StoreAfterEncryption(MakePath(directory, name));
    const bool panesFollow = PanesShowWorkDirectory();
    if (state_.Overwrite && panesFollow)
        ports_.panes.RemoveListEntry(Pane::Crypted, CryptedCaption(name));

    bool removed = false;
    if (keepSource) {
        ShowError(FillIn("File %s has been encrypted but kept, since its password could not be stored.", source));
    } else {
        removed = RemoveFile(source, true, [this](const std::string& text) { ports_.host.ShowStatus(text); });
        if (!removed)
            ShowError(FillIn("Unable to delete file %s from the list of non encrypted files.", name));
    }
    if (!removed && PathExists(source))
        SetFileMode(source, savedMode);
    if (panesFollow)
        ports_.panes.UpdateFLists(name, Direction::Encrypt, !removed);
    return true;
}

bool FileOperations::DecrFile(const std::string& name) {
    const std::string& directory = dirCryptor_.WorkDirectory;
    const std::string plainName = PlainNameOf(name);
    const std::string source = MakePath(directory, ContainerNameOf(name));
    const std::string target = MakePath(directory, plainName);

    const int savedMode = FileMode(source);
    if (savedMode < 0) {
        ShowError(FillIn("File %s not found.", source));
        return false;
    }
    if (!MayOverwrite(target, "File %s already exist in the list of non encrypted files. Overwrite?"))
        return false;
    MakeOwnerReadWrite(source);
    ports_.host.ShowStatus("Decrypting file " + name + " ...");
    const ResultCode result = RunEngine(TKX_PrgState::kDecrypting, [&] { return pwd_.DecryptFile(source); });
    if (result != ResultCode::Ok) {
        SetFileMode(source, savedMode);
        ReportResult(result, name);
        return false;
    }
    SetFileMode(target, savedMode);

    const bool panesFollow = PanesShowWorkDirectory();
    if (state_.Overwrite && panesFollow)
        ports_.panes.RemoveListEntry(Pane::Source, plainName);
    const bool removed = RemoveFile(source, false, [this](const std::string& text) { ports_.host.ShowStatus(text); });
    if (!removed) {
        ShowError(FillIn("Unable to delete file %s from the list of encrypted files.", source));
        if (PathExists(source))
            SetFileMode(source, savedMode);
    }
    if (panesFollow)
        ports_.panes.UpdateFLists(name, Direction::Decrypt, !removed);
    return true;
}

void FileOperations::FileDel(Pane pane) {
    if (ports_.panes.SelectedCaptions(pane).empty())
        return;
    if (state_.IsBusy()) {
        ports_.host.ShowStatus("Please wait until the process is finished.");
        return;
    }
    state_.SetBusy(TKX_PrgState::kDeleting);
    dirCryptor_.ReadSelection(PaneSelectionOf(ports_.panes, pane));
    bool deleteAll = false;
    ports_.progress.EnableStopButton(true);
    const bool plain = pane == Pane::Source;
    for (const std::string& name : dirCryptor_.WorkList) {
        const std::string path = MakePath(dirCryptor_.WorkDirectory, plain ? name : ContainerNameOf(name));
        if (!deleteAll) {
            const DelAnswer answer = ports_.delDialog.ShowDelDialog(path + "?");
            if (answer == DelAnswer::Cancel)
                continue;
            if (answer == DelAnswer::CancelAll)
                break;
            if (answer == DelAnswer::DeleteAll)
                deleteAll = true;
        }
        if (RemoveFile(path, plain, [this](const std::string& text) { ports_.host.ShowStatus(text); }))
            ports_.panes.RemoveListEntry(pane, name);
        else
            ShowError(FillIn("Unable to delete file %s .", path));
    }
    ports_.progress.EnableStopButton(false);
    state_.AbortFlag = false;
    state_.ClearBusy(TKX_PrgState::kDeleting);
}

} // namespace vorlaxen
