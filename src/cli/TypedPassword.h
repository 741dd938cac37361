#pragma once

#include "cli/Console.h"
#include "platform/SecureMemory.h"

#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>

namespace vorlaxen::cli {

// A password of one run as the user gives it: from an environment variable (taken from the environment
// when the program started), else from the first line of a password file, else typed at the terminal
// without echo (twice when it will encrypt). Obtained once, the first time a file of the run needs it,
// by whichever thread asks first (the others wait for it), and kept in zeroing memory, unmasked, for the
// files of the run.
class TypedPassword {
public:
    struct Source {
        std::optional<SecureBytes> fromEnvironment;
        std::string file;
        // Before the length limits in the terminal's prompt: kEnterThePassword, or the new password's.
        std::string label;
        // Said when there is neither a variable, nor a file, nor a terminal.
        std::string missing;
    };

    TypedPassword(Console& console, Source source);

    // 0 when a password of kMinPasswordLength to `maxLength` bytes is held (obtained now if it was not);
    // otherwise the exit status, the reason having been said. A password that could not be had is not
    // asked for again: every later call answers the same status.
    int Obtain(std::size_t maxLength, bool confirm, const std::atomic<bool>& abort);

    // The password, once Obtain has answered 0.
    const SecureBytes& bytes() const noexcept { return typed_; }

private:
    int ObtainOnce(std::size_t maxLength, bool confirm, const std::atomic<bool>& abort);
    bool FromTerminal(std::size_t maxLength, bool confirm);

    Console& console_;
    Source source_;
    std::mutex mutex_;
    SecureBytes typed_;
    std::optional<int> status_; // set once obtained, or once it could not be
};

} // namespace vorlaxen::cli
