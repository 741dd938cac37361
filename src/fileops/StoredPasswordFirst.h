#pragma once

#include "fileops/SingleFileOperation.h"
#include "passwords/KeyFilePassword.h"

#include <functional>
#include <optional>

namespace vorlaxen {

// One try of a decryption or re-keying under the rule below.
struct PasswordTry {
    bool second = false;        // the try with the password given, after the key file's did not open the file
    bool replaceAgreed = false; // second: replacing an existing target was allowed or agreed to at the first
};

// How a decryption or a re-keying takes a file's password from the key file, in the window and in the
// companion alike. The first try runs with the key file's password where the key file holds one for the
// file, a wrong password unreported; `stored` tells, after that try (which may have looked it up itself),
// which key-file password it used (null or not found: none). A try with it that does not write the file
// leaves the entry as it is. When it did not open the file, `takeGiven` puts the password given in its
// place (false: there is none, and the first try's outcome stands), and `attempt` runs once more, now
// reporting a wrong password and not asking again about a target the first try was allowed to replace.
// Returns the last try's outcome; nothing when the file waits for its group (a grouped first try).
std::optional<SingleFileOutcome>
TryStoredPasswordFirst(const std::function<std::optional<SingleFileOutcome>(const PasswordTry&)>& attempt,
                       const std::function<KeyFilePassword*()>& stored,
                       const std::function<bool()>& takeGiven);

} // namespace vorlaxen
