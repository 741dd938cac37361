#pragma once

#include "engine/TKX_Pwd.h"
#include "passwords/TKX_PwdTable.h"
#include "platform/SecureMemory.h"

#include <cstdint>
#include <string>

namespace vorlaxen {

// A password from the key file for the decryption of one file. It is read, not taken: the entry stays in
// the key file until the file has been decrypted, so that a decryption that fails, is declined, stopped
// or cut short by the end of the process (even a crash or a kill) never loses the only stored copy of a
// container's password, and a container kept after its decryption keeps its entry. The password goes
// into the file password object in place of the one held there (a list or session password), which comes
// back as soon as the key file's password has been tried: it serves its own file only.
class KeyFilePassword {
public:
    // Looks the file up in the key file (FindPassword, reading): asks for the master password when none
    // is held.
    KeyFilePassword(TKX_PwdTable& table, TKX_Pwd& filePassword, std::string key);
    ~KeyFilePassword();
    KeyFilePassword(const KeyFilePassword&) = delete;
    KeyFilePassword& operator=(const KeyFilePassword&) = delete;

    // The key file held a password for the file, and the file password object holds it now.
    bool Found() const noexcept { return found_; }

    // The decryption with the key file's password did not write the file: the held password returns; the
    // entry stays in the key file as it is.
    void NotDecrypted();
    // The file has been decrypted, with the key file's password or another, and its container is gone:
    // the entry goes, unless it no longer holds the password read (a newer container's password, stored
    // meanwhile, stays).
    void FileDecrypted();

private:
    void RestoreHeldPassword();

    TKX_PwdTable& table_;
    TKX_Pwd& pwd_;
    std::string key_;
    SecureBytes heldBytes_;
    std::int32_t heldLength_ = 0;
    SecureBytes read_; // the key file's password as read, masked
    bool found_ = false;
    bool inPlace_ = false; // the key file's password is in the file password object
    bool removed_ = false; // the entry has been removed after the decryption
};

} // namespace vorlaxen
