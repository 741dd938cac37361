#pragma once

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/KeyFileAccess.h"
#include "cli/TypedPassword.h"
#include "platform/SecureMemory.h"

#include <atomic>
#include <cstddef>
#include <optional>

namespace vorlaxen::cli {

// `rekey`: each container gets a new password, and with --method a new method, one file after the
// other, through the single-file operation's re-keying (FileTask). The current password is looked for as
// decryption looks for it (the key file's entry, else the password given for the run) and must open the
// container before the new password is asked for; the new one comes from VORLAXEN_NEW_PASSWORD,
// --new-password-file or the terminal (twice), once for the run, within the limits of every method it
// will be given to.
class RekeyRun {
public:
    RekeyRun(const Request& request,
             const std::atomic<bool>& abort,
             Console& console,
             TypedPassword& current,
             std::optional<SecureBytes> newFromEnvironment,
             KeyFileAccess& keyFile);
    int Run();

private:
    std::size_t NewPasswordLimit() const;

    const Request& request_;
    const std::atomic<bool>& abort_;
    Console& console_;
    TypedPassword& current_;
    TypedPassword new_;
    KeyFileAccess& keyFile_;
};

} // namespace vorlaxen::cli
