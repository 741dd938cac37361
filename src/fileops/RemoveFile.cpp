#include "fileops/RemoveFile.h"

#include "fileops/WipeFile.h"
#include "platform/FileSystem.h"

#include <unistd.h>

namespace vorlaxen {

bool RemoveFile(const std::string& path, bool wipe, const std::function<void(const std::string&)>& showStatus) {
    auto show = [&showStatus](const std::string& text) {
        if (showStatus)
            showStatus(text);
    };
    bool removed;
    if (wipe) {
        show("Wiping out the file " + path + " ...");
        removed = WipeFile(path) == 0 || ::unlink(path.c_str()) == 0;
    } else {
        show("Deleting the file " + path + " ...");
        MakeOwnerReadWrite(path);
        removed = ::unlink(path.c_str()) == 0;
    }
    show("Idle.");
    return removed;
}

} // namespace vorlaxen
