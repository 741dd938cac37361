#pragma once

namespace vorlaxen {

// Where the password table gets a master password when it needs one and none is held: the master
// password dialog in the window, the environment or the terminal in the companion. Asking sets the
// master password object's state from the answer; "Do not use now" leaves no master password held.
class MasterPasswordSource {
public:
    virtual ~MasterPasswordSource() = default;
    virtual void AskMasterPassword() = 0;
};

} // namespace vorlaxen
