#include "passwords/PasswordRules.h"

#include "engine/Messages.h"

namespace vorlaxen {

std::size_t EncryptPasswordLimit(CipherMethod method) {
    return InfoOf(WritableMethod(method)).keyLength;
}

std::string PasswordLimitText(std::size_t limit) {
    return "(6 - " + std::to_string(limit) + " symbols)";
}

std::string EnterPasswordText(std::size_t limit) {
    return std::string(kEnterThePassword) + " " + PasswordLimitText(limit);
}

const char* PasswordLengthError(std::size_t length, std::size_t limit) {
    if (length < kMinPasswordLength)
        return kTooFewCharacters;
    if (length > limit)
        return kTooManyCharacters;
    return nullptr;
}

} // namespace vorlaxen
