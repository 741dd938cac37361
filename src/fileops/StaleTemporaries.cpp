#include "fileops/StaleTemporaries.h"

#include "fileops/MakePath.h"
#include "fileops/WipeFile.h"
#include "platform/FileSystem.h"
#include "platform/PendingFile.h"

#include <mutex>
#include <set>
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
    if (!UnnamedFilesIn(directory)) {
        RemoveStaleTemporaries(directory);
        return;
    }
    static std::mutex mutex;
    static std::set<std::string> tidied;
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (!tidied.insert(directory).second)
            return;
    }
    RemoveStaleTemporaries(directory);
}

} // namespace vorlaxen
