#include "fileops/StaleTemporaries.h"

#include "fileops/MakePath.h"
#include "fileops/WipeFile.h"
#include "platform/FileSystem.h"
#include "platform/PendingFile.h"

#include <map>
#include <mutex>
#include <vector>

namespace vorlaxen {

std::size_t RemoveStaleTemporaries(const std::string& directory) {
    std::vector<std::string> candidates;
    {
        const UniqueDir dir = OpenDirectory(directory);
        if (!dir)
            return 0;
        while (const dirent* entry = ::readdir(dir.get()))
            if (IsTemporaryName(entry->d_name))
                candidates.emplace_back(entry->d_name);
    }
    std::size_t removed = 0;
    for (const std::string& name : candidates) {
        // One that a running operation holds is locked and stays.
        RemovalOptions options;
        options.hideName = false;
        if (WipeFileAt(MakePath(directory, name), options) == Removal::Removed)
            ++removed;
    }
    return removed;
}

void TidyBeforeOutput(const std::string& directory) {
    // Whether a directory takes unnamed files is asked once per directory: the question creates one.
    static std::mutex mutex;
    static std::map<std::string, bool> unnamedIn;
    bool unnamed = false;
    bool first = false;
    {
        std::lock_guard<std::mutex> guard(mutex);
        auto at = unnamedIn.find(directory);
        if (at != unnamedIn.end()) {
            unnamed = at->second;
        } else {
            first = true;
        }
    }
    if (first) {
        unnamed = UnnamedFilesIn(directory);
        std::lock_guard<std::mutex> guard(mutex);
        first = unnamedIn.emplace(directory, unnamed).second;
    }
    if (!unnamed || first)
        RemoveStaleTemporaries(directory);
}

} // namespace vorlaxen
