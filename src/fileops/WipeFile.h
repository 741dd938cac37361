#pragma once

#include <string>

namespace vorlaxen {

// Destroys a plain file: owner read and write added, renamed to "~~~~~~~~.~~~" and then to "~" in its
// own directory (never replacing a file of those names), overwritten once with pseudo-random bytes from
// a 1024-byte buffer, flushed to disk, truncated to zero and deleted. 0 on success; -2 when any step
// fails, the file then being left under whatever name it has at that moment. Shows no message.
int WipeFile(const std::string& path);

} // namespace vorlaxen
