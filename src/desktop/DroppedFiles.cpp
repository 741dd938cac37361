#include "desktop/DroppedFiles.h"

#include "engine/ContainerName.h"
#include "platform/FileSystem.h"

#include <algorithm>

namespace vorlaxen {

std::vector<DroppedRun> PlanDrop(const std::vector<std::string>& paths, std::optional<Pane> pane) {
    std::vector<DroppedRun> runs;
    for (const std::string& path : paths) {
        const std::string name = FileNameOf(path);
        if (name.empty() || path.front() != '/' || IsDirectory(path))
            continue;
        const Direction direction = HasContainerExtension(name) ? Direction::Decrypt : Direction::Encrypt;
        // A plain file belongs on "Crypted files", where its container goes, and a container on
        // "Available for encryption".
        if (pane && *pane != (direction == Direction::Encrypt ? Pane::Crypted : Pane::Source))
            continue;
        const std::string directory = DirectoryOf(path);
        auto run = std::find_if(runs.begin(), runs.end(), [&](const DroppedRun& r) {
            return r.direction == direction && r.directory == directory;
        });
        if (run == runs.end())
            run = runs.insert(runs.end(), {direction, directory, {}});
        run->names.push_back(name);
    }
    return runs;
}

} // namespace vorlaxen
