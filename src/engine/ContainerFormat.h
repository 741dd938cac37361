#pragma once

#include "engine/CipherMethod.h"
#include "engine/ContainerName.h"
#include "engine/ResultCode.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlaxen {

// The ".cry" container: a header naming the method, the plain size, the data checksum and a 16-bit key
// check, then the body, the plain data padded with 1 to 8 bytes and encrypted in 8-byte blocks.
// All integers are little-endian.

inline constexpr std::size_t kChunkSize = 10240;              // the body is processed in chunks of this size
inline constexpr std::uint64_t kMaxPlainSize = 0xFFFFFFFFull; // the size field is an unsigned 32-bit number

// The method of the container at `path` from its fourth byte; null when the file cannot be read or the
// byte names no method.
const MethodInfo* MethodOfFile(const std::string& path);
// Its name, or "-" for none.
std::string MethodNameOfFile(const std::string& path);

// Length of the body for a plain size: always 1 to 8 bytes of padding.
inline constexpr std::uint64_t PaddedSize(std::uint64_t plainSize) noexcept {
    return plainSize + 8 - plainSize % 8;
}

struct ContainerHeader {
    std::uint8_t magic[4] = {'K', 'X', '9', '8'};
    std::uint32_t plainSize = 0;
    std::uint32_t dataChecksum = 0;
    std::uint16_t keyCheck = 0;
};

// The 35-byte header; the reserved bytes are zeros.
void EncodeHeader(const ContainerHeader& header, std::uint8_t out[kLongHeaderLength]) noexcept;
// The header of a new container of `method`: its key check is taken from the prepared key.
ContainerHeader NewHeader(const MethodInfo& method,
                          std::uint32_t plainSize,
                          std::uint32_t dataChecksum,
                          const std::uint8_t* key,
                          std::size_t keyLength) noexcept;
// The four fields from the first 14 bytes.
ContainerHeader DecodeHeader(const std::uint8_t in[kShortHeaderLength]) noexcept;

struct ContainerInfo {
    const MethodInfo* method = nullptr;
    std::uint32_t plainSize = 0;
};

// The method and plain size from a container's header: CannotOpen, ReadFailed when the file is shorter
// than the header its method letter calls for, NotContainer for an unknown letter.
ResultCode ReadContainerInfo(const std::string& path, ContainerInfo& info);

} // namespace vorlaxen
