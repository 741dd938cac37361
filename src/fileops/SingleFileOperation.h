#pragma once

#include "engine/ResultCode.h"
#include "engine/TKX_Pwd.h"
#include "ports/SingleFileFrontEnd.h"

#include <functional>
#include <string>

namespace vorlaxen {

// One file to encrypt or decrypt, and how.
struct SingleFileJob {
    std::string source;          // a plain file to encrypt, or a container to decrypt
    std::string name;            // the file as the result messages name it
    int method = 1;              // encryption: the method code
    bool replaceAllowed = false; // an existing target is replaced without asking
    bool keepSource = false;     // the source stays once the target is written
    // A wrong password is returned unreported: the caller has another to try. Read when the result is
    // known, so that `mayStart` may set it once it knows where the password came from.
    bool quietWrongPassword = false;
    // The last word after the overwrite question, before anything is changed (the companion refuses a
    // key it could never find again, or obtains the password here); false refuses.
    std::function<bool()> mayStart;
    // Encryption: stores the file's password once the container is complete; false keeps the plain file.
    std::function<bool()> storePassword;
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

// The one sequence by which both front ends turn a plain file into its container (`Encrypt`) or a
// container back into its plain file (`Decrypt`): the source is looked at without following a link and
// opened under an exclusive lock that lasts to the end; an existing target is replaced only on a yes (a
// target that appears meanwhile never is); the source's permissions are saved, the engine runs, and the
// target takes them over (a failure gives them back to the source); a password to be stored is stored
// once the container is complete, and a plain file whose password could not be stored stays; the source
// must still be the same file, unchanged, before it is wiped (a plain file) or deleted (a container),
// otherwise it stays and the new output goes. Questions and messages go through the front end; the
// outcome says what happened.
class SingleFileOperation {
public:
    SingleFileOperation(TKX_Pwd& pwd, SingleFileFrontEnd& frontEnd)
        : pwd_(pwd)
        , frontEnd_(frontEnd) {}

    SingleFileOutcome Encrypt(const SingleFileJob& job) { return Run(Direction::Encrypt, job); }
    SingleFileOutcome Decrypt(const SingleFileJob& job) { return Run(Direction::Decrypt, job); }

private:
    class OneFile;
    SingleFileOutcome Run(Direction direction, const SingleFileJob& job);

    TKX_Pwd& pwd_;
    SingleFileFrontEnd& frontEnd_;
};

} // namespace vorlaxen
