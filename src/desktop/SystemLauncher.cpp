#include "desktop/SystemLauncher.h"

#include "platform/FileInUse.h"

namespace vorlaxen {

pid_t SystemLauncher::Launch(LaunchVerb verb, const std::string& path, const std::string& directory, bool watch) {
    if (verb == LaunchVerb::Print)
        return PrintWithLp(path, directory, watch);
    return OpenWithDefaultApplication(path, directory, watch);
}

ChildStatus SystemLauncher::Poll(pid_t process) {
    return PollChild(process);
}

bool SystemLauncher::InUse(const std::string& path, std::time_t since) {
    return LockFileNames(path, since) || HeldOpenByAnotherProcess(path);
}

} // namespace vorlaxen
