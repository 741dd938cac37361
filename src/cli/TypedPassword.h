#pragma once

#include "platform/SecureMemory.h"

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

namespace vorlaxen::cli {

// The file password of one run, as the user gives it: from VORLAXEN_PASSWORD (taken from the
// environment when the program started), else from the first line of a password file, else typed at the
// terminal without echo (twice when it will encrypt). Kept in zeroing memory, unmasked, for the files of
// the run.
class TypedPassword {
public:
    explicit TypedPassword(std::optional<SecureBytes> fromEnvironment = std::nullopt)
        : fromEnvironment_(std::move(fromEnvironment)) {}

    // 0 when a password of kMinPasswordLength to `maxLength` bytes was obtained; otherwise the exit status,
    // the reason having been said.
    int Obtain(const std::string& passwordFile, std::size_t maxLength, bool confirm, const std::atomic<bool>& abort);

    bool held() const noexcept { return held_; }
    const SecureBytes& bytes() const noexcept { return typed_; }

private:
    bool FromTerminal(std::size_t maxLength, bool confirm);

    std::optional<SecureBytes> fromEnvironment_;
    SecureBytes typed_;
    bool held_ = false;
};

} // namespace vorlaxen::cli
