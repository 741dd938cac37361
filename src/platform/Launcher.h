#pragma once

#include <string>
#include <sys/types.h>

namespace vorlaxen {

// Hands a file to the application the desktop associates with its type, the stand-in for the shell's
// "open" verb. `workingDirectory` becomes the application's current directory when not empty. With
// `watch`, the process is left for the caller to wait for (ProcessRunning); otherwise the event loop
// reaps it. Returns the process id, or 0 when no application is associated or it could not be started.
pid_t OpenWithDefaultApplication(const std::string& path, const std::string& workingDirectory, bool watch);

// Whether a process that OpenWithDefaultApplication started with `watch` is still running; once it has
// ended this reaps it and answers false.
bool ProcessRunning(pid_t pid);

} // namespace vorlaxen
