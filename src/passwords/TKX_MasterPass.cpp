#include "passwords/TKX_MasterPass.h"

#include "engine/Checksum.h"

#include <algorithm>

namespace vorlaxen {

std::uint16_t TKX_MasterPass::MakeKeyFileKey(std::uint8_t key[16]) {
    PasswordLength = std::clamp<std::int32_t>(PasswordLength, 0, kMaxLength);
    const auto length = std::min(static_cast<std::size_t>(PasswordLength), Password.size());
    FillKey(key, kMaxLength, Password.data(), length);
    return static_cast<std::uint16_t>(UpdateChecksum(0, key, length) & 0xFFFFu);
}

} // namespace vorlaxen
