#pragma once

#include "platform/SecureMemory.h"

#include <string>
#include <utility>
#include <vector>

namespace vorlaxen {

// One argument of the desktop program's command line. The password of "/pass:" or "/masterpass:" is kept
// apart from the switch, in zeroing memory.
struct ProgramArgument {
    std::string text;     // as given; for a password switch the switch alone ("/pass:", "--pass=")
    SecureBytes password; // the password of a password switch, as given (not masked)
};

// The switches of the command line. Each is written with a slash as given ("/open") or with two dashes
// ("--open", "--pass=..."), in any letter case; every other argument names a file, also one that begins
// with a slash, unless it is exactly one of the switches.
enum class Switch { File, Open, Print, Encrypt, Decrypt, Des, Idea, TripleDes, Pass, MasterPass, UseKeyFile };

Switch SwitchOf(const std::string& argument);

// "--version" as the only argument: the program prints its version and licence and ends without a window.
bool AsksForVersion(int argc, const char* const* argv);

// Takes the passwords out of the program's arguments before anything copies them (QApplication does):
// the bytes of every "/pass:" and "/masterpass:" password are copied, then overwritten with zeros where
// the process keeps its arguments, which is what /proc/PID/cmdline shows to every user.
class ArgumentPasswords {
public:
    static ArgumentPasswords Take(int argc, char** argv);

    // The arguments after the program's name as argv holds them now (a toolkit may have taken out
    // options of its own), each password switch with its password.
    std::vector<ProgramArgument> Arguments(int argc, char** argv);

private:
    std::vector<std::pair<const char*, SecureBytes>> taken_; // by the argument's own bytes
};

} // namespace vorlaxen
