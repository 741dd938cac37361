#include "platform/FlushTogether.h"

#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

// After the flush of its file system, a file's data is on disk unless writing it failed: the wait
// reports such a failure for this file (its own error state, not the file system's), and costs nothing
// more when everything has been written.
bool WrittenWithoutError(FileCalls& calls, int fd, const struct stat& st) {
    if (!S_ISREG(st.st_mode))
        return true;
    return calls.SyncFileRange(
               fd, 0, 0, SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER) == 0;
}

} // namespace

void StartWriting(const std::vector<int>& fds, FileCalls& calls) {
    for (int fd : fds)
        (void)calls.SyncFileRange(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

std::vector<bool> FlushTogether(const std::vector<int>& fds, FileCalls& calls) {
    std::vector<bool> onDisk(fds.size(), false);
    std::vector<struct stat> looked(fds.size());
    std::vector<bool> seen(fds.size(), false);
    // The first descriptor of each file system flushes it; fds that cannot be looked at are flushed alone.
    std::map<dev_t, bool> flushed;
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (calls.Fstat(fds[i], &looked[i]) != 0)
            continue;
        seen[i] = true;
        auto [at, inserted] = flushed.emplace(looked[i].st_dev, false);
        if (inserted)
            at->second = calls.Syncfs(fds[i]) == 0;
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
        auto at = seen[i] ? flushed.find(looked[i].st_dev) : flushed.end();
        const bool fileSystemFlushed = at != flushed.end() && at->second;
        onDisk[i] = fileSystemFlushed ? WrittenWithoutError(calls, fds[i], looked[i]) : calls.Fsync(fds[i]) == 0;
    }
    return onDisk;
}

} // namespace vorlaxen
