#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlaxen {

// How large a group of files may grow before it is made durable (SingleFileOperation::CompleteGroup). A
// group is completed once this much has been written for it (large files), else once as many files wait
// as may (small files), or when nothing more is to be written. Few large groups cost few flushes; and on
// a file system that avoids reusing the inodes of files deleted a moment ago, every output created after
// a group's sources were wiped has to be placed past them, so that many small groups cost far more than
// one large one.
inline constexpr std::uint64_t kGroupBytes = std::uint64_t{64} << 20;

// The companion completes a group of small files once this many wait and it is free to (and sooner only
// when nothing more is to be written), while its workers write the next files: a run of thousands of
// small files is made durable in a few groups whose flushes and wipes overlap the writing of the next,
// instead of in one group after all of them are written. A group completed while the next is written is
// larger when completing is slower (a disk whose flushes take long): the number of groups adapts.
inline constexpr std::size_t kGroupFiles = 256;

// As many files as may wait for their group with the descriptors the process may open: each holds two
// (its source under its lock and its output), and a third for a moment while it is wiped. With
// `raiseLimit`, the limit is raised first as far as the system lets the process raise it (a process
// that starts other programs, which inherit the limit, leaves it as it is).
std::size_t MostWaitingFiles(bool raiseLimit);

} // namespace vorlaxen
