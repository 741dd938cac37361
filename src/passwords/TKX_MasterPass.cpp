#include "passwords/TKX_MasterPass.h"

#include "engine/Checksum.h"

#include <algorithm>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace vorlaxen {

std::uint16_t TKX_MasterPass::MakeKeyFileKey(std::uint8_t key[16]) {
    PasswordLength = std::clamp<std::int32_t>(PasswordLength, 0, kMaxLength);
    const auto length = std::min(static_cast<std::size_t>(PasswordLength), Password.size());
    FillKey(key, kMaxLength, Password.data(), length);
    return static_cast<std::uint16_t>(UpdateChecksum(0, key, length) & 0xFFFFu);
}

std::string TKX_MasterPass::KeyFile() const {
    return KeyFilePath.empty() ? DefaultKeyFilePath() : KeyFilePath;
}

std::string DefaultKeyFilePath() {
    std::string home;
    if (const char* variable = std::getenv("HOME"); variable && *variable)
        home = variable;
    else if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        home = entry->pw_dir;
    if (home.empty())
        return {};
    return home.back() == '/' ? home + "xwords.001" : home + "/xwords.001";
}

} // namespace vorlaxen
