#include "engine/Checksum.h"

namespace vorlaxen {

using checksum_detail::kTableWords;

static_assert(kTableWords[0] == 0x00000000u);
static_assert(kTableWords[1] == 0x96000000u);
static_assert(kTableWords[2] == 0x30960000u);
static_assert(kTableWords[3] == 0x07309600u);
static_assert(kTableWords[4] == 0x77073096u);

std::uint32_t UpdateChecksum(std::uint32_t start, const void* data, std::size_t count) noexcept {
    if (!data || count == 0)
        return start;
    return ChecksumRun(start, static_cast<const std::uint8_t*>(data), count);
}

} // namespace vorlaxen
