#pragma once

#include "engine/CipherMethod.h"

#include <string>
#include <vector>

namespace vorlaxen::cli {

enum class Command { Help, Version, Encrypt, Decrypt, Verify, Info, Keys, Rekey, Cat };

// What the command line asks for, or the reason it cannot be understood.
struct Request {
    Command command = Command::Help;
    CipherMethod method = CipherMethod::Idea;
    bool methodGiven = false; // rekey: without --method each container keeps its own
    bool keep = false;
    bool force = false;
    std::string passwordFile;
    bool store = false;          // encrypt: keep each file's password in the key file
    std::string keyFile;         // empty: the default key file
    std::string newPasswordFile; // rekey
    bool recursive = false;      // encrypt, decrypt: directories are walked
    unsigned jobs = 0;           // encrypt, decrypt: files at once; 0 is one per processor available
    std::string output;          // encrypt, decrypt: -o, the output's path; "-" is standard output
    bool standardInput = false;  // "-" was named before any "--": the one file is standard input
    std::vector<std::string> files;
    std::string error; // non-empty for a usage error
};

Request ParseCommandLine(const std::vector<std::string>& args);

// The text of --help, exit statuses included.
const std::string& HelpText();

// The most files a run processes at once.
inline constexpr unsigned kMaxJobs = 256;

// Exit statuses besides the magnitudes of the engine's result codes.
inline constexpr int kExitSkipped = 1;    // a target existed and was not replaced
inline constexpr int kExitNotRemoved = 5; // processed, but the source could not be removed
inline constexpr int kExitKeyFile = 6;    // the key file could not be used: no master password, unreadable,
                                          // or a password that could not be stored in it
inline constexpr int kExitUsage = 64;     // the command line, or the password given, is not usable

} // namespace vorlaxen::cli
