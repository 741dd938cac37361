#pragma once

#include "platform/FileSystem.h"

#include <map>
#include <string>
#include <vector>

namespace vorlaxen {

// Reports the files that are written in a few directories: inotify on each directory rather than on a
// file, because an application that saves by writing a new file and renaming it over the old one
// replaces the file being watched. A file counts as written when a writer closes it or when it is
// renamed into place. The descriptor becomes readable when there is something to take.
class DirectoryWatch {
public:
    DirectoryWatch();
    DirectoryWatch(const DirectoryWatch&) = delete;
    DirectoryWatch& operator=(const DirectoryWatch&) = delete;

    // -1 when inotify is not available; nothing is then reported.
    int fd() const noexcept { return fd_.get(); }
    // Adds a directory; watching one twice is watching it once. False when it cannot be watched.
    bool Watch(const std::string& directory);
    // The full paths of the files written since the last call, each once, in the order first seen.
    std::vector<std::string> TakeWritten();

private:
    UniqueFd fd_;
    std::map<int, std::string> directories_; // by watch descriptor
};

} // namespace vorlaxen
