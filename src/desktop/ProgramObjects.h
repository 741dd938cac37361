#pragma once

#include "desktop/TKX_PrgState.h"
#include "engine/TKX_Pwd.h"
#include "fileops/TKX_DirCryptor.h"
#include "passwords/TKX_PwdTable.h"
#include "ports/MasterPasswordSource.h"
#include "ports/MessageBox.h"
#include "ports/PendingEvents.h"

#include <memory>

namespace vorlaxen {

// The four program-wide objects that the main window owns. They come up in a fixed order (the crypt box,
// the file password object, the password table with its master password, the program state) and go
// down in the same order, not the reverse. A template so that tests can watch the order with stand-ins.
template <class DirCryptor, class Pwd, class PwdTable, class PrgState> class ProgramObjectsOf {
public:
    // What the password table reaches of the window.
    ProgramObjectsOf(MessageBox& messages, PendingEvents& events, MasterPasswordSource& masterPassword)
        : dirCryptor_(std::make_unique<DirCryptor>())
        , pwd_(std::make_unique<Pwd>())
        , pwdTable_(std::make_unique<PwdTable>(messages, events, masterPassword, *pwd_))
        , prgState_(std::make_unique<PrgState>()) {}

    // The password table keeps a reference to the file password object but never uses it while it is
    // destroyed, so the creation order can be kept.
    ~ProgramObjectsOf() {
        dirCryptor_.reset();
        pwd_.reset();
        pwdTable_.reset();
        prgState_.reset();
    }

    ProgramObjectsOf(const ProgramObjectsOf&) = delete;
    ProgramObjectsOf& operator=(const ProgramObjectsOf&) = delete;

    DirCryptor& dirCryptor() { return *dirCryptor_; }
    Pwd& pwd() { return *pwd_; }
    PwdTable& pwdTable() { return *pwdTable_; }
    PrgState& prgState() { return *prgState_; }

private:
    std::unique_ptr<DirCryptor> dirCryptor_;
    std::unique_ptr<Pwd> pwd_;
    std::unique_ptr<PwdTable> pwdTable_;
    std::unique_ptr<PrgState> prgState_;
};

using ProgramObjects = ProgramObjectsOf<TKX_DirCryptor, TKX_Pwd, TKX_PwdTable, TKX_PrgState>;

} // namespace vorlaxen
