#pragma once

#include "platform/FileSystem.h"

#include <string>
#include <vector>

namespace vorlaxen {

// Reports what other programs change in one directory at a time (the one the panes show): files created,
// deleted, renamed, written or given other permissions. inotify on the directory; the descriptor becomes
// readable when there is something to take.
class DirectoryChanges {
public:
    struct Taken {
        // The names that changed, each once, in the order first seen.
        std::vector<std::string> names;
        // The kernel dropped events (its queue overflowed) or the directory itself went or moved: any
        // file may have changed.
        bool everything = false;
    };

    DirectoryChanges();
    DirectoryChanges(const DirectoryChanges&) = delete;
    DirectoryChanges& operator=(const DirectoryChanges&) = delete;

    // -1 when inotify is not available; nothing is then reported.
    int fd() const noexcept { return fd_.get(); }
    // Watches `directory` instead of the one before; what the earlier one reported and nobody took is
    // dropped. False when it cannot be watched (nothing is then reported).
    bool Follow(const std::string& directory);
    const std::string& directory() const { return directory_; }
    Taken Take();

private:
    UniqueFd fd_;
    int watch_ = -1;
    std::string directory_;
};

} // namespace vorlaxen
