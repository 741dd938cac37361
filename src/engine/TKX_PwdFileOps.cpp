// The two file operations of TKX_Pwd and the verification that shares decryption's loop.

#include "engine/BlockChain.h"
#include "engine/Checksum.h"
#include "engine/ContainerFormat.h"
#include "engine/TKX_Pwd.h"
#include "platform/BufferedReader.h"
#include "platform/FileSystem.h"
#include "platform/PendingFile.h"
#include "platform/SourceFile.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

const std::atomic<bool>& AbortFlagOf(const EngineHooks& hooks) {
    return hooks.abortFlag ? *hooks.abortFlag : NeverAbort();
}

void LetEventsRun(const EngineHooks& hooks) {
    if (hooks.letPendingEventsRun)
        hooks.letPendingEventsRun();
}

// Opens an input without blocking on a pipe and checks that it is a regular file; an operation's input
// is never reached through a link and is locked.
ResultCode OpenInput(SourceFile& input, const std::string& path, SourceFile::Use use) {
    switch (input.open(path, use)) {
    case SourceFile::Status::Open:
        return ResultCode::Ok;
    case SourceFile::Status::NotRegular:
        return ResultCode::NotRegularFile;
    case SourceFile::Status::InUse:
        return ResultCode::InUse;
    case SourceFile::Status::Missing:
    case SourceFile::Status::Failed:
        break;
    }
    return ResultCode::CannotOpen;
}

// The caller's open input, read from its start; -1 when it cannot be. Only this run reads it meanwhile.
int ReaderOf(const SourceFile& input) {
    return ::lseek(input.fd(), 0, SEEK_SET) == 0 ? input.fd() : -1;
}

// Gives a written output the modification time asked for. What is buffered goes to the system first: a
// write after the time is set would set it again. A file system that keeps no such time costs the output
// nothing.
bool GiveTime(PendingFile& out, const std::optional<timespec>& modified) {
    if (!modified)
        return true;
    if (!out.flush())
        return false;
    const timespec times[2] = {{0, UTIME_OMIT}, *modified};
    (void)::futimens(out.fd(), times);
    return true;
}

// A held output is complete once what is buffered has gone to the system; it is committed by the caller.
ResultCode FinishHeld(PendingFile& out, const std::optional<timespec>& modified) {
    return out.finishWriting() && GiveTime(out, modified) ? ResultCode::Ok : ResultCode::WriteFailed;
}

} // namespace

ResultCode TKX_Pwd::EncryptFile(const std::string& source, CipherMethod method, const EngineFiles& files) {
    SourceFile own;
    SourceFile* input = files.source;
    if (!input) {
        if (ResultCode opened = OpenInput(own, source, SourceFile::Use::Operation); opened != ResultCode::Ok)
            return opened;
        input = &own;
    }
    const ResultCode result = EncryptOpened(source, *input, method, files);
    if (result != ResultCode::Ok && files.heldOutput)
        files.heldOutput->discard();
    // An input that could not be read to its end because it is no longer what it was has changed under the run.
    if (result == ResultCode::ReadFailed && !input->unchanged())
        return ResultCode::SourceChanged;
    return result;
}

namespace {

struct EncryptedInto {
    ResultCode result;
    std::size_t blocks; // the blocks encrypted
};

// Encrypts `bytes` plain bytes (whole blocks, all of them counted in the checksum) from `plain` into the
// output's buffer, as many blocks at a time as its room holds. A block that the end of the buffer would
// cut goes through a copy; where the output offers no room (it has no buffer, or a write failed), the rest
// is encrypted in place and written from there.
EncryptedInto EncryptInto(BlockChain& chain,
                          std::uint8_t* plain,
                          std::size_t bytes,
                          std::uint32_t& checksum,
                          const std::atomic<bool>& abort,
                          PendingFile& out) {
    std::size_t done = 0;
    while (done < bytes) {
        const std::span<std::uint8_t> room = out.room(bytes - done);
        std::uint8_t* from = plain + done;
        std::uint8_t single[kBlockSize];
        std::uint8_t* into = room.data();
        std::size_t n = room.size() / kBlockSize * kBlockSize;
        if (room.empty()) {
            into = from;
            n = bytes - done;
        } else if (n == 0) {
            into = single;
            n = kBlockSize;
        }
        const std::size_t blocks = n / kBlockSize;
        const std::size_t ran = into == from ? chain.run(from, blocks, n, checksum, abort)
                                             : chain.runInto(from, into, blocks, n, checksum, abort);
        if (ran < blocks)
            return {ResultCode::Aborted, done / kBlockSize + ran};
        if (into == room.data())
            out.filled(n);
        else if (!out.write(into, n))
            return {ResultCode::WriteFailed, done / kBlockSize + ran};
        done += n;
    }
    return {ResultCode::Ok, bytes / kBlockSize};
}

} // namespace

ResultCode
TKX_Pwd::EncryptOpened(const std::string& source, SourceFile& input, CipherMethod method, const EngineFiles& files) {
    const MethodInfo& info = InfoOf(WritableMethod(method));
    const std::string target = files.target.empty() ? ContainerPathOf(source) : files.target;

    const std::uint64_t size = input.size();
    const int in = ReaderOf(input);
    if (in < 0)
        return ResultCode::CannotOpen;
    if (size > kMaxPlainSize)
        return ResultCode::TooLarge;
    const auto plainSize = static_cast<std::uint32_t>(size);

    if (!files.heldOutput && IsDirectory(target))
        return ResultCode::CannotCreate;
    std::optional<PendingFile> own;
    PendingFile& out = files.heldOutput ? *files.heldOutput : own.emplace(target);
    if (!out.create())
        return ResultCode::CannotCreate;
    out.expectSize(kLongHeaderLength + PaddedSize(plainSize));
    // Every chunk is encrypted in place before it is written.
    out.holdsOnlyCiphertext();
    SecureBuffer buffer(kChunkSize);
    if (!buffer)
        return ResultCode::NoMemory;

    ZeroingArray<std::uint8_t, 24> key;
    const std::size_t keyLength = PrepareKey(info.code, key.data());
    // The data checksum is written last, once the body is done.
    std::uint8_t headerBytes[kLongHeaderLength];
    EncodeHeader(NewHeader(info, plainSize, 0, key.data(), keyLength), headerBytes);
    if (!out.write(headerBytes, sizeof headerBytes))
        return ResultCode::WriteFailed;

    auto chain = MakeBlockChain(info.code, key.data(), CipherDirection::Encrypt);
    BufferedReader reader(in, size);
    const std::atomic<bool>& abort = AbortFlagOf(hooks_);
    const std::uint64_t bodySize = PaddedSize(plainSize);
    std::int64_t blocksDone = 0;
    BlocksDone = 0;
    BlocksTotal = static_cast<std::int64_t>(bodySize / kBlockSize);
    std::uint32_t checksum = 0;
    std::uint64_t remaining = bodySize;
    while (remaining > 0) {
        const bool last = remaining <= kChunkSize;
        const auto chunk = static_cast<std::size_t>(last ? remaining : kChunkSize);
        const std::size_t plainBytes = last ? plainSize % kChunkSize : kChunkSize;
        // A whole chunk of the file is encrypted from the reader's buffer straight into the output's, and
        // the plain data is never copied; the last, which its padding makes longer than what is left of
        // the file, in a buffer of its own, as is every chunk where the reader has no buffer. (Written
        // straight from the reader's buffer, the chunks would reach the file in writes across page
        // boundaries, which cost the system more than a copy.)
        std::uint8_t* data = !last && reader ? reader.take(chunk) : buffer.data();
        if (data && data != buffer.data()) {
            const EncryptedInto into = EncryptInto(*chain, data, chunk, checksum, abort, out);
            blocksDone += static_cast<std::int64_t>(into.blocks);
            BlocksDone = blocksDone;
            if (into.result != ResultCode::Ok)
                return into.result;
            remaining -= chunk;
            LetEventsRun(hooks_);
            continue;
        }
        if (data == buffer.data()) {
            if (reader.read(data, plainBytes) != static_cast<ssize_t>(plainBytes))
                return ResultCode::ReadFailed;
            std::memset(data + plainBytes, 0, chunk - plainBytes);
        } else if (!data) {
            return ResultCode::ReadFailed;
        }
        const std::size_t blocks = chunk / kBlockSize;
        const std::size_t done = chain->run(data, blocks, plainBytes, checksum, abort);
        blocksDone += static_cast<std::int64_t>(done);
        BlocksDone = blocksDone;
        if (done < blocks)
            return ResultCode::Aborted;
        if (!out.write(data, chunk))
            return ResultCode::WriteFailed;
        remaining -= chunk;
        LetEventsRun(hooks_);
    }
    buffer.reset();
    reader.release();

    std::uint8_t checksumBytes[4];
    for (int i = 0; i < 4; ++i)
        checksumBytes[i] = static_cast<std::uint8_t>(checksum >> (8 * i));
    if (!out.writeAt(checksumBytes, sizeof checksumBytes, 8))
        return ResultCode::WriteFailed;
    // A held output is committed by the caller, which looks at the source then.
    if (files.heldOutput)
        return FinishHeld(out, files.modified);
    // The container holds the file as it was when it was opened: one that has changed since (grown,
    // rewritten, renamed away) would lose the change when it is wiped.
    if (!input.unchanged())
        return ResultCode::SourceChanged;
    if (!GiveTime(out, files.modified))
        return ResultCode::WriteFailed;
    return CommitResultCode(out.commit(files.mayReplaceTarget));
}

ResultCode TKX_Pwd::EncryptStream(int in, CipherMethod method, PendingFile& out) {
    const MethodInfo& info = InfoOf(WritableMethod(method));
    if (!out.create())
        return ResultCode::CannotCreate;
    SecureBuffer buffer(kChunkSize);
    if (!buffer)
        return ResultCode::NoMemory;
    // The header's place, filled in once the plain size and the checksum are known.
    std::uint8_t headerBytes[kLongHeaderLength] = {};
    if (!out.write(headerBytes, sizeof headerBytes))
        return ResultCode::WriteFailed;

    ZeroingArray<std::uint8_t, 24> key;
    const std::size_t keyLength = PrepareKey(info.code, key.data());
    auto chain = MakeBlockChain(info.code, key.data(), CipherDirection::Encrypt);
    BufferedReader reader(in);
    const std::atomic<bool>& abort = AbortFlagOf(hooks_);
    std::int64_t blocksDone = 0;
    BlocksDone = 0;
    BlocksTotal = 0;
    std::uint32_t checksum = 0;
    std::uint64_t plainSize = 0;
    // Chunk by chunk as EncryptFile goes: the first piece shorter than a chunk is the last, padded with 1
    // to 8 bytes (a stream that ends with a whole chunk ends with a chunk of padding alone).
    for (bool last = false; !last;) {
        const ssize_t got = reader.read(buffer.data(), kChunkSize);
        if (got < 0)
            return ResultCode::ReadFailed;
        const auto plainBytes = static_cast<std::size_t>(got);
        plainSize += plainBytes;
        if (plainSize > kMaxPlainSize)
            return ResultCode::TooLarge;
        last = plainBytes < kChunkSize;
        const auto chunk = static_cast<std::size_t>(last ? PaddedSize(plainBytes) : kChunkSize);
        std::memset(buffer.data() + plainBytes, 0, chunk - plainBytes);
        const std::size_t blocks = chunk / kBlockSize;
        const std::size_t done = chain->run(buffer.data(), blocks, plainBytes, checksum, abort);
        blocksDone += static_cast<std::int64_t>(done);
        BlocksDone = blocksDone;
        BlocksTotal = blocksDone;
        if (done < blocks)
            return ResultCode::Aborted;
        if (!out.write(buffer.data(), chunk))
            return ResultCode::WriteFailed;
        LetEventsRun(hooks_);
    }
    EncodeHeader(NewHeader(info, static_cast<std::uint32_t>(plainSize), checksum, key.data(), keyLength), headerBytes);
    if (!out.writeAt(headerBytes, sizeof headerBytes, 0))
        return ResultCode::WriteFailed;
    return out.finishWriting() ? ResultCode::Ok : ResultCode::WriteFailed;
}

// Decryption of one container, into a pending plain file or (for verification) into nothing.
class TKX_Pwd::DecryptRun {
public:
    DecryptRun(TKX_Pwd& owner, const std::string& container, const EngineFiles& files)
        : owner_(owner)
        , container_(container)
        , source_(files.source)
        , mayReplaceTarget_(files.mayReplaceTarget)
        , held_(files.heldOutput)
        , target_(files.target)
        , modified_(files.modified) {}

    // A container read from a descriptor of the caller's (a pipe, or a file of `size` bytes, 0 for a
    // stream), its plain data handed to `sink`.
    ResultCode useStream(int in, std::uint64_t size, const PlainSink& sink) {
        ownIn_ = UniqueFd(::dup(in));
        in_ = ownIn_.get();
        containerSize_ = size;
        streamed_ = size == 0;
        sink_ = &sink;
        return ownIn_ ? ResultCode::Ok : ResultCode::CannotOpen;
    }

    // Verification only reads, and takes no lock: it may run beside an operation on the same container.
    ResultCode openContainer(SourceFile::Use use) {
        if (!source_) {
            if (ResultCode opened = OpenInput(own_, container_, use); opened != ResultCode::Ok)
                return opened;
            source_ = &own_;
        }
        containerSize_ = source_->size();
        in_ = ReaderOf(*source_);
        return in_ >= 0 ? ResultCode::Ok : ResultCode::CannotOpen;
    }

    ResultCode createOutput() {
        const std::string target = target_.empty() ? PlainPathOf(container_) : target_;
        if (FileNameOf(target).empty() || (!held_ && IsDirectory(target)))
            return ResultCode::CannotCreate;
        out_ = held_ ? held_ : &ownOut_.emplace(target);
        if (!out_->create())
            return ResultCode::CannotCreate;
        // The plain file is never longer than the container's body.
        out_->expectSize(containerSize_);
        return ResultCode::Ok;
    }

    ResultCode run() {
        ResultCode result = decrypt();
        // A container that could not be read to its end, or is no longer what it was, changed under the run.
        if (result == ResultCode::ReadFailed && source_ && !source_->unchanged())
            result = ResultCode::ContainerChanged;
        if (result != ResultCode::Ok)
            discardOutput();
        return result;
    }

private:
    ResultCode decrypt() {
        // A large file written in the background is read straight into its output's buffer and decrypted
        // there: decrypted in the reader's buffer, it would be copied into the output's once more. The
        // reader's own buffer then only holds the header and the last chunk.
        const bool direct = out_ && !streamed_ && containerSize_ > BackgroundWritesFrom();
        BufferedReader reader(in_, direct ? std::uint64_t{kLongHeaderLength + kChunkSize} : containerSize_);
        std::uint8_t headerBytes[kLongHeaderLength];
        if (reader.read(headerBytes, kShortHeaderLength) != static_cast<ssize_t>(kShortHeaderLength))
            return ResultCode::ReadFailed;
        const ContainerHeader header = DecodeHeader(headerBytes);
        const MethodInfo* method = MethodByLetter(header.magic[3]);
        const std::size_t headerLength = method ? method->headerLength : kLongHeaderLength;
        const std::size_t rest = headerLength - kShortHeaderLength;
        if (rest && reader.read(headerBytes + kShortHeaderLength, rest) != static_cast<ssize_t>(rest))
            return ResultCode::ReadFailed;
        if (!method)
            return ResultCode::NotContainer;

        ZeroingArray<std::uint8_t, 24> key;
        const std::size_t keyLength = owner_.PrepareKey(method->code, key.data());
        if (static_cast<std::uint16_t>(UpdateChecksum(0, key.data(), keyLength)) != header.keyCheck)
            return ResultCode::WrongPassword;
        if (!reader)
            return ResultCode::NoMemory;
        auto chain = MakeBlockChain(method->code, key.data(), CipherDirection::Decrypt);

        const std::atomic<bool>& abort = AbortFlagOf(owner_.hooks_);
        const std::uint64_t bodySize = streamed_ ? PaddedSize(header.plainSize) : containerSize_ - headerLength;
        const std::size_t lastPlainBytes = header.plainSize % kChunkSize;
        std::int64_t blocksDone = 0;
        owner_.BlocksDone = 0;
        owner_.BlocksTotal = static_cast<std::int64_t>(bodySize / kBlockSize);
        std::uint32_t checksum = 0;
        std::uint64_t remaining = bodySize;
        plainMayHaveReachedOutput_ = true;
        if (direct && remaining > kChunkSize) {
            // Every chunk but the last (which may be short, and holds the padding); what the output's
            // buffer does not take (it has none, or a write failed) goes the usual way below.
            const std::uint64_t whole = (remaining - 1) / kChunkSize * kChunkSize;
            std::uint64_t left = whole;
            const ResultCode result = decryptInto(reader, *chain, left, checksum, blocksDone);
            if (result != ResultCode::Ok)
                return result;
            remaining -= whole - left;
        }
        // Chunks are decrypted in place, in the reader's buffer, and wait there until the buffer is filled
        // again: then they go to the output together, in one large write without a copy.
        std::uint8_t* waiting = nullptr;
        std::size_t waitingBytes = 0;
        auto writeWaiting = [&] {
            const bool written = waitingBytes == 0 || (out_ ? out_->write(waiting, waitingBytes)
                                                            : !sink_ || (*sink_)(waiting, waitingBytes));
            waitingBytes = 0;
            return written;
        };
        while (remaining > 0) {
            const bool last = remaining <= kChunkSize;
            const auto chunk = static_cast<std::size_t>(last ? remaining : kChunkSize);
            if (!reader.holds(chunk) && !writeWaiting())
                return ResultCode::WriteFailed;
            std::uint8_t* data = reader.take(chunk);
            if (!data)
                return ResultCode::ReadFailed;
            // A well-formed body ends exactly after the padding of the last plain bytes; of a damaged one
            // the bytes after its last whole block stay as read.
            const std::size_t plainBytes = last ? std::min(lastPlainBytes, chunk) : chunk;
            const std::size_t blocks = chunk / kBlockSize;
            // Every chunk but the last may leave the checksum of its end to the next one, which takes it
            // among its rounds.
            const std::size_t done = chain->run(data, blocks, plainBytes, checksum, abort, !last);
            blocksDone += static_cast<std::int64_t>(done);
            owner_.BlocksDone = blocksDone;
            if (done < blocks)
                return ResultCode::Aborted;
            if (plainBytes > blocks * kBlockSize)
                checksum = UpdateChecksum(checksum, data + blocks * kBlockSize, plainBytes - blocks * kBlockSize);
            if (waitingBytes == 0)
                waiting = data;
            waitingBytes += plainBytes;
            remaining -= chunk;
            LetEventsRun(owner_.hooks_);
        }
        if (!writeWaiting())
            return ResultCode::WriteFailed;
        // A stream holds nothing after its body, unless it is damaged.
        std::uint8_t after;
        if (checksum != header.dataChecksum || (streamed_ && reader.read(&after, 1) != 0))
            return ResultCode::WrongPassword;
        if (!out_)
            return ResultCode::Ok;
        // A held output is committed by the caller, which looks at the container then.
        if (held_)
            return FinishHeld(*out_, modified_);
        if (!source_->unchanged())
            return ResultCode::ContainerChanged;
        if (!GiveTime(*out_, modified_))
            return ResultCode::WriteFailed;
        return CommitResultCode(out_->commit(mayReplaceTarget_));
    }

    // Reads `bytes` of the body (whole blocks, all of them plain data once decrypted) into the output's
    // buffer, as much at a time as its room holds, and decrypts them there a chunk at most at a time (the
    // abort flag and the progress are looked at as often as elsewhere); `bytes` is left at what it did not
    // take, where the output offers no room. A block that the end of the buffer would cut goes through a
    // copy.
    ResultCode decryptInto(BufferedReader& reader,
                           BlockChain& chain,
                           std::uint64_t& bytes,
                           std::uint32_t& checksum,
                           std::int64_t& blocksDone) {
        const std::atomic<bool>& abort = AbortFlagOf(owner_.hooks_);
        while (bytes > 0) {
            const std::span<std::uint8_t> room =
                out_->room(static_cast<std::size_t>(std::min<std::uint64_t>(bytes, SIZE_MAX)));
            if (room.empty())
                return ResultCode::Ok;
            ZeroingArray<std::uint8_t, kBlockSize> single;
            const bool cut = room.size() < kBlockSize;
            std::uint8_t* data = cut ? single.data() : room.data();
            const std::size_t n = cut ? kBlockSize : room.size() / kBlockSize * kBlockSize;
            if (reader.readDirect(data, n) != static_cast<ssize_t>(n))
                return ResultCode::ReadFailed;
            for (std::size_t at = 0; at < n;) {
                const std::size_t piece = std::min(n - at, kChunkSize);
                const std::size_t blocks = piece / kBlockSize;
                // More follows: the checksum of a piece's end may be left to the next piece's rounds.
                const std::size_t done = chain.run(data + at, blocks, piece, checksum, abort, true);
                blocksDone += static_cast<std::int64_t>(done);
                owner_.BlocksDone = blocksDone;
                if (done < blocks)
                    return ResultCode::Aborted;
                at += piece;
                LetEventsRun(owner_.hooks_);
            }
            if (!cut)
                out_->filled(n);
            else if (!out_->write(single.data(), n))
                return ResultCode::WriteFailed;
            bytes -= n;
        }
        return ResultCode::Ok;
    }

    // Once the body is being decrypted, plain data may have reached the output: it is then wiped rather
    // than merely deleted.
    void discardOutput() {
        ownIn_.reset();
        in_ = -1;
        if (out_)
            out_->discard(plainMayHaveReachedOutput_ ? owner_.hooks_.wipeOutput : PendingFile::Overwriter());
    }

    TKX_Pwd& owner_;
    const std::string& container_;
    SourceFile own_;
    SourceFile* source_;
    bool mayReplaceTarget_;
    UniqueFd ownIn_; // a stream's descriptor of its own
    int in_ = -1;    // what is read: the stream's, or the caller's open input
    PendingFile* held_;
    const std::string target_; // empty: the naming rule's
    const std::optional<timespec> modified_;
    std::uint64_t containerSize_ = 0;
    bool streamed_ = false;
    const PlainSink* sink_ = nullptr;
    std::optional<PendingFile> ownOut_;
    PendingFile* out_ = nullptr;
    bool plainMayHaveReachedOutput_ = false;
};

ResultCode TKX_Pwd::DecryptFile(const std::string& container, const EngineFiles& files) {
    DecryptRun run(*this, container, files);
    if (ResultCode opened = run.openContainer(SourceFile::Use::Operation); opened != ResultCode::Ok)
        return opened;
    if (ResultCode created = run.createOutput(); created != ResultCode::Ok)
        return created;
    return run.run();
}

ResultCode TKX_Pwd::DecryptStream(int in, std::uint64_t size, const PlainSink& sink) {
    const std::string unnamed;
    DecryptRun run(*this, unnamed, EngineFiles{});
    if (ResultCode opened = run.useStream(in, size, sink); opened != ResultCode::Ok)
        return opened;
    return run.run();
}

ResultCode TKX_Pwd::VerifyFile(const std::string& container) {
    DecryptRun run(*this, container, EngineFiles{});
    if (ResultCode opened = run.openContainer(SourceFile::Use::ReadOnly); opened != ResultCode::Ok)
        return opened;
    return run.run();
}

} // namespace vorlaxen
