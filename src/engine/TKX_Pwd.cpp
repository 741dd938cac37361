#include "engine/TKX_Pwd.h"

#include "engine/ContainerFormat.h"

#include <algorithm>

namespace vorlaxen {

namespace {

constexpr std::uint8_t kWhiteningStart = 0x2B;
constexpr std::uint8_t kWhiteningStep = 0x9D;

} // namespace

void MaskBytes(std::uint8_t* data, std::size_t n) noexcept {
    for (std::size_t i = 0; i < n; ++i)
        data[i] ^= kPasswordMask;
}

void FillKey(std::uint8_t* key, std::size_t n, const std::uint8_t* maskedPassword, std::size_t length) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t byte = length ? maskedPassword[i % length] : 0;
        key[i] = static_cast<std::uint8_t>(byte ^ static_cast<std::uint8_t>(kWhiteningStart + kWhiteningStep * i));
    }
}

TKX_Pwd::~TKX_Pwd() {
    ClearPassword();
}

void TKX_Pwd::SetPassword(const std::uint8_t* plain, std::size_t length) {
    ClearPassword();
    Password.assign(plain, plain + length);
    MaskBytes(Password.data(), Password.size());
    PasswordLength = static_cast<std::int32_t>(length);
}

void TKX_Pwd::SetPassword(std::string_view plain) {
    SetPassword(reinterpret_cast<const std::uint8_t*>(plain.data()), plain.size());
}

void TKX_Pwd::ClearPassword() {
    SecureZero(Password.data(), Password.size());
    Password.clear();
    PasswordLength = 0;
}

std::size_t TKX_Pwd::PrepareKey(CipherMethod method, std::uint8_t* key) {
    const MethodInfo* info = MethodByCode(CodeOf(method));
    if (!info)
        return 0;
    const std::size_t n = info->keyLength;
    auto length = static_cast<std::size_t>(
        std::clamp<std::int32_t>(PasswordLength, 0, static_cast<std::int32_t>(Password.size())));
    if (length > n) {
        length = n;
        PasswordLength = static_cast<std::int32_t>(n);
    }
    if (n == 8) {
        std::copy_n(Password.data(), length, key);
        std::fill(key + length, key + 8, std::uint8_t{0});
        // The two legacy DES forms keyed with the password as typed; method 3 keys with the masked bytes.
        if (method == CipherMethod::DesUnchained || method == CipherMethod::DesTyped)
            MaskBytes(key, length);
    } else {
        FillKey(key, n, Password.data(), length);
    }
    return n;
}

} // namespace vorlaxen
