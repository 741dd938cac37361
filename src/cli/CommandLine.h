#pragma once

#include <string>
#include <vector>

namespace vorlaxen::cli {

enum class Command { Help, Version, Encrypt, Decrypt, Verify, Info, Keys };

// What the command line asks for, or the reason it cannot be understood.
struct Request {
    Command command = Command::Help;
    int method = 1; // IDEA
    bool keep = false;
    bool force = false;
    std::string passwordFile;
    bool store = false;  // encrypt: keep each file's password in the key file
    std::string keyFile; // empty: the default key file
    std::vector<std::string> files;
    std::string error; // non-empty for a usage error
};

Request ParseCommandLine(const std::vector<std::string>& args);

// The text of --help, exit statuses included.
const char* HelpText();

// Exit statuses besides the magnitudes of the engine's result codes.
inline constexpr int kExitSkipped = 1;    // a target existed and was not replaced
inline constexpr int kExitNotRemoved = 5; // processed, but the source could not be removed
inline constexpr int kExitKeyFile = 6;    // the key file could not be used: no master password, unreadable,
                                          // or a password that could not be stored in it
inline constexpr int kExitUsage = 64;     // the command line, or the password given, is not usable

} // namespace vorlaxen::cli
