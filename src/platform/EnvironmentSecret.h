#pragma once

#include "platform/SecureMemory.h"

#include <optional>

namespace vorlaxen {

// Takes a secret (a password) out of the process's environment: copies the variable's value into zeroing
// memory, overwrites the value where the environment keeps it, so that /proc/PID/environ no longer shows
// it, and removes the variable, so that no program started from here inherits it. Empty when the
// variable is not set; an empty value is taken as such.
std::optional<SecureBytes> TakeEnvironmentSecret(const char* name);

} // namespace vorlaxen
