#pragma once

#include "platform/FileSystem.h"
#include "platform/SecureMemory.h"

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

    // Appends through a buffer of a few hundred kilobytes, so that the system sees large writes (many
    // small ones cost it far more than the copying); the buffer may hold plain data and is zeroed when
    // released. False when a write fails.
    bool write(const void* data, std::size_t n);
    // Writes at an offset already passed, after what is buffered.
    bool writeAt(const void* data, std::size_t n, off_t offset);
    // Hands what is buffered to the system.
    bool flush();
    const std::string& target() const noexcept { return target_; }
    const std::string& temporaryPath() const noexcept { return tempPath_; }

    // Flushes what is buffered and the file to disk, closes and renames onto the target (replacing it), then flushes
    // the directory.
    Commit commit();

    // Closes and removes the temporary file. `remover` (a wipe, for plain data) is tried first; when it
    // is absent or fails, the file is unlinked.
    void discard(const Remover& remover = {});

private:
    std::string target_;
    std::string tempPath_;
    UniqueFd fd_;
    SecureBuffer buffer_;
    std::size_t buffered_ = 0;
    off_t handedOver_ = 0;       // bytes given to the system so far
    off_t writebackStarted_ = 0; // bytes whose writing to disk has been started
    bool finished_ = false;
};

} // namespace vorlaxen
