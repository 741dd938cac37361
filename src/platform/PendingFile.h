#pragma once

#include "platform/BackgroundFlush.h"
#include "platform/FileSystem.h"
#include "platform/SecureMemory.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace vorlaxen {

// An output that reaches its target only when it is complete. It is written into an unnamed file in the
// target's directory (O_TMPFILE), flushed to disk and linked in under the target's name on commit, so
// that at every moment either the old target or the complete new file is on disk, and a crash leaves no
// partial file behind at all. Where the file system refuses unnamed files, it is written under a
// temporary name of ours (".vorlaxen-" and six characters, readable by the owner only) that stays under
// an exclusive advisory lock while this object holds it: a temporary that nobody holds is a crash's
// leftover, which the next operation in that directory removes. Unless it is committed, the output is
// removed when this object goes away. A large output is handed to the disk, and the disk flushed in the
// background, every few megabytes while it is written, so that the flush at commit has little left to do.
//
// An output expected to be large (`expectSize` above BackgroundWritesFrom) is written by a thread of its
// own, one full buffer at a time, while the caller fills a second buffer: the caller's thread then spends
// no time in the system's writes. The writes are the same, in the same order, as without the thread; every
// one has ended before the output is flushed, named or removed, and a failed one fails the next write,
// flush or commit. Only two outputs holding plain data are written so at once (their second buffers are
// locked memory); the others are written as before.
class PendingFile {
public:
    enum class Commit {
        Done,
        FlushFailed,  // writing or flushing failed
        RenameFailed, // the output could not be given the target's name
        TargetExists, // the target appeared, and replacing it was not allowed
    };
    // Overwrites an output that may hold plain data, through its descriptor, before it is released.
    using Overwriter = std::function<bool(int fd)>;

    explicit PendingFile(std::string target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Creates the output file; false when the directory does not allow it.
    bool create();
    int fd() const noexcept { return fd_.get(); }
    // Whether the output has no name until it is committed.
    bool unnamed() const noexcept { return unnamed_; }

    // The size the output will have, when it is known before writing: the buffer is then no larger than
    // the output (a small file costs no buffer of a few hundred kilobytes to fill with zeros and clear).
    void expectSize(std::uint64_t size) noexcept { expected_ = size; }
    // The output will hold nothing but ciphertext (a container's header and encrypted body): its buffer
    // is then ordinary memory, not secret memory, whose locked pages are limited and kept for secrets.
    // Before the first write.
    void holdsOnlyCiphertext() noexcept { ciphertextOnly_ = true; }
    // Appends through a buffer of a few hundred kilobytes, so that the system sees large writes (many
    // small ones cost it far more than the copying); unless the output holds only ciphertext, the buffer
    // may hold plain data and is secret memory. A piece of half the buffer or more, when nothing is buffered, is
    // written as it is. False when a write fails.
    bool write(const void* data, std::size_t n);
    // Room at the end of the buffer for up to `most` bytes to be written in place, without a copy: fewer
    // where the buffer ends (a full buffer is passed on first), none where the output has no buffer or a
    // write failed. `filled` then appends the first n bytes of the room last given.
    std::span<std::uint8_t> room(std::size_t most);
    void filled(std::size_t n) noexcept;
    // Writes at an offset already passed, after what is buffered.
    bool writeAt(const void* data, std::size_t n, off_t offset);
    // Hands what is buffered to the system.
    bool flush();
    // The output is complete: hands what is buffered to the system and releases (zeroes) the buffer, so
    // that an output waiting for its group's flush holds no memory. False when a write fails.
    bool finishWriting();
    const std::string& target() const noexcept { return target_; }
    // The temporary name of a named output; empty for an unnamed one.
    const std::string& temporaryPath() const noexcept { return tempPath_; }

    // Flushes what is buffered and the file to disk, gives it the target's name and flushes the
    // directory. With `mayReplace` an existing target is replaced in one step; without it, a target
    // that exists by then is left alone (TargetExists) and the output discarded.
    Commit commit(bool mayReplace = true);
    // The naming step of `commit` alone, for an output that the caller has brought to disk together with
    // others (and whose directory it flushes together with theirs): gives it the target's name.
    Commit link(bool mayReplace);

    // Removes the output; `overwrite` (for plain data) runs over it first.
    void discard(const Overwriter& overwrite = {});

private:
    bool handOver(const void* data, std::size_t n);
    std::size_t wantedBuffer() const noexcept;
    bool inBackground() noexcept;
    void takeBuffers(bool background) noexcept;
    void takeBuffer(std::size_t size) noexcept;
    void releaseBuffer() noexcept;
    std::uint8_t* bufferData() noexcept;
    bool reserveBackground() noexcept;
    void startWriter(std::size_t size) noexcept;
    void stopWriter() noexcept;
    bool passOn();
    bool handOverInBackground();
    bool collectBackgroundWrite();
    void advanceWriteback();
    Commit linkUnnamed(bool mayReplace);
    Commit renameNamed(bool mayReplace);

    std::string target_;
    std::string tempPath_;
    UniqueFd fd_;
    SecureBuffer secret_;                      // the buffer of an output that may hold plain data,
    std::unique_ptr<std::uint8_t[]> ordinary_; // or of one that holds only ciphertext
    std::size_t bufferSize_ = 0;               // 0 until the first write, and without memory for it
    bool ciphertextOnly_ = false;
    bool bufferTaken_ = false; // allocated at the first write, once
    std::uint64_t expected_ = 0;
    std::size_t buffered_ = 0;
    off_t handedOver_ = 0;              // bytes given to the system so far
    off_t writebackStarted_ = 0;        // bytes up to the last step to disk
    bool rangeSyncUnavailable_ = false; // sync_file_range was refused: steps wait for the flush at commit
    BackgroundFlush background_;
    bool unnamed_ = false;
    bool finished_ = false;

    // Writing in the background: the buffer being written, swapped with the one being filled.
    SecureBuffer secretSpare_;
    std::unique_ptr<std::uint8_t[]> ordinarySpare_;
    bool onSpare_ = false;      // the spare buffer is the one being filled
    std::size_t inFlight_ = 0;  // bytes of the write still running, which follow handedOver_
    int writeError_ = 0;        // the errno of a write in the background that failed
    bool countedPlain_ = false; // one of the few plain outputs written in the background at once
    class Writer;
    std::unique_ptr<Writer> writer_; // last: gone, with its thread, before the buffers it writes from
};

// The expected size above which an output is written in the background: a few megabytes, so that many
// small files cost no thread each. VORLAXEN_TEST_BACKGROUND_WRITES_FROM (bytes) sets it, for the tests
// that run every output through the background writer.
std::uint64_t BackgroundWritesFrom() noexcept;

// Whether outputs in `directory` can be unnamed files. Setting VORLAXEN_TEST_NAMED_TEMPORARIES makes
// every output a named one, as on a file system without unnamed files, for the tests of that case.
bool UnnamedFilesIn(const std::string& directory) noexcept;

// Whether a file name has the form of our named temporary files.
bool IsTemporaryName(const std::string& name) noexcept;

} // namespace vorlaxen
