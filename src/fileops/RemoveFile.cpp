#include "fileops/RemoveFile.h"

#include "engine/Messages.h"

namespace vorlaxen {

Removal RemoveFileAt(const std::string& path, bool wipe, const StatusText& showStatus, const RemovalOptions& options) {
    auto show = [&showStatus](const std::string& text) {
        if (showStatus)
            showStatus(text);
    };
    show((wipe ? "Wiping out the file " : "Deleting the file ") + path + " ...");
    const Removal removal = wipe ? WipeFileAt(path, options) : DeleteFileAt(path, options);
    show(kIdle);
    return removal;
}

bool RemoveFile(const std::string& path, bool wipe, const StatusText& showStatus) {
    return RemoveFileAt(path, wipe, showStatus) == Removal::Removed;
}

} // namespace vorlaxen
