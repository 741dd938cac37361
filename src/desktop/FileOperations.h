#pragma once

#include "desktop/ProgressDisplay.h"
#include "desktop/TKX_PrgState.h"
#include "engine/ResultCode.h"
#include "engine/TKX_Pwd.h"
#include "fileops/SingleFileOperation.h"
#include "fileops/TKX_DirCryptor.h"
#include "passwords/TKX_PwdTable.h"
#include "ports/WindowPorts.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorlaxen {

// The single-file operations of the main window: one plain file of the work directory into its
// container (`EncrFile`), one container back into its plain file (`DecrFile`), and the deletion of the
// selected entries of a pane (`FileDel`). EncrFile and DecrFile never ask for a password: the file
// password object already holds it. The target takes over the source's permissions; a source whose
// operation failed gets its own back. Plain files are wiped, containers deleted, and the panes follow
// when the work directory is the one they show. The sequence itself is the single-file operation that
// the companion shares; this class is its window front end.
//
// A list run writes its files one after another and makes them durable in groups (EncrFileInGroup,
// DecrFileInGroup, CompleteGroup): a group's outputs reach the disk with one flush, and only then are its
// sources wiped, with the same promise as for a file alone (no source goes before its output is on disk
// under its name; a stop request or a crash at any moment loses nothing). The panes follow each file of a
// group as the group completes.
//
// Constructing it hands the engine its hooks: the abort flag of the program state, a pass of pending
// events after every chunk, and the wipe's pass for a partly written plain file.
class FileOperations : private SingleFileFrontEnd {
public:
    FileOperations(TKX_DirCryptor& dirCryptor,
                   TKX_Pwd& pwd,
                   TKX_PwdTable& table,
                   TKX_PrgState& state,
                   ProgressDisplay& progress,
                   const WindowPorts& ports);

    // `name` is a plain file of the work directory. With `storePassword`, the password is stored in the
    // key file under the file's full path once the container is complete; when that fails the plain file
    // is kept. True when the container was written.
    bool EncrFile(const std::string& name, bool storePassword = false);
    // `container` is a container of the work directory, by its file name; messages name it by its
    // caption. True when the plain file was written.
    bool DecrFile(const std::string& container);

    // DecrFile with the whole outcome. With `quietWrongPassword` a wrong password is not reported (the
    // caller asks for another); with `replaceAgreed` an existing plain file is replaced without asking
    // again (the user agreed at the first try).
    SingleFileOutcome
    Decrypt(const std::string& container, bool quietWrongPassword = false, bool replaceAgreed = false);
    // Told the full path of every plain file that a decryption has just written, with the password that
    // decrypted it.
    using DecryptedHook = std::function<void(const std::string& plainPath, const SecureBytes& password)>;
    void setDecryptedHook(DecryptedHook hook) { decryptedHook_ = std::move(hook); }

    // A file of a list run, written with the password held now and kept for the run's group, unless it
    // ended before (reported, and the panes follow at once). Its password is not stored in the key file:
    // a file whose password goes to the key file or comes from it runs alone.
    void EncrFileInGroup(const std::string& name);
    void DecrFileInGroup(const std::string& container, bool replaceAgreed = false);
    // Brings the files kept to their end: their outputs to disk together and committed, their sources
    // wiped or deleted; then the panes follow each of them. Nothing when none is kept.
    void CompleteGroup();
    // The same for a group that is full while the run goes on: the outputs are committed now and the
    // wipes' passes written, and the sources go at the next CommitGroup or CompleteGroup, so that the
    // disk writes those passes while the next files are encrypted (the window has one thread). A group
    // of many files (small ones, with short passes) is completed at once.
    void CommitGroup();
    // Enough is kept for one group: its files' size, or as many files as descriptors allow.
    bool GroupFull() const;
    // The size of a group's files at which it is full: kGroupBytes, unless a test asks for many groups.
    void setGroupBytes(std::uint64_t bytes) { groupBytes_ = bytes; }

    // Deletes the selected entries of a pane, asking through TDelDialog.
    void FileDel(Pane pane);

    // Shows the message of a non-zero result code for the file `name`; the answer "All" to the
    // wrong-password message sets the abort flag.
    void ReportResult(ResultCode code, const std::string& name) override;

private:
    // The caption of a container in "Crypted files": the name its result messages use.
    std::string CaptionOf(const std::string& container) const;

    // The single-file operation's questions and messages, in the window.
    bool MayReplace(const std::string& question) override;
    void ShowStatus(const std::string& text) override;
    void ShowError(const std::string& text) override;
    // A file's failure, with "All" (`offersAll`: the wrong password) or, in a list, "Cancel All": either
    // ends the list.
    void ShowFailure(const std::string& text, bool offersAll);
    void EngineStarting(Direction direction) override;
    void EngineFinished(Direction direction) override;

    // Stores the password of a newly encrypted file; false when it should have been stored and was not.
    bool StoreAfterEncryption(const std::string& key);
    SingleFileJob EncryptionJob(const std::string& name) const;
    SingleFileJob DecryptionJob(const std::string& container, bool quietWrongPassword, bool replaceAgreed) const;
    // What follows a file's end, in the panes and for the watch of opened files, alone or in a group:
    // `name` is the plain file encrypted, `container` the container decrypted, in `directory`.
    bool Encrypted(const std::string& name, const std::string& directory, const SingleFileOutcome& outcome);
    void Decrypted(const std::string& container,
                   const std::string& directory,
                   const SingleFileOutcome& outcome,
                   const SecureBytes& password);

    // A file written and kept for its group. Its job lives as long as the file, which refers to it.
    struct HeldFile {
        Direction direction = Direction::Encrypt;
        std::string name; // the source's file name in `directory`
        std::string directory;
        SingleFileJob job;
        SecureBytes password; // a decryption's, for the decrypted hook
        std::uint64_t bytes = 0;
        std::unique_ptr<SingleFileOperation::GroupedFile> file;
    };
    using Group = std::vector<std::unique_ptr<HeldFile>>;
    void Hold(Direction direction, std::unique_ptr<HeldFile> held);
    Group TakeHeld();
    static std::vector<SingleFileOperation::GroupedFile*> FilesOf(const Group& group);
    // Finishes the group committed before, if any.
    void FinishCommitted();
    // Ends the group held: completed, or committed with its sources left for later (CommitGroup).
    void EndGroup(bool sourcesLater);
    // The panes and the watch of opened files follow each file of a group that has ended.
    void Follow(Group& group);

    TKX_DirCryptor& dirCryptor_;
    TKX_Pwd& pwd_;
    TKX_PwdTable& table_;
    TKX_PrgState& state_;
    ProgressDisplay& progress_;
    WindowPorts ports_;
    SingleFileOperation operation_;
    // Encrypting or decrypting is in the busy set exactly while the engine runs, the key file while the
    // table reads or writes it.
    std::optional<TKX_PrgState::BusyScope> engineBusy_;
    std::optional<TKX_PrgState::BusyScope> keyFileBusy_;
    DecryptedHook decryptedHook_;
    Group held_;
    std::uint64_t heldBytes_ = 0;
    Group committed_; // committed, its sources to be removed
    const std::size_t mostHeld_;
    std::uint64_t groupBytes_;
};

} // namespace vorlaxen
