#include "cli/EnvironmentPasswords.h"

#include "platform/EnvironmentSecret.h"

namespace vorlaxen::cli {

EnvironmentPasswords EnvironmentPasswords::Take() {
    EnvironmentPasswords taken;
    taken.filePassword = TakeEnvironmentSecret("VORLAXEN_PASSWORD");
    taken.newPassword = TakeEnvironmentSecret("VORLAXEN_NEW_PASSWORD");
    taken.master = TakeEnvironmentSecret("VORLAXEN_MASTER_PASSWORD");
    if (taken.master && taken.master->empty())
        taken.master.reset();
    return taken;
}

} // namespace vorlaxen::cli
