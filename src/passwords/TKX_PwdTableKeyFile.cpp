// The key file on disk: reading and checking it, and writing it whole under a temporary name.
//
// Layout, integers little-endian: "PT98"; the text length L (signed 32-bit); the checksum of the padded
// text before encryption; the low 16 bits of the checksum over the first (master password length) key
// bytes; then the text padded with 1 to 8 zero bytes to P = L + 8 - L mod 8, in IDEA CBC from the
// initial chaining value. A key file is always 14 + P bytes long.

#include "engine/BlockChain.h"
#include "passwords/TKX_PwdTable.h"
#include "platform/FileSystem.h"
#include "platform/PendingFile.h"

#include <climits>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

constexpr std::uint8_t kMagic[4] = {'P', 'T', '9', '8'};
constexpr std::size_t kHeaderSize = 14;
constexpr std::size_t kChunkSize = 10240;

std::uint32_t GetLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void PutLe32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t PaddedLength(std::uint64_t textLength) {
    return textLength + kBlockSize - textLength % kBlockSize;
}

// A key file reached through a symbolic link is replaced where the link points, keeping the link; the
// link may point to where no key file exists yet.
std::string WriteTarget(const std::string& path) {
    std::string target = path;
    for (int depth = 0; depth < 8; ++depth) {
        char link[PATH_MAX];
        const ssize_t length = ::readlink(target.c_str(), link, sizeof link - 1);
        if (length <= 0)
            break;
        const std::string to(link, static_cast<std::size_t>(length));
        const std::string dir = DirectoryOf(target);
        if (to.front() == '/' || dir.empty())
            target = to;
        else
            target = dir.back() == '/' ? dir + to : dir + "/" + to;
    }
    return target;
}

} // namespace

std::string TKX_PwdTable::KeyFileLockPath() const {
    const std::string path = MasterPass.KeyFile();
    if (path.empty())
        return {};
    // The lock stands for the file that is replaced, so that every name that leads to it shares one lock.
    const std::string target = WriteTarget(path);
    std::string lockPath = DirectoryOf(target);
    if (!lockPath.empty() && lockPath.back() != '/')
        lockPath += '/';
    lockPath += '.';
    lockPath += FileNameOf(target);
    lockPath += ".lock";
    return lockPath;
}

ResultCode TKX_PwdTable::LoadKeyFile(bool withText) {
    const std::string path = MasterPass.KeyFile();
    if (path.empty())
        return ResultCode::CannotOpen;
    // Non-blocking, so that a FIFO put where the key file belongs cannot hang the program.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st;
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return ResultCode::CannotOpen;

    std::uint8_t header[kHeaderSize];
    if (ReadFully(fd.get(), header, kHeaderSize) != static_cast<ssize_t>(kHeaderSize))
        return ResultCode::ReadFailed;
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0)
        return ResultCode::NotContainer;

    ZeroingArray<std::uint8_t, 16> key;
    const std::uint16_t keyCheck = MasterPass.MakeKeyFileKey(key.data());
    if (keyCheck != static_cast<std::uint16_t>(header[12] | header[13] << 8))
        return ResultCode::WrongPassword;
    if (!withText)
        return ResultCode::Ok;

    // The text length is not covered by the checksum: a length that does not match the body (a truncated
    // file, a damaged length field) is refused here, before anything is allocated, rather than cutting
    // the table short or reading past it.
    const auto textLength = static_cast<std::int32_t>(GetLe32(header + 4));
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);
    if (textLength < 0 || fileSize < kHeaderSize ||
        fileSize - kHeaderSize != PaddedLength(static_cast<std::uint64_t>(textLength)))
        return ResultCode::ReadFailed;
    const auto bodyLength = static_cast<std::size_t>(fileSize - kHeaderSize);

    SecureBuffer text(bodyLength);
    if (!text)
        return ResultCode::NoMemory;
    auto chain = MakeBlockChain(CipherMethod::Idea, key.data(), CipherDirection::Decrypt);
    std::uint32_t checksum = 0;
    // B div 10240 + 1 chunks, the last one B mod 10240 bytes and possibly empty; pending events run after
    // every chunk so that the window stays responsive with a large table.
    const std::size_t chunks = bodyLength / kChunkSize + 1;
    std::size_t offset = 0;
    for (std::size_t k = 0; k < chunks; ++k) {
        const std::size_t length = k + 1 < chunks ? kChunkSize : bodyLength % kChunkSize;
        if (ReadFully(fd.get(), text.data() + offset, length) != static_cast<ssize_t>(length)) {
            WipeStream(text);
            return ResultCode::ReadFailed;
        }
        (void)chain->run(text.data() + offset, length / kBlockSize, length, checksum, NeverAbort());
        events_.LetPendingEventsRun();
        offset += length;
    }
    fd.reset();
    if (checksum != GetLe32(header + 8)) {
        WipeStream(text);
        return ResultCode::WrongPassword;
    }
    try {
        Entries.ReadText(text.data(), static_cast<std::size_t>(textLength));
    } catch (const std::bad_alloc&) {
        Entries.Clear();
        WipeStream(text);
        return ResultCode::NoMemory;
    }
    WipeStream(text);
    return ResultCode::Ok;
}

ResultCode TKX_PwdTable::SaveKeyFile() {
    const std::string path = MasterPass.KeyFile();
    if (path.empty())
        return ResultCode::CannotCreate;

    const std::size_t textLength = Entries.TextLength();
    if (textLength > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) - kBlockSize)
        return ResultCode::NoMemory;
    const auto paddedLength = static_cast<std::size_t>(PaddedLength(textLength));
    // Zero-initialised: the padding after the text is written as zeros.
    SecureBuffer text(paddedLength);
    if (!text)
        return ResultCode::NoMemory;
    Entries.WriteText(text.data());

    ZeroingArray<std::uint8_t, 16> key;
    const std::uint16_t keyCheck = MasterPass.MakeKeyFileKey(key.data());
    auto chain = MakeBlockChain(CipherMethod::Idea, key.data(), CipherDirection::Encrypt);
    WipeBytes(key.data(), key.size());

    // The new table reaches the key file's name only once it is complete and on disk: a failed write
    // leaves the old key file, and every password in it, as it was.
    PendingFile out(WriteTarget(path));
    if (!out.create()) {
        WipeStream(text);
        return ResultCode::CannotCreate;
    }
    std::uint8_t header[kHeaderSize] = {};
    std::memcpy(header, kMagic, sizeof kMagic);
    PutLe32(header + 4, static_cast<std::uint32_t>(textLength));
    header[12] = static_cast<std::uint8_t>(keyCheck);
    header[13] = static_cast<std::uint8_t>(keyCheck >> 8);
    if (!WriteFully(out.fd(), header, kHeaderSize)) {
        WipeStream(text);
        return ResultCode::WriteFailed;
    }

    std::uint32_t checksum = 0;
    const std::size_t chunks = paddedLength / kChunkSize + 1;
    std::size_t offset = 0;
    for (std::size_t k = 0; k < chunks; ++k) {
        const std::size_t length = k + 1 < chunks ? kChunkSize : paddedLength % kChunkSize;
        (void)chain->run(text.data() + offset, length / kBlockSize, length, checksum, NeverAbort());
        if (!WriteFully(out.fd(), text.data() + offset, length)) {
            WipeStream(text);
            return ResultCode::WriteFailed;
        }
        offset += length;
    }
    WipeStream(text);

    std::uint8_t stored[4];
    PutLe32(stored, checksum);
    if (!WriteFullyAt(out.fd(), stored, sizeof stored, 8))
        return ResultCode::WriteFailed;
    return CommitResultCode(out.commit());
}

} // namespace vorlaxen
