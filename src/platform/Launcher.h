#pragma once

#include <string>
#include <sys/types.h>

namespace vorlaxen {

// Hands a file to the application the desktop associates with its type, the stand-in for the shell's
// "open" verb. The application is started from its own command line (the Exec line of its desktop
// entry, in a terminal when the entry asks for one) as a child of this process, never through D-Bus
// activation or a launcher service, so that its process id is known. `workingDirectory` becomes the
// application's current directory when not empty. With `watch`, the process is left for the caller to
// wait for (PollChild); otherwise the event loop reaps it. Returns the process id, or 0 when no
// application is associated or it could not be started.
pid_t OpenWithDefaultApplication(const std::string& path, const std::string& workingDirectory, bool watch);

// The program's own entry in every file manager's "Open With", which hands a file to the program; it never
// counts as a file's application.
inline constexpr const char* kOwnOpenWithEntry = "vorlaxen-send-to.desktop";

// The stand-in for the shell's "print" verb: `lp FILE`, the printing system's command, in
// `workingDirectory`; with `watch` as a child to wait for (PollChild). Returns its process id (without
// `watch`, a non-zero value that stands for it), or 0 when lp could not be started (not installed).
pid_t PrintWithLp(const std::string& path, const std::string& workingDirectory, bool watch);

enum class ChildStatus {
    Running,
    Succeeded, // ended with exit status 0
    Failed,    // ended with another status, or by a signal, or it is not our child
};

// Where a child started with `watch` (or by PrintWithLp) stands; once it has ended this reaps it, and
// later calls answer Failed.
ChildStatus PollChild(pid_t pid);

} // namespace vorlaxen
