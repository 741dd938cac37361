#pragma once

#include "engine/ResultCode.h"
#include "platform/FileCalls.h"
#include "platform/SourceFile.h"

#include <string>

namespace vorlaxen {

// What became of a file that was to be wiped or deleted.
enum class Removal {
    Removed,        // gone (a plain file overwritten first)
    Missing,        // there is no file of that name
    NotRegular,     // a symbolic link, a named pipe, a device, a socket or a directory: left alone
    InUse,          // another operation holds its lock: left alone
    Changed,        // no longer the file the caller held: left alone
    NotOverwritten, // it could not be overwritten: left under its own name, never passed off as wiped
    NotRemoved,     // overwritten (when wiped) but its name could not be removed
};

struct RemovalOptions {
    // The file must be this one, with this size and modification time; the caller holds its lock.
    const FileIdentity* expected = nullptr;
    // Whether to take the file's exclusive lock first; off when the caller already holds it.
    bool lock = true;
    // Whether the wipe moves the file to "~~~~~~~~.~~~" and then to "~" before truncating it, so that its
    // name is gone too; off for temporaries of ours, whose names tell nothing.
    bool hideName = true;
    // The system calls, for a test that records or fails them.
    FileCalls* calls = nullptr;
};

// Destroys a plain file: owner read and write added, overwritten once with pseudo-random bytes from a
// 1024-byte buffer (whose first 16 bytes are a fixed mark, so that what an interrupted wipe leaves can be
// told from a plain file) and flushed to disk; only then renamed to "~~~~~~~~.~~~" and to "~" in its own
// directory (a rename that would replace a file of that name is skipped: no other file is ever
// replaced), truncated to zero and deleted. A crash at any moment leaves either the untouched file under
// its own name or overwritten bytes. Never follows a symbolic link, never opens a named pipe in a way
// that waits. Shows no message.
Removal WipeFileAt(const std::string& path, const RemovalOptions& options = {});

// A wipe cut in two, for a group of files whose passes reach the disk together, with one flush for all of
// them instead of one each: StartWipe writes the pass over the file without flushing it and keeps the
// file open here; once the caller has brought the pass to disk (FlushTogether over `fd()`), FinishWipe
// renames, truncates and deletes it. Until then the file keeps its name, and a wipe that is never
// finished leaves it there with its permissions back.
class WipeInProgress {
public:
    WipeInProgress() = default;
    ~WipeInProgress();
    WipeInProgress(const WipeInProgress&) = delete;
    WipeInProgress& operator=(const WipeInProgress&) = delete;

    int fd() const noexcept { return fd_; }
    off_t size() const noexcept { return size_; }

private:
    friend Removal StartWipe(const std::string& path, const RemovalOptions& options, WipeInProgress& wipe);
    friend Removal FinishWipe(WipeInProgress& wipe, bool passOnDisk);

    std::string path_;
    RemovalOptions options_;
    int fd_ = -1;
    int mode_ = 0;
    off_t size_ = 0;
};

// The first half: the file looked at, opened and checked as WipeFileAt does, and overwritten; Removed
// when the pass is written and waits in `wipe` for its flush, else why the file was left alone.
Removal StartWipe(const std::string& path, const RemovalOptions& options, WipeInProgress& wipe);
// The second half, once the pass is on disk (`passOnDisk`); a pass that did not reach the disk leaves
// the file under its own name (NotOverwritten).
Removal FinishWipe(WipeInProgress& wipe, bool passOnDisk);

// Whether an open file starts as the wipe's pass leaves a file: what remains of a plain file whose wipe
// was interrupted (by a crash) after its container was complete. Encrypting it again would replace that
// container, the only copy of the data, with the encryption of overwritten bytes.
bool IsInterruptedWipe(int fd);

// The wipe as a result code: Ok when the file was wiped and deleted, CannotOpen (-2) when any step
// failed or the file was left alone; WipeFileAt says why.
ResultCode WipeFile(const std::string& path);

// The wipe's pass over an open file from its start, to its current size, flushed to disk: for an output
// that may hold plain data and is about to be removed. True when every byte was overwritten.
bool OverwriteOpenFile(int fd, FileCalls& calls = SystemFileCalls());

// Deletes a file without overwriting it (a container): a regular file only, under its lock.
Removal DeleteFileAt(const std::string& path, const RemovalOptions& options = {});

} // namespace vorlaxen
