#pragma once

#include "engine/ResultCode.h"
#include "engine/TKX_Pwd.h"
#include "platform/FileCalls.h"
#include "platform/SourceFile.h"
#include "ports/SingleFileFrontEnd.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vorlaxen {

// The result of a source that could not be opened for an operation: not a regular file, in use by another
// operation, or not readable.
ResultCode OpenFailure(SourceFile::Status status);

// One file to encrypt, decrypt or re-key, and how.
struct SingleFileJob {
    std::string source;                       // a plain file to encrypt, or a container to decrypt or re-key
    std::string name;                         // the file as the result messages name it
    CipherMethod method = CipherMethod::Idea; // encryption, and re-keying unless keepMethod
    bool keepMethod = false;                  // re-keying: the container keeps its own method
    bool replaceAllowed = false;              // an existing target is replaced without asking
    bool keepSource = false;                  // the source stays once the target is written
    std::string target; // the output's path when not the one the naming rule gives (a name the user chose)
    // When not -1, the source is not `source` but what this descriptor gives to its end (standard input):
    // encrypted into `target` with the header written last, or decrypted as a container. It is never
    // removed, and the output takes the permissions of a new file.
    int sourceStream = -1;
    // Decryption: when set, the plain data goes here as it is decrypted (standard output) instead of into
    // a file, and the container stays. The data checksum can only be checked at the end: a damaged
    // container fails after its data has gone.
    PlainSink plainStream;
    // A wrong password is returned unreported: the caller has another to try. Read when the result is
    // known, so that `mayStart` may set it once it knows where the password came from.
    bool quietWrongPassword = false;
    // The last word after the overwrite question, before anything is changed (the companion refuses a
    // key it could never find again, or obtains the password here); false refuses.
    std::function<bool()> mayStart;
    // Encryption: stores the file's password once the container is complete; false keeps the plain file.
    // Re-keying: gives a key-file entry the new password once the new container is in place.
    std::function<bool()> storePassword;
    // Re-keying: puts the new password into `next` once the current one (put in place by `mayStart`) has
    // opened the container; false refuses, and nothing changes.
    std::function<bool(TKX_Pwd& next)> newPassword;
};

enum class SingleFileStatus {
    Done,              // the target is written and the source removed, or kept as asked
    SourceKept,        // the target is written, but the source could not be removed (reported)
    PasswordNotStored, // the container is written, but its password could not be stored: the plain file stays
    NotFound,          // there is no source (reported)
    Declined,          // the existing target was not to be replaced; nothing changed
    Refused,           // `mayStart` said no; nothing changed
    Failed,            // `code` says why (reported, unless a wrong password was to stay quiet)
};

struct SingleFileOutcome {
    SingleFileStatus status = SingleFileStatus::Failed;
    ResultCode code = ResultCode::Ok;
    bool targetExisted = false; // the target existed and was to be replaced
    bool replaceAgreed = false; // replacing the target was allowed or agreed to, for a second try
    bool oldTargetGone = false; // a replaced target is gone although the operation failed

    bool Written() const noexcept {
        return status == SingleFileStatus::Done || status == SingleFileStatus::SourceKept ||
               status == SingleFileStatus::PasswordNotStored;
    }
    bool SourceRemoved() const noexcept { return status == SingleFileStatus::Done; }
};

// The one sequence by which both front ends turn a plain file into its container (`Encrypt`), a
// container back into its plain file (`Decrypt`), or a container into one under a new password and
// possibly a new method (`Rekey`): the source is looked at without following a link and
// opened under an exclusive lock that lasts to the end; an existing target is replaced only on a yes (a
// target that appears meanwhile never is); the source's permissions are saved, the engine runs, and the
// target takes them over (a failure gives them back to the source); a password to be stored is stored
// once the container is complete, and a plain file whose password could not be stored stays; the source
// must still be the same file, unchanged, before it is wiped (a plain file) or deleted (a container),
// otherwise it stays and the new output goes. Re-keying checks the current password against the container
// before the new one is asked for, decrypts it in memory straight into the new container, brings that to
// disk (through the calls given), reads it back from the disk and verifies it, and only then puts it in
// the old one's place with its permissions; the old container stays as it was on every failure.
// Questions and messages go through the front end; the outcome says what happened.
//
// A run of several files may group the durability of its files (Write, then CompleteGroup): the outputs
// of a group are written first, brought to disk together with one flush, committed, their directories
// flushed together, and only then are the group's sources wiped, the passes of the wipes flushed together
// too. Each file keeps every promise of the sequence: no source is wiped before its output is on disk
// under its name, and a crash at any moment loses nothing.
class SingleFileOperation {
public:
    // A file of a group, written but not yet on disk; CompleteGroup finishes it.
    class GroupedFile {
    public:
        virtual ~GroupedFile() = default;
        // What became of the file, once its group is complete.
        virtual const SingleFileOutcome& outcome() const = 0;
    };

    SingleFileOperation(TKX_Pwd& pwd, SingleFileFrontEnd& frontEnd, FileCalls& calls = SystemFileCalls())
        : pwd_(pwd)
        , frontEnd_(frontEnd)
        , calls_(calls) {}

    SingleFileOutcome Encrypt(const SingleFileJob& job) { return Run(Transform::Encrypt, job); }
    SingleFileOutcome Decrypt(const SingleFileJob& job) { return Run(Transform::Decrypt, job); }
    SingleFileOutcome Rekey(const SingleFileJob& job) { return Run(Transform::Rekey, job); }

    // The first part of the sequence for a file of a group: the source opened under its lock, the target
    // agreed on, the output written completely but not flushed, and nothing committed. Null when the
    // sequence ended before that; `ended` then says how. The job, the file password object and the front
    // end must outlive the file, which holds the source's lock and the output until it goes.
    std::unique_ptr<GroupedFile> Write(Direction direction, const SingleFileJob& job, SingleFileOutcome& ended);

    // The rest of the sequence for every file of a group, the flushes shared: the outputs flushed
    // together; each committed while its source is unchanged (its password stored); the directories
    // flushed together; each source checked once more and wiped (a plain file, its passes flushed
    // together) or deleted (a container). May run on another thread than the files' Write, but not
    // beside anything else that uses their front ends. The flushes and the wipes go through `calls`,
    // which must outlive the files.
    static void CompleteGroup(const std::vector<GroupedFile*>& files, FileCalls& calls = SystemFileCalls());
    // CompleteGroup in two halves, for a caller with other work to do while the passes of the wipes go to
    // disk: CommitGroup goes as far as the passes written over the sources that may go, and starts
    // writing them to disk; FinishGroup flushes them together and removes those sources. In between,
    // every output is on disk under its name and every source still there (partly overwritten after a
    // crash, which the next encryption of it recognises).
    static void CommitGroup(const std::vector<GroupedFile*>& files, FileCalls& calls = SystemFileCalls());
    static void FinishGroup(const std::vector<GroupedFile*>& files, FileCalls& calls = SystemFileCalls());

private:
    enum class Transform { Encrypt, Decrypt, Rekey };
    class OneFile;
    SingleFileOutcome Run(Transform transform, const SingleFileJob& job);

    TKX_Pwd& pwd_;
    SingleFileFrontEnd& frontEnd_;
    FileCalls& calls_; // the re-keyed container's flush
};

} // namespace vorlaxen
