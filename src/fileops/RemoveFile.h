#pragma once

#include "fileops/WipeFile.h"

#include <functional>
#include <string>

namespace vorlaxen {

using StatusText = std::function<void(const std::string&)>;

// Removes one regular file: a plain file is wiped, a container is simply deleted. Shows "Wiping out the
// file %s ..." or "Deleting the file %s ..." and then kIdle through `showStatus`; reports no error
// itself. A plain file that could not be overwritten is left in place, never deleted unwiped.
Removal
RemoveFileAt(const std::string& path, bool wipe, const StatusText& showStatus = {}, const RemovalOptions& options = {});

// The same, answering only whether the file is gone.
bool RemoveFile(const std::string& path, bool wipe, const StatusText& showStatus = {});

} // namespace vorlaxen
