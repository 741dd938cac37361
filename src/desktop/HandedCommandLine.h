#pragma once

#include "desktop/ProgramArguments.h"
#include "platform/SecureMemory.h"

#include <optional>
#include <string>
#include <vector>

namespace vorlaxen {

// A start's command line as the running window takes it over: the arguments (each password switch with its
// password), the password of VORLAXEN_PASSWORD, and the directory the start was made in, from which its
// relative file names are taken.
struct HandedCommandLine {
    std::string currentDirectory;
    std::vector<ProgramArgument> arguments;
    std::optional<SecureBytes> environmentPassword;
};

// The command line as one message between the two processes, in zeroing memory since it may hold
// passwords: "VXCL", a version byte, then records of a tag byte, a 4-byte little-endian length and the
// bytes: 'D' the directory (first and once), 'A' an argument, 'P' the password of the argument before it,
// 'E' the environment's password (at most once).
SecureBytes EncodeCommandLine(const HandedCommandLine& commandLine);
// Empty when the message is not such a command line.
std::optional<HandedCommandLine> DecodeCommandLine(const SecureBytes& message);

} // namespace vorlaxen
