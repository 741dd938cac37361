#include "platform/SystemFacts.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>

namespace vorlaxen {

SystemFacts ReadSystemFacts() {
    SystemFacts facts;
    struct utsname names {};
    if (::uname(&names) == 0) {
        facts.systemName = names.sysname;
        facts.release = names.release;
    }
    struct sysinfo info {};
    if (::sysinfo(&info) == 0)
        facts.totalMemory = static_cast<std::uint64_t>(info.totalram) * (info.mem_unit ? info.mem_unit : 1);
    return facts;
}

} // namespace vorlaxen
