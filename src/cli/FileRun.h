#pragma once

#include "cli/FileTask.h"
#include "cli/RunContext.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace vorlaxen::cli {

// One file of a run, in the order in which the files were named or met in a directory.
struct RunItem {
    std::string path;
    std::uint64_t size = 0;
    // Non-zero for an item already reported and not to be processed (a directory that could not be read).
    int presetStatus = 0;
};

// The number of processors the process may run on.
unsigned ProcessorsAvailable() noexcept;

// Encrypts or decrypts the files of a run, up to `jobs` of them at once, each on one thread with an
// engine object of its own. A file alone goes through the whole single-file sequence; the files of a run
// of several are written by the workers and made durable in groups (of a few large files, or of hundreds
// of small ones) while the workers go on writing the next ones: the calling thread commits a group while
// the one before it is finished on a thread of its own. Ctrl-C stops the files that run, and no file starts after it,
// after a password that could not be had, or after a file whose password could not be had. The run's status is that of
// its first failure in the order of the items.
class FileRun {
public:
    FileRun(RunContext& run, std::vector<RunItem> items, unsigned jobs);
    int Run();

private:
    void Work(bool inGroups);
    void Record(std::size_t index, int status);
    void CompleteGroups();
    bool GroupReady() const;

    RunContext& run_;
    std::vector<RunItem> items_;
    unsigned jobs_;
    std::vector<int> statuses_;
    std::size_t mostWaiting_;

    std::mutex mutex_;
    std::condition_variable roomMade_;   // workers wait here for room among the waiting files
    std::condition_variable groupReady_; // the completing thread waits here for a group
    std::size_t next_ = 0;
    std::deque<std::pair<std::size_t, std::unique_ptr<FileTask>>> written_; // waiting for their group
    std::uint64_t writtenBytes_ = 0;                                        // of the files in written_
    std::size_t waiting_ = 0; // written and not yet finished, in written_ or in the group being completed
    unsigned working_ = 0;
    bool stopped_ = false;
};

} // namespace vorlaxen::cli
