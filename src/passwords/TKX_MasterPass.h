#pragma once

#include "engine/TKX_Pwd.h"

#include <cstdint>
#include <string>

namespace vorlaxen {

// The master password that unlocks the key file, held masked like every password, with its expiry state
// (the inherited fields) and the two key-file settings. The password table owns the one instance.
class TKX_MasterPass : public TKX_Pwd {
public:
    // The IDEA key of the key file holds 16 bytes; a longer master password (possible only from a
    // command line) is used as its first 16 bytes.
    static constexpr std::int32_t kMaxLength = 16;

    bool UseKeyFile = false; // passwords are stored on disk (setting "Store")
    std::string KeyFilePath; // the key file (setting "Dir"); empty means the default key file

    // The key file in use: KeyFilePath, or the default key file when it is empty (as it is installed).
    std::string KeyFile() const;

    // Cuts PasswordLength to 16 in the object itself, fills the 16 key bytes from the masked master
    // password and returns the key check: the low 16 bits of the checksum over the first PasswordLength
    // key bytes.
    std::uint16_t MakeKeyFileKey(std::uint8_t key[16]);
};

// The default key file: xwords.001 in the user's home directory ($HOME, else the password database's
// entry), as a full path; "" when there is no home directory, which makes every key-file access fail.
std::string DefaultKeyFilePath();

} // namespace vorlaxen
