#pragma once

namespace vorlaxen {

// A place in a file operation where a crash would leave the disk in a state of its own (an output half
// written, a name linked, a wipe half done). The tests of crash consistency name one such place in the
// environment variable VORLAXEN_TEST_CRASH_AT ("name" or "name:N" for its N-th passage in the process);
// when the program passes it, it kills itself with SIGKILL, exactly as a power cut or kill -9 would stop
// it there. Without the variable, a passage costs one comparison.
void CrashPoint(const char* name) noexcept;

} // namespace vorlaxen
