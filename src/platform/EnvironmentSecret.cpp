#include "platform/EnvironmentSecret.h"

#include <cstdlib>
#include <cstring>

namespace vorlaxen {

std::optional<SecureBytes> TakeEnvironmentSecret(const char* name) {
    char* value = std::getenv(name);
    if (!value)
        return std::nullopt;
    const std::size_t length = std::strlen(value);
    SecureBytes copy(value, value + length);
    SecureZero(value, length);
    ::unsetenv(name);
    return copy;
}

} // namespace vorlaxen
