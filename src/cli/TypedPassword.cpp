#include "cli/TypedPassword.h"

#include "cli/CommandLine.h"
#include "engine/Messages.h"
#include "engine/ResultCode.h"
#include "passwords/PasswordRules.h"
#include "platform/FileSystem.h"

#include <fcntl.h>
#include <unistd.h>

namespace vorlaxen::cli {

namespace {

bool ReadPasswordFile(const std::string& path, SecureBytes& password) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return false;
    password.clear();
    password.reserve(64);
    // Byte by byte, so that nothing of the file beyond its first line is read into memory.
    ZeroingArray<std::uint8_t, 1> byte;
    for (;;) {
        ssize_t got = ::read(fd.get(), byte.data(), 1);
        if (got < 0)
            return false;
        if (got == 0 || byte[0] == '\n')
            break;
        password.push_back(byte[0]);
    }
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    return true;
}

} // namespace

TypedPassword::TypedPassword(Console& console, Source source)
    : console_(console)
    , source_(std::move(source)) {}

int TypedPassword::Obtain(std::size_t maxLength, bool confirm, const std::atomic<bool>& abort) {
    const std::lock_guard<std::mutex> guard(mutex_);
    if (!status_)
        status_ = ObtainOnce(maxLength, confirm, abort);
    return *status_;
}

int TypedPassword::ObtainOnce(std::size_t maxLength, bool confirm, const std::atomic<bool>& abort) {
    if (source_.fromEnvironment) {
        typed_ = *source_.fromEnvironment;
    } else if (!source_.file.empty()) {
        if (!ReadPasswordFile(source_.file, typed_)) {
            console_.Say(FillIn(kCouldNotReadFile, source_.file));
            return kExitUsage;
        }
    } else {
        if (FromTerminal(maxLength, confirm))
            return 0;
        typed_.clear();
        return abort.load() ? -static_cast<int>(ResultCode::Aborted) : kExitUsage;
    }
    if (const char* error = PasswordLengthError(typed_.size(), maxLength)) {
        console_.Say(error);
        typed_.clear();
        return kExitUsage;
    }
    return 0;
}

bool TypedPassword::FromTerminal(std::size_t maxLength, bool confirm) {
    Console::Asking asking(console_);
    Terminal* terminal = asking.terminal();
    if (!terminal) {
        console_.Say(source_.missing);
        return false;
    }
    const std::string prompt = source_.label + " " + PasswordLimitText(maxLength) + ": ";
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!terminal->readSecret(prompt, typed_))
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
