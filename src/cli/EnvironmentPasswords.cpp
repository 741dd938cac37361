#include "cli/EnvironmentPasswords.h"

#include <cstdlib>
#include <cstring>

namespace vorlaxen::cli {

namespace {

std::optional<SecureBytes> TakeVariable(const char* name) {
    char* value = std::getenv(name);
    if (!value)
        return std::nullopt;
    const std::size_t length = std::strlen(value);
    SecureBytes copy(value, value + length);
    SecureZero(value, length);
    return copy;
}

} // namespace

EnvironmentPasswords EnvironmentPasswords::Take() {
    EnvironmentPasswords taken;
    taken.filePassword = TakeVariable("VORLAXEN_PASSWORD");
    taken.newPassword = TakeVariable("VORLAXEN_NEW_PASSWORD");
    taken.master = TakeVariable("VORLAXEN_MASTER_PASSWORD");
    if (taken.master && taken.master->empty())
        taken.master.reset();
    return taken;
}

} // namespace vorlaxen::cli
