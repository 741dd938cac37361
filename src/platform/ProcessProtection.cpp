#include "platform/ProcessProtection.h"

#include "platform/DebugLog.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace vorlaxen {

bool ProtectProcessMemory() noexcept {
    const rlimit none{0, 0};
    const bool noCoreFile = ::setrlimit(RLIMIT_CORE, &none) == 0;
    if (!noCoreFile)
        DebugLog("the core-file limit could not be set to 0");
    const bool notDumpable = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
    if (!notDumpable)
        DebugLog("the process could not be made non-dumpable");
    return noCoreFile && notDumpable;
}

} // namespace vorlaxen
