#include "engine/ContainerFormat.h"

#include "engine/Checksum.h"
#include "platform/FileSystem.h"

#include <cctype>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

void PutLittleEndian(std::uint8_t* out, std::uint32_t value, int bytes) noexcept {
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetLittleEndian(const std::uint8_t* in, int bytes) noexcept {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | in[i];
    return value;
}

// Opens a file for reading its header without waiting on a named pipe. `regular` tells whether what was
// opened is a regular file; anything else is closed again.
UniqueFd OpenHeader(const std::string& path, bool& regular) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st;
    regular = fd && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode);
    return fd;
}

} // namespace

const MethodInfo* MethodOfFile(const std::string& path) {
    bool regular = false;
    UniqueFd fd = OpenHeader(path, regular);
    std::uint8_t magic[4];
    if (!regular || ReadFully(fd.get(), magic, sizeof magic) != static_cast<ssize_t>(sizeof magic))
        return nullptr;
    return MethodByLetter(magic[3]);
}

std::string MethodNameOfFile(const std::string& path) {
    const MethodInfo* method = MethodOfFile(path);
    return method ? method->name : "-";
}

void EncodeHeader(const ContainerHeader& header, std::uint8_t out[kLongHeaderLength]) noexcept {
    for (std::size_t i = 0; i < kLongHeaderLength; ++i)
        out[i] = 0;
    for (int i = 0; i < 4; ++i)
        out[i] = header.magic[i];
    PutLittleEndian(out + 4, header.plainSize, 4);
    PutLittleEndian(out + 8, header.dataChecksum, 4);
    PutLittleEndian(out + 12, header.keyCheck, 2);
}

ContainerHeader NewHeader(const MethodInfo& method,
                          std::uint32_t plainSize,
                          std::uint32_t dataChecksum,
                          const std::uint8_t* key,
                          std::size_t keyLength) noexcept {
    ContainerHeader header;
    header.magic[3] = static_cast<std::uint8_t>(method.letter);
    header.plainSize = plainSize;
    header.dataChecksum = dataChecksum;
    header.keyCheck = static_cast<std::uint16_t>(UpdateChecksum(0, key, keyLength));
    return header;
}

ContainerHeader DecodeHeader(const std::uint8_t in[kShortHeaderLength]) noexcept {
    ContainerHeader header;
    for (int i = 0; i < 4; ++i)
        header.magic[i] = in[i];
    header.plainSize = GetLittleEndian(in + 4, 4);
    header.dataChecksum = GetLittleEndian(in + 8, 4);
    header.keyCheck = static_cast<std::uint16_t>(GetLittleEndian(in + 12, 2));
    return header;
}

ResultCode ReadContainerInfo(const std::string& path, ContainerInfo& info) {
    bool regular = false;
    UniqueFd fd = OpenHeader(path, regular);
    if (!fd)
        return ResultCode::CannotOpen;
    if (!regular)
        return ResultCode::NotRegularFile;
    std::uint8_t bytes[kLongHeaderLength];
    ssize_t got = ReadFully(fd.get(), bytes, sizeof bytes);
    if (got < static_cast<ssize_t>(kShortHeaderLength))
        return ResultCode::ReadFailed;
    const ContainerHeader header = DecodeHeader(bytes);
    const MethodInfo* method = MethodByLetter(header.magic[3]);
    if (got < static_cast<ssize_t>(method ? method->headerLength : kLongHeaderLength))
        return ResultCode::ReadFailed;
    if (!method)
        return ResultCode::NotContainer;
    info.method = method;
    info.plainSize = header.plainSize;
    return ResultCode::Ok;
}

} // namespace vorlaxen
