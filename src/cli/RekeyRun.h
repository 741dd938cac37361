#pragma once

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/KeyFileAccess.h"
#include "cli/TypedPassword.h"
#include "engine/TKX_Pwd.h"
#include "platform/FileCalls.h"
#include "platform/SecureMemory.h"

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

namespace vorlaxen::cli {

// `rekey`: each container gets a new password, and with --method a new method, one file after the
// other. The current password is looked for as decryption looks for it (the key file's entry, else the
// password given for the run) and must open the container before the new password is asked for; the new
// one comes from VORLAXEN_NEW_PASSWORD, --new-password-file or the terminal (twice), once for the run,
// within the limits of every method it will be given to. The new container is written beside the old one
// without a name, flushed, read back from the disk and verified under the new password, and only then
// put in the old one's place, with its permissions; the old container stays exactly as it was on every
// failure. A key-file entry for the file then holds the new password. The new container's flush goes
// through `calls`, so that a test can make the disk give back other bytes than were written.
class RekeyRun {
public:
    RekeyRun(const Request& request,
             const std::atomic<bool>& abort,
             Console& console,
             TypedPassword& current,
             std::optional<SecureBytes> newFromEnvironment,
             KeyFileAccess& keyFile,
             FileCalls& calls = SystemFileCalls());
    int Run();

private:
    int RekeyOne(const std::string& file);
    int Report(ResultCode code, const std::string& file);
    std::size_t NewPasswordLimit() const;
    void SetHooks(TKX_Pwd& pwd);

    const Request& request_;
    const std::atomic<bool>& abort_;
    Console& console_;
    TypedPassword& current_;
    TypedPassword new_;
    KeyFileAccess& keyFile_;
    FileCalls& calls_;
    std::uint64_t counted_ = 0;
};

} // namespace vorlaxen::cli
