#pragma once

#include <ctime>
#include <string>

namespace vorlaxen {

// Whether an application still works with a file, seen from outside: a process holds it open, or an
// application's lock file names it.

// Some process other than this one has a descriptor on the file (the same device and inode) under
// /proc/PID/fd. Only the processes that may be looked into are seen, which are the user's own.
bool HeldOpenByAnotherProcess(const std::string& path);

// A lock file beside the file names it and was made or changed at or after `since`: LibreOffice's
// ".~lock.NAME#", vim's ".NAME.swp", Emacs's ".#NAME". An older one was left behind by an application
// that ended without removing it, before the file was there to be worked on.
bool LockFileNames(const std::string& path, std::time_t since);

} // namespace vorlaxen
