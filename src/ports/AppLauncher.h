#pragma once

#include "platform/Launcher.h"

#include <ctime>
#include <string>
#include <sys/types.h>

namespace vorlaxen {

// How a file is handed to its application: "open" (the default application of its type) or "print".
enum class LaunchVerb { Open, Print };

// Starting the application for a file and watching it, the stand-in for the shell's "open" and "print"
// verbs and the exit-code query: the program implements it over the desktop's associations, lp and
// /proc; the tests implement it with a fake or with the program's own over a desktop entry of theirs.
class AppLauncher {
public:
    virtual ~AppLauncher() = default;
    // Starts the application for `path` in `directory`. With `watch` the process is a child to Poll;
    // 0 when nothing could be started (no application for the type, no lp).
    virtual pid_t Launch(LaunchVerb verb, const std::string& path, const std::string& directory, bool watch) = 0;
    // Where a watched process stands; once it has ended, it is Succeeded or Failed by its exit status.
    virtual ChildStatus Poll(pid_t process) = 0;
    // Whether an application still works with the file: a process holds it open, or a lock file made or
    // changed since `since` names it.
    virtual bool InUse(const std::string& path, std::time_t since) = 0;
};

} // namespace vorlaxen
