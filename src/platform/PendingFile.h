#pragma once

#include "platform/FileSystem.h"

#include <functional>
#include <string>

namespace vorlaxen {

// An output that reaches its target only when it is complete. It is written under a temporary name in
// the target's directory (readable by the owner only), flushed to disk, and renamed onto the target on
// commit, so that at every moment either the old target or the complete new file is on disk. Unless it
// is committed, it is removed when it goes away.
class PendingFile {
public:
    enum class Commit { Done, FlushFailed, RenameFailed };
    using Remover = std::function<int(const std::string&)>;

    explicit PendingFile(std::string target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Creates the temporary file; false when the directory does not allow it.
    bool create();
    int fd() const noexcept { return fd_.get(); }
    const std::string& target() const noexcept { return target_; }
    const std::string& temporaryPath() const noexcept { return tempPath_; }

    // Asks the system to start writing what has been written so far, so that the flush at commit finds
    // little left to do. Cheap to call often: it acts every few megabytes.
    void startWriteback(off_t written) noexcept;

    // Flushes, closes and renames onto the target (replacing it), then flushes the directory.
    Commit commit();

    // Closes and removes the temporary file. `remover` (a wipe, for plain data) is tried first; when it
    // is absent or fails, the file is unlinked.
    void discard(const Remover& remover = {});

private:
    std::string target_;
    std::string tempPath_;
    UniqueFd fd_;
    off_t writebackStarted_ = 0;
    bool finished_ = false;
};

} // namespace vorlaxen
