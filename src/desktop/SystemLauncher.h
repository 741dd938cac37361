#pragma once

#include "ports/AppLauncher.h"

namespace vorlaxen {

// The program's launcher: "open" starts the default application of the file's MIME type from its desktop
// entry's command line, "print" runs lp; a process holds a file when one of its descriptors leads to it,
// and the lock files of LibreOffice, vim and Emacs count as well.
class SystemLauncher : public AppLauncher {
public:
    pid_t Launch(LaunchVerb verb, const std::string& path, const std::string& directory, bool watch) override;
    ChildStatus Poll(pid_t process) override;
    bool InUse(const std::string& path, std::time_t since) override;
};

} // namespace vorlaxen
