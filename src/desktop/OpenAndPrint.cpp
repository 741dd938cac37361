#include "desktop/OpenAndPrint.h"

#include "engine/ContainerName.h"
#include "engine/Messages.h"
#include "fileops/MakePath.h"
#include "platform/FileSystem.h"

namespace vorlaxen {

namespace {

constexpr const char* kAllSlotsInUse = "No more than 20 files can be open at a time. Close one of them first.";
constexpr const char* kNoSlotLeft = "No more than 20 files can be open at a time: %s has been encrypted again.";

} // namespace

OpenAndPrint::OpenAndPrint(TKX_DirCryptor& dirCryptor,
                           TKX_PrgState& state,
                           BatchProcessing& batch,
                           FileWatch& watch,
                           const WindowPorts& ports,
                           AppLauncher& launcher)
    : dirCryptor_(dirCryptor)
    , state_(state)
    , batch_(batch)
    , watch_(watch)
    , ports_(ports)
    , launcher_(launcher) {}

pid_t OpenAndPrint::OpenAssociatedApp(const std::string& file,
                                      const std::string& directory,
                                      LaunchVerb verb,
                                      bool watch) {
    ports_.status.ShowStatus("Executing associated application...");
    const pid_t process = launcher_.Launch(verb, file, directory, watch);
    ports_.status.ShowStatus(kIdle);
    return process;
}

// The selection is read into a list of its own rather than into the crypt box: a list run may be waiting
// between two of its files while this runs, and its work directory must stay.
void OpenAndPrint::ProcessCmd(LaunchVerb verb) {
    const std::string directory = ports_.panes.ShownDirectory();
    for (const std::string& name : ports_.panes.SelectedFiles(Pane::Source)) {
        const std::string path = MakePath(directory, name);
        if (OpenAssociatedApp(path, directory, verb, false) == 0)
            (void)ports_.messages.ShowMessage(MessageKind::Error, FillIn(kUnableToShell, path), MessageButtons::Ok);
    }
}

void OpenAndPrint::DecrCmdFromPane(LaunchVerb verb) {
    if (state_.IsBusy()) {
        ports_.status.ShowStatus(kPleaseWait);
        return;
    }
    ProcessDecrCmd(verb);
}

void OpenAndPrint::ProcessDecrCmd(LaunchVerb verb, const std::string& path) {
    if (path.empty()) {
        if (watch_.AllSlotsInUse()) {
            (void)ports_.messages.ShowMessage(MessageKind::Error, kAllSlotsInUse, MessageButtons::Ok);
            return;
        }
        watch_.StartCapture();
        batch_.ProcessFileList(Direction::Decrypt);
    } else {
        dirCryptor_.WorkDirectory = DirectoryOf(path);
        dirCryptor_.WorkList = {FileNameOf(path)};
    }
    // Copied: encrypting a file again at once works with the crypt box of its own.
    const std::string directory = dirCryptor_.WorkDirectory;
    const std::vector<std::string> names = dirCryptor_.WorkList;
    for (const std::string& name : names)
        HandOver(directory, name, verb);
    watch_.EndCapture();
}

void OpenAndPrint::HandOver(const std::string& directory, const std::string& name, LaunchVerb verb) {
    const std::string plainPath = MakePath(directory, PlainPathOf(name));
    std::optional<SecureBytes> password = watch_.TakeCaptured(plainPath);
    if (!password || !PathExists(plainPath))
        return;
    // A decrypted file that no slot can watch is not left in plain.
    if (watch_.AllSlotsInUse()) {
        watch_.EncryptAgainNow(plainPath, *password);
        (void)ports_.messages.ShowMessage(MessageKind::Error, FillIn(kNoSlotLeft, plainPath), MessageButtons::Ok);
        return;
    }
    const pid_t process = OpenAssociatedApp(plainPath, directory, verb, true);
    if (process > 0) {
        watch_.CreateFileObject(plainPath, process, verb, std::move(*password));
        return;
    }
    watch_.EncryptAgainNow(plainPath, *password);
    (void)ports_.messages.ShowMessage(MessageKind::Error, FillIn(kUnableToShell, plainPath), MessageButtons::Ok);
}

} // namespace vorlaxen
