#pragma once

#include "engine/TKX_Pwd.h"
#include "passwords/TKX_PwdTable.h"
#include "platform/SecureMemory.h"

#include <cstdint>
#include <string>

namespace vorlaxen {

// A password taken from the key file for the decryption of one file. Taking it removes the entry from
// the key file and puts the password into the file password object in place of the one held there (a
// list or session password), which comes back as soon as the key file's password has been tried: it
// serves its own file only. Unless the file was decrypted, the entry goes back into the key file (when
// the decryption with it fails, or at the latest when this goes away), so that a container never
// outlives the only stored copy of its password; and an entry put back because it did not open its file
// (a stale entry, from a table older than the container) is removed once the file has been decrypted
// with another password.
class KeyFilePassword {
public:
    // Looks the file up in the key file (FindPassword): asks for the master password when none is held.
    KeyFilePassword(TKX_PwdTable& table, TKX_Pwd& filePassword, std::string key);
    ~KeyFilePassword();
    KeyFilePassword(const KeyFilePassword&) = delete;
    KeyFilePassword& operator=(const KeyFilePassword&) = delete;

    // The key file held a password for the file, and the file password object holds it now.
    bool Found() const noexcept { return found_; }

    // The decryption with the key file's password failed: the entry goes back now, the held password
    // returns. False when it could not be put back (reported).
    bool PutBack();
    // The file has been decrypted, with the key file's password or another: its entry is gone for good.
    void FileDecrypted();

private:
    void RestoreHeldPassword();

    TKX_PwdTable& table_;
    TKX_Pwd& pwd_;
    std::string key_;
    SecureBytes heldBytes_;
    std::int32_t heldLength_ = 0;
    bool found_ = false;
    bool taken_ = false;   // the entry is out of the key file, its password in the file password object
    bool putBack_ = false; // the entry was put back after it failed
};

} // namespace vorlaxen
