#pragma once

#include "desktop/FileOperations.h"
#include "desktop/ProgressDisplay.h"
#include "desktop/TKX_PrgState.h"
#include "engine/TKX_Pwd.h"
#include "fileops/TKX_DirCryptor.h"
#include "platform/DirectoryWatch.h"
#include "ports/AppLauncher.h"
#include "ports/WatchControls.h"
#include "ports/WindowPorts.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vorlaxen {

// The watch on files decrypted for "open" or "print": the opened-file table's slots (`CreateFileObject`),
// the 200 ms tick that encrypts a file again once its application has ended (`NotifyOpenFiles`), the
// File menu's "Re-encrypt opened files" and the close request (`FormCloseQuery`).
//
// A file is encrypted again with the password that decrypted it, which its slot keeps (zeroed when the
// slot is freed), never with whatever password is held at that moment; with the default method of that
// moment. It is not encrypted again while a process holds it open or an application's lock file names
// it. An application that ended within moments of its start has most likely handed the file to a window
// of it that was already running: the user is asked first, and "Not yet" keeps the file until the menu
// item or the close request asks again. A file that its application deleted frees its slot quietly.
//
// After a file has been encrypted again, its directory is watched for as long as the program runs: an
// application that writes the plain file again is reported at once, with the offer to encrypt it again.
//
// Re-encryption happens only while the busy set is empty, and holds kReencrypting meanwhile; it leaves
// the crypt box and the file password object as it found them, since a list run may be waiting between
// two of its files.
class FileWatch {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kTimerInterval = 200; // milliseconds

    FileWatch(TKX_DirCryptor& dirCryptor,
              TKX_Pwd& pwd,
              TKX_PrgState& state,
              FileOperations& files,
              ProgressDisplay& progress,
              const WindowPorts& ports,
              AppLauncher& launcher,
              WatchControls& controls);
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // An application that ends sooner than this after its start is taken to have handed its file on.
    void setQuickExit(std::chrono::milliseconds limit) { quickExit_ = limit; }
    // The clock that times an application from its start to its end: the steady clock, or a test's.
    void setClock(std::function<Clock::time_point()> now) { now_ = std::move(now); }

    // While capturing, the password of every file that a decryption writes is kept for it, for the slot
    // that the file then takes. Ending the capture zeroes what was not taken.
    void StartCapture();
    std::optional<SecureBytes> TakeCaptured(const std::string& plainPath);
    void EndCapture();

    bool AllSlotsInUse() const;
    // Takes the first free slot for the file and its application's process, with the password that
    // decrypted it, and starts the timer. False, with nothing stored, when every slot is in use.
    bool CreateFileObject(const std::string& path, pid_t process, LaunchVerb verb, SecureBytes password);
    // Encrypts a decrypted file again at once, with the password that decrypted it: its application could
    // not be started, or no slot was free. True when its container was written.
    bool EncryptAgainNow(const std::string& path, const SecureBytes& password);

    // A tick of NotifyOpenFiles_Timer.
    void NotifyOpenFiles();
    // "Re-encrypt opened files": asks again for every file that waits for the user's word.
    void ReencryptOpenedFiles();
    // The close request: refused while anything runs; files that wait for the user's word are asked
    // for once more; then, while files are still watched, the user decides. True: the window may close.
    bool FormCloseQuery();

    // The directory watch's descriptor (readable when a watched directory changed) and its handler.
    int directoryWatchFd() const { return directories_.fd(); }
    void DirectoryChanged();

private:
    // A file that has been encrypted again and whose plain name is watched.
    struct ReencryptedFile {
        std::string path;
        SecureBytes password;
        std::time_t opened = 0;
        bool writtenAgain = false; // an application wrote the plain file since
        ReencryptAnswer answer = ReencryptAnswer::None;
    };
    enum class Asking { AtTick, Again };

    void LookAtProcess(OpenFileInfoR& slot);
    void TryReencrypt(OpenFileInfoR& slot, Asking asking);
    void Reencrypt(OpenFileInfoR& slot);
    void OfferWrittenAgain(Asking asking);
    void TryReencryptCopy(ReencryptedFile& copy, Asking asking);
    // The file may go now; false when something still works with it, which is said when the user asked.
    bool Free(const std::string& path, std::time_t opened, bool tell);
    bool Ask(const char* question, const std::string& path);
    bool EncryptAgain(const std::string& path, const SecureBytes& password);
    void Remember(const std::string& path, SecureBytes password, std::time_t opened);
    void OnDecrypted(const std::string& plainPath, const SecureBytes& password);
    void UpdateControls();
    bool CopiesWaiting(bool forTimer) const;

    TKX_DirCryptor& dirCryptor_;
    TKX_Pwd& pwd_;
    TKX_PrgState& state_;
    FileOperations& files_;
    ProgressDisplay& progress_;
    WindowPorts ports_;
    AppLauncher& launcher_;
    WatchControls& controls_;
    std::chrono::milliseconds quickExit_{2000};
    std::function<Clock::time_point()> now_ = &Clock::now;
    // A tick, the menu item or the close request is asking or encrypting: nothing of the watch starts
    // from the events that its message boxes let run.
    bool working_ = false;
    bool capturing_ = false;
    std::vector<std::pair<std::string, SecureBytes>> captured_;
    DirectoryWatch directories_;
    std::vector<ReencryptedFile> reencrypted_;
};

} // namespace vorlaxen
