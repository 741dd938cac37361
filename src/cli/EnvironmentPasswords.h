#pragma once

#include "platform/SecureMemory.h"

#include <optional>

namespace vorlaxen::cli {

// The passwords that the environment may carry (VORLAXEN_PASSWORD, VORLAXEN_NEW_PASSWORD for rekey and
// VORLAXEN_MASTER_PASSWORD), taken
// once when the program starts: copied into zeroing memory and overwritten where the environment keeps
// them, so that /proc/PID/environ does not show them for the rest of the run, whether the run uses them
// or not.
struct EnvironmentPasswords {
    std::optional<SecureBytes> filePassword; // set, even when empty
    std::optional<SecureBytes> newPassword;  // set, even when empty
    std::optional<SecureBytes> master;       // set and not empty

    static EnvironmentPasswords Take();
};

} // namespace vorlaxen::cli
