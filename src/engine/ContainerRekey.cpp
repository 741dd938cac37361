#include "engine/ContainerRekey.h"

#include "engine/BlockChain.h"
#include "engine/Checksum.h"
#include "platform/FileSystem.h"
#include "platform/SecureMemory.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace vorlaxen {

namespace {

bool ReadAt(int fd, std::uint8_t* buffer, std::size_t n, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd, buffer + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace

ResultCode ContainerRekey::Open() {
    std::uint8_t bytes[kLongHeaderLength];
    const int fd = input_.fd();
    if (!ReadAt(fd, bytes, kShortHeaderLength, 0))
        return ResultCode::ReadFailed;
    header_ = DecodeHeader(bytes);
    method_ = MethodByLetter(header_.magic[3]);
    const std::size_t headerLength = method_ ? method_->headerLength : kLongHeaderLength;
    if (headerLength > kShortHeaderLength &&
        !ReadAt(fd, bytes + kShortHeaderLength, headerLength - kShortHeaderLength, kShortHeaderLength))
        return ResultCode::ReadFailed;
    if (!method_)
        return ResultCode::NotContainer;
    ZeroingArray<std::uint8_t, 24> key;
    const std::size_t keyLength = current_.PrepareKey(method_->code, key.data());
    if (static_cast<std::uint16_t>(UpdateChecksum(0, key.data(), keyLength)) != header_.keyCheck)
        return ResultCode::WrongPassword;
    // A body of another length than its plain size calls for does not give the plain data back.
    if (input_.size() - headerLength != PaddedSize(header_.plainSize))
        return ResultCode::WrongPassword;
    return ResultCode::Ok;
}

ResultCode ContainerRekey::Write(TKX_Pwd& next, CipherMethod method, PendingFile& output) {
    const MethodInfo& to = InfoOf(WritableMethod(method));
    if (!output.create())
        return ResultCode::CannotCreate;
    const ResultCode result = WriteBody(next, to, output);
    if (result != ResultCode::Ok)
        output.discard();
    return result;
}

ResultCode ContainerRekey::WriteBody(TKX_Pwd& next, const MethodInfo& to, PendingFile& output) {
    ZeroingArray<std::uint8_t, 24> oldKey;
    (void)current_.PrepareKey(method_->code, oldKey.data());
    ZeroingArray<std::uint8_t, 24> newKey;
    const std::size_t newKeyLength = next.PrepareKey(to.code, newKey.data());

    // The data checksum of the plain data is the same in both containers; the old one is checked below.
    std::uint8_t headerBytes[kLongHeaderLength];
    EncodeHeader(NewHeader(to, header_.plainSize, header_.dataChecksum, newKey.data(), newKeyLength), headerBytes);
    // Every chunk is encrypted again in place before it is written.
    output.holdsOnlyCiphertext();
    if (!output.write(headerBytes, sizeof headerBytes))
        return ResultCode::WriteFailed;

    SecureBuffer buffer(kChunkSize);
    if (!buffer)
        return ResultCode::NoMemory;
    auto decrypt = MakeBlockChain(method_->code, oldKey.data(), CipherDirection::Decrypt);
    auto encrypt = MakeBlockChain(to.code, newKey.data(), CipherDirection::Encrypt);
    const std::atomic<bool>& abort = current_.Hooks().abortFlag ? *current_.Hooks().abortFlag : NeverAbort();

    const std::uint32_t plainSize = header_.plainSize;
    const std::uint64_t bodySize = PaddedSize(plainSize);
    std::uint64_t offset = method_->headerLength;
    std::uint64_t remaining = bodySize;
    std::int64_t blocksDone = 0;
    current_.BlocksDone = 0;
    current_.BlocksTotal = static_cast<std::int64_t>(bodySize / kBlockSize);
    std::uint32_t checksum = 0;
    std::uint32_t unused = 0;
    while (remaining > 0) {
        const bool last = remaining <= kChunkSize;
        const auto chunk = static_cast<std::size_t>(last ? remaining : kChunkSize);
        if (!ReadAt(input_.fd(), buffer.data(), chunk, offset))
            return ResultCode::ReadFailed;
        const std::size_t plainBytes = last ? plainSize % kChunkSize : chunk;
        const std::size_t blocks = chunk / kBlockSize;
        if (decrypt->run(buffer.data(), blocks, plainBytes, checksum, abort, !last) < blocks)
            return ResultCode::Aborted;
        // The padding of the new container is written as zeros.
        std::memset(buffer.data() + plainBytes, 0, chunk - plainBytes);
        if (encrypt->run(buffer.data(), blocks, 0, unused, abort) < blocks)
            return ResultCode::Aborted;
        if (!output.write(buffer.data(), chunk))
            return ResultCode::WriteFailed;
        blocksDone += static_cast<std::int64_t>(blocks);
        current_.BlocksDone = blocksDone;
        offset += chunk;
        remaining -= chunk;
        if (current_.Hooks().letPendingEventsRun)
            current_.Hooks().letPendingEventsRun();
    }
    if (checksum != header_.dataChecksum)
        return ResultCode::WrongPassword;
    return output.finishWriting() ? ResultCode::Ok : ResultCode::WriteFailed;
}

} // namespace vorlaxen
