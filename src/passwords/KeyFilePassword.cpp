#include "passwords/KeyFilePassword.h"

namespace vorlaxen {

KeyFilePassword::KeyFilePassword(TKX_PwdTable& table, TKX_Pwd& filePassword, std::string key)
    : table_(table)
    , pwd_(filePassword)
    , key_(std::move(key))
    , heldBytes_(filePassword.Password)
    , heldLength_(filePassword.PasswordLength) {
    found_ = table_.FindPassword(key_);
    taken_ = found_;
}

KeyFilePassword::~KeyFilePassword() {
    if (taken_)
        (void)PutBack();
}

void KeyFilePassword::RestoreHeldPassword() {
    pwd_.ClearPassword();
    pwd_.Password = std::move(heldBytes_);
    pwd_.PasswordLength = heldLength_;
    heldBytes_.clear();
}

bool KeyFilePassword::PutBack() {
    if (!taken_)
        return true;
    taken_ = false;
    // The file password object still holds the key file's password: that is what goes back.
    const bool back = table_.PutBack(key_);
    putBack_ = back;
    RestoreHeldPassword();
    return back;
}

void KeyFilePassword::FileDecrypted() {
    if (taken_) {
        taken_ = false;
        RestoreHeldPassword();
        return;
    }
    if (putBack_) {
        putBack_ = false;
        (void)table_.RemoveEntry(key_);
    }
}

} // namespace vorlaxen
