#pragma once

#include "engine/CipherMethod.h"

#include <cstddef>
#include <string>

namespace vorlaxen {

// The length rules of a typed password, as the prompts, the master password dialog and the companion
// check it. Lengths count the UTF-8 bytes typed.
inline constexpr std::size_t kMinPasswordLength = 6;
// Decryption accepts up to the longest key of any method, whatever the container's method.
inline constexpr std::size_t kMaxDecryptPasswordLength = 24;

// The upper limit of a method for encryption, the key length of the method written: 16 for IDEA, 24 for
// Triple DES, 8 for DES (and for every method that writes DES).
std::size_t EncryptPasswordLimit(CipherMethod method);

// "(6 - 16 symbols)" for a limit of 16.
std::string PasswordLimitText(std::size_t limit);
// The label of a password box: "Enter the password (6 - 16 symbols)".
std::string EnterPasswordText(std::size_t limit);

// kTooFewCharacters or kTooManyCharacters (Messages.h) for a length outside kMinPasswordLength to
// `limit`; null when it fits.
const char* PasswordLengthError(std::size_t length, std::size_t limit);

} // namespace vorlaxen
