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

// As many files as may wait for their group with the descriptors the process may open: each holds two
// (its source under its lock and its output), and a third for a moment while it is wiped. With
// `raiseLimit`, the limit is raised first as far as the system lets the process raise it (a process
// that starts other programs, which inherit the limit, leaves it as it is).
std::size_t MostWaitingFiles(bool raiseLimit);

} // namespace vorlaxen
