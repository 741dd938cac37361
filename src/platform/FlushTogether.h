#pragma once

#include "platform/FileCalls.h"

#include <vector>

namespace vorlaxen {

// Brings several open files (or directories) to disk at the cost of one flush per file system instead of
// one per file: a flush of a file costs the disk a journal commit and a cache flush of its own, so a
// thousand small outputs flushed one by one take seconds where one flush of their file system takes
// milliseconds. Each file's own write errors are still looked at, without flushing it again.
//
// Answers, for each descriptor in order, whether what was written to it is on disk. Where the flush of
// a whole file system fails, the files on it are flushed one by one, so that each answer is its own.
std::vector<bool> FlushTogether(const std::vector<int>& fds, FileCalls& calls = SystemFileCalls());

// Starts writing what was written to these files to disk, without waiting: a FlushTogether a moment later
// finds little or nothing left to write.
void StartWriting(const std::vector<int>& fds, FileCalls& calls = SystemFileCalls());

} // namespace vorlaxen
