#include "cli/TypedPassword.h"

#include "cli/CommandLine.h"
#include "engine/Messages.h"
#include "engine/ResultCode.h"
#include "passwords/PasswordRules.h"
#include "platform/FileSystem.h"
#include "platform/Terminal.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace vorlaxen::cli {

namespace {

void Say(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

bool ReadPasswordFile(const std::string& path, SecureBytes& password) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return false;
    password.clear();
    std::uint8_t byte = 0;
    for (;;) {
        ssize_t got = ::read(fd.get(), &byte, 1);
        if (got < 0)
            return false;
        if (got == 0 || byte == '\n')
            break;
        password.push_back(byte);
    }
    byte = 0;
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    return true;
}

} // namespace

int TypedPassword::Obtain(const std::string& passwordFile,
                          std::size_t maxLength,
                          bool confirm,
                          const std::atomic<bool>& abort) {
    held_ = false;
    if (fromEnvironment_) {
        typed_ = *fromEnvironment_;
    } else if (!passwordFile.empty()) {
        if (!ReadPasswordFile(passwordFile, typed_)) {
            Say(FillIn(kCouldNotReadFile, passwordFile));
            return kExitUsage;
        }
    } else {
        if (!FromTerminal(maxLength, confirm))
            return abort.load() ? -static_cast<int>(ResultCode::Aborted) : kExitUsage;
        held_ = true;
        return 0;
    }
    if (const char* error = PasswordLengthError(typed_.size(), maxLength)) {
        Say(error);
        return kExitUsage;
    }
    held_ = true;
    return 0;
}

bool TypedPassword::FromTerminal(std::size_t maxLength, bool confirm) {
    auto terminal = Terminal::Open();
    if (!terminal) {
        Say("No password: set VORLAXEN_PASSWORD, use --password-file, or run at a terminal.");
        return false;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!terminal->readSecret(EnterPasswordText(maxLength) + ": ", typed_))
            return false;
        if (const char* error = PasswordLengthError(typed_.size(), maxLength)) {
            terminal->write(std::string(error) + "\n");
            continue;
        }
        if (!confirm)
            return true;
        SecureBytes again;
        if (!terminal->readSecret(std::string(kReenterForVerification) + ": ", again))
            return false;
        if (again == typed_)
            return true;
        terminal->write(std::string(kVerificationFailed) + "\n");
    }
    return false;
}

} // namespace vorlaxen::cli
