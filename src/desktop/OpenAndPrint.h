#pragma once

#include "desktop/BatchProcessing.h"
#include "desktop/FileWatch.h"
#include "desktop/TKX_PrgState.h"
#include "fileops/TKX_DirCryptor.h"
#include "ports/AppLauncher.h"
#include "ports/WindowPorts.h"

#include <string>

namespace vorlaxen {

// "Open" and "Print" of the two panes' pop-up menus and of the command line. For a plain file
// (`ProcessCmd`) the file is handed to its application and nothing more. A container (`ProcessDecrCmd`)
// is decrypted first, then its plain file is handed to its application and watched, so that it is
// encrypted again when the application is done; a plain file that cannot be handed over, or finds no
// free slot, is encrypted again at once.
class OpenAndPrint {
public:
    OpenAndPrint(TKX_DirCryptor& dirCryptor,
                 TKX_PrgState& state,
                 BatchProcessing& batch,
                 FileWatch& watch,
                 const WindowPorts& ports,
                 AppLauncher& launcher);

    // "Open" (Open1Click) and "Print" (Print1Click) of "Available for encryption": the selected files.
    void ProcessCmd(LaunchVerb verb);
    // "Open" (Open2Click) and "Print" (Print2Click) of "Crypted files": refused while anything is busy.
    void DecrCmdFromPane(LaunchVerb verb);
    // Hands over the containers of the pane's selection (`path` empty), decrypting them as a list run
    // does, or the one container `path` that the command line has just
    // decrypted with StartCapture of the watch on. Only a plain file decrypted by this call is handed
    // over: one that was there before (its decryption declined or failed) is not the container's.
    void ProcessDecrCmd(LaunchVerb verb, const std::string& path = {});

    // Starts the application for `file` in `directory`, showing so in the status line; the process id,
    // or 0 when nothing could be started.
    pid_t OpenAssociatedApp(const std::string& file, const std::string& directory, LaunchVerb verb, bool watch);

private:
    void HandOver(const std::string& directory, const std::string& name, LaunchVerb verb);

    TKX_DirCryptor& dirCryptor_;
    TKX_PrgState& state_;
    BatchProcessing& batch_;
    FileWatch& watch_;
    WindowPorts ports_;
    AppLauncher& launcher_;
};

} // namespace vorlaxen
