#pragma once

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/EnvironmentPasswords.h"
#include "cli/FileRun.h"
#include "cli/KeyFileAccess.h"
#include "cli/TypedPassword.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace vorlaxen::cli {

// One run of vorlaxen-cli: obtains the password (when decrypting, only for the first file whose
// password the key file does not hold), gathers the files (walking the directories named with -r),
// processes them, reports each failure with the program's own message and goes on, and answers the exit
// status. Encryption and decryption go through the single-file operation that the window uses too, up to
// -j files at once (FileRun); rekey through RekeyRun.
class CliSession {
public:
    CliSession(Request request, std::atomic<bool>& abortFlag, EnvironmentPasswords environment = {});
    int Run();

private:
    int RunFiles();
    int RunToStandardOutput();
    std::vector<RunItem> CollectItems();
    void AddTree(const std::string& root, std::vector<RunItem>& items);
    int VerifyOne(const std::string& file);
    int InfoOne(const std::string& file);
    int ListKeys();

    Request request_;
    std::atomic<bool>& abort_;
    Console console_;
    TypedPassword password_;
    std::optional<SecureBytes> newPassword_;
    KeyFileAccess keyFile_;
};

} // namespace vorlaxen::cli
