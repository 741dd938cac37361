#include "platform/DebugLog.h"

#include "platform/FileSystem.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace vorlaxen {

bool DebugLogOn() noexcept {
    const char* value = std::getenv("VORLAXEN_DEBUG");
    return value && *value;
}

void DebugLog(std::string_view line) noexcept {
    if (!DebugLogOn())
        return;
    try {
        std::string text = "vorlaxen: ";
        text += line;
        text += '\n';
        (void)WriteFully(STDERR_FILENO, text.data(), text.size());
    } catch (...) {
        // Without memory for the line there is nothing to say it with.
    }
}

} // namespace vorlaxen
