#pragma once

namespace vorlaxen {

// Closes the process's memory to everyone but itself for the rest of its run, before it reads any secret:
// it writes no core file when it crashes (its core-file limit is set to 0, the hard limit too, so that
// nothing it starts or loads can raise it again), and it is no longer dumpable, so that no debugger or
// other process of the same user may attach to it or read its memory (/proc/PID/mem, ptrace), and a
// crash reporter that collects dumps through a pipe gets none of it. The process still sees itself under
// /proc/self. True when both took effect; what failed is said in the debug log.
bool ProtectProcessMemory() noexcept;

} // namespace vorlaxen
