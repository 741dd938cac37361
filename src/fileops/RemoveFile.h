#pragma once

#include <functional>
#include <string>

namespace vorlaxen {

// Removes one file: a plain file is wiped (falling back to an ordinary delete when the wipe fails before
// it has moved the file), a container is simply deleted. Shows "Wiping out the file %s ..." or
// "Deleting the file %s ..." and then "Idle." through `showStatus`; reports no error itself.
bool RemoveFile(const std::string& path, bool wipe, const std::function<void(const std::string&)>& showStatus = {});

} // namespace vorlaxen
