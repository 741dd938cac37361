#pragma once

#include "desktop/DroppedFiles.h"
#include "desktop/FileOperations.h"
#include "desktop/ProgressDisplay.h"
#include "desktop/TKX_PrgState.h"
#include "engine/TKX_Pwd.h"
#include "fileops/TKX_DirCryptor.h"
#include "passwords/PasswordPromptLogic.h"
#include "passwords/TKX_PwdTable.h"
#include "ports/WindowPorts.h"

namespace vorlaxen {

// Encryption and decryption from the main window, always of a list: the files of a pane's selected entries
// (`ProcessFileList`), or every file of the directory highlighted in the tree and, on request, of its
// subdirectories, depth first in name order (`DoForAll`). For each file the password comes from the key
// file (decryption only), from a password held for the session or the list, or from a prompt; then the
// single-file operation runs. The stop button ends the current file at its next block and the list
// after it.
class BatchProcessing {
public:
    BatchProcessing(TKX_DirCryptor& dirCryptor,
                    TKX_Pwd& pwd,
                    TKX_PwdTable& table,
                    TKX_PrgState& state,
                    PasswordPromptLogic& prompts,
                    FileOperations& files,
                    ProgressDisplay& progress,
                    const WindowPorts& ports);

    // The selection of "Available for encryption" / "Crypted files"; refused while anything is busy.
    void EncrFileList();
    void DecrFileList();
    void ProcessFileList(Direction direction);
    // Files that another program dropped on the window, each run in its own directory as a list run, its
    // directory named in the status line first; refused while anything is busy.
    void ProcessDroppedFiles(const std::vector<DroppedRun>& runs);

    // "Encrypt All" / "Decrypt All" of the directory tree's pop-up menu.
    void DoForAll(Direction direction);
    void ProcessDirectory(Direction direction, bool recurse);

    // StopProcess_Button.
    void Button1Click();

    // One file of the work directory with its password from the key file (decryption only), a held one
    // or the prompt, as a list run takes each of its files; the command line takes its files so too. A
    // list run's file joins the run's group (FileOperations), unless its password goes to the key file
    // or comes from it; the files kept are completed before a prompt is shown.
    enum class Outcome { Processed, Skipped, CancelAll };
    enum class Grouping { Alone, InGroup };
    Outcome EncryptOne(const std::string& name, Grouping grouping = Grouping::Alone);
    // `container` is the container's file name in the work directory; prompts and messages name it by its
    // caption.
    Outcome DecryptOne(const std::string& container, Grouping grouping = Grouping::Alone);

private:
    // The list run over the work list of the work directory.
    void RunWorkList(Direction direction);
    // A link or a special file (`file`, in the work directory) is refused before a password is asked
    // for it: a list run says so in a message, a whole-directory run, which takes every entry of the
    // pane, notes it in the status line and goes on. True when refused.
    bool RefusedAsNotRegular(const std::string& file, const std::string& name);
    // A list is read before it runs: a file of it (`file`, in the work directory) that is gone while its
    // counterpart (its container, or its plain file) is there was processed meanwhile by another program,
    // the companion or another window. It is noted in the status line and passed over, and the panes
    // follow, instead of a message for each such file that the user must answer. True when passed over.
    bool DoneMeanwhile(Direction direction, const std::string& file, const std::string& name);
    bool InWholeDirectoryRun() const;
    // Before a prompt: the files of the group are completed, so that none waits while the user is asked.
    void CompleteGroupBeforePrompt(Grouping grouping);
    void ShowProgressArea();
    // The end of a list run or whole-directory run: the expire buttons stay enabled only while a
    // password is held.
    void DisableIdleButtons();

    TKX_DirCryptor& dirCryptor_;
    TKX_Pwd& pwd_;
    TKX_PwdTable& table_;
    TKX_PrgState& state_;
    PasswordPromptLogic& prompts_;
    FileOperations& files_;
    ProgressDisplay& progress_;
    WindowPorts ports_;
};

} // namespace vorlaxen
