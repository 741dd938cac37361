#include "passwords/KeyFilePassword.h"

#include <algorithm>

namespace vorlaxen {

KeyFilePassword::KeyFilePassword(TKX_PwdTable& table, TKX_Pwd& filePassword, std::string key)
    : table_(table)
    , pwd_(filePassword)
    , key_(std::move(key))
    , heldBytes_(filePassword.Password)
    , heldLength_(filePassword.PasswordLength) {
    found_ = table_.FindPassword(key_, TKX_PwdTable::Lookup::Read);
    inPlace_ = found_;
    if (found_) {
        // Copied before the engine cuts the length to its key: the entry is compared whole.
        const auto length = std::min(static_cast<std::size_t>(std::max(pwd_.PasswordLength, 0)), pwd_.Password.size());
        read_.assign(pwd_.Password.begin(), pwd_.Password.begin() + static_cast<std::ptrdiff_t>(length));
    }
}

KeyFilePassword::~KeyFilePassword() {
    RestoreHeldPassword();
}

void KeyFilePassword::RestoreHeldPassword() {
    if (!inPlace_)
        return;
    inPlace_ = false;
    pwd_.ClearPassword();
    pwd_.Password = std::move(heldBytes_);
    pwd_.PasswordLength = heldLength_;
    heldBytes_.clear();
}

void KeyFilePassword::NotDecrypted() {
    RestoreHeldPassword();
}

void KeyFilePassword::FileDecrypted() {
    RestoreHeldPassword();
    if (!found_ || removed_)
        return;
    removed_ = true;
    (void)table_.RemoveEntry(key_, read_);
}

} // namespace vorlaxen
