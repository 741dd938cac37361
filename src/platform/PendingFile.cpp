#include "platform/PendingFile.h"

#include "platform/CrashPoint.h"
#include "platform/Random.h"
#include "platform/SourceFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace vorlaxen {

namespace {

constexpr std::size_t kBufferSize = std::size_t{256} << 10;
// A large output goes to disk in steps of a few megabytes while it is written (see advanceWriteback).
constexpr off_t kWritebackStep = off_t{8} << 20;
constexpr std::uint64_t kBackgroundWritesFrom = std::uint64_t{4} << 20;
// Outputs holding plain data written in the background at once: their second buffers are locked memory,
// whose limit (8 MiB by default) must also hold the buffers of many files decrypted in parallel.
constexpr int kPlainBackgroundOutputs = 2;
std::atomic<int> plainBackgroundOutputs{0};

constexpr std::string_view kTemporaryPrefix = ".vorlaxen-";
constexpr std::size_t kTemporaryRandomLength = 6;
constexpr std::string_view kTemporaryLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool NamedTemporariesForced() noexcept {
    const char* forced = std::getenv("VORLAXEN_TEST_NAMED_TEMPORARIES");
    return forced && *forced;
}

// An unnamed file is linked in through its entry in /proc/self/fd; without /proc it could never get a name.
bool ProcessFdsVisible() noexcept {
    static const bool visible = ::access("/proc/self/fd", X_OK) == 0;
    return visible;
}

std::string DirectoryOrCurrent(const std::string& path) {
    std::string dir = DirectoryOf(path);
    return dir.empty() ? std::string(".") : dir;
}

std::string FdPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// A fresh name of our temporary form in the directory of `target`.
std::string TemporaryNameBeside(const std::string& target) {
    std::string name(kTemporaryPrefix);
    for (std::size_t i = 0; i < kTemporaryRandomLength; ++i)
        name += kTemporaryLetters[NextRandom() % kTemporaryLetters.size()];
    const std::string dir = DirectoryOf(target);
    return dir.empty() ? name : (dir == "/" ? dir + name : dir + "/" + name);
}

} // namespace

std::uint64_t BackgroundWritesFrom() noexcept {
    static const std::uint64_t from = [] {
        const char* set = std::getenv("VORLAXEN_TEST_BACKGROUND_WRITES_FROM");
        return set && *set ? std::strtoull(set, nullptr, 10) : kBackgroundWritesFrom;
    }();
    return from;
}

// One thread that writes one buffer at a time into the output, while the owner fills the other.
class PendingFile::Writer {
public:
    // Signals go to the program's other threads, never to this one.
    Writer() {
        sigset_t all, before;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &before);
        try {
            thread_ = std::thread([this] { run(); });
        } catch (...) {
            pthread_sigmask(SIG_SETMASK, &before, nullptr);
            throw;
        }
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }
    // Waits for the write still running.
    ~Writer() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Writes `n` bytes at `data`, which stay untouched until `wait` returns. Not while a write runs.
    void start(int fd, const std::uint8_t* data, std::size_t n) {
        {
            const std::lock_guard lock(mutex_);
            fd_ = fd;
            data_ = data;
            n_ = n;
            busy_ = true;
        }
        wake_.notify_one();
    }
    // Waits for the write started last; its errno, 0 when it succeeded.
    int wait() {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return !busy_; });
        return error_;
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return busy_ || stopping_; });
            if (!busy_)
                return;
            const int fd = fd_;
            const std::uint8_t* data = data_;
            const std::size_t n = n_;
            lock.unlock();
            const bool written = WriteFully(fd, data, n);
            const int error = written ? 0 : (errno != 0 ? errno : EIO);
            lock.lock();
            error_ = error;
            busy_ = false;
            done_.notify_one();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    int fd_ = -1;
    const std::uint8_t* data_ = nullptr;
    std::size_t n_ = 0;
    bool busy_ = false;
    bool stopping_ = false;
    int error_ = 0;
    std::thread thread_;
};

bool IsTemporaryName(const std::string& name) noexcept {
    if (name.size() != kTemporaryPrefix.size() + kTemporaryRandomLength || name.rfind(kTemporaryPrefix, 0) != 0)
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(kTemporaryPrefix.size()), name.end(), [](char c) {
        return kTemporaryLetters.find(c) != std::string_view::npos;
    });
}

bool UnnamedFilesIn(const std::string& directory) noexcept {
    if (NamedTemporariesForced() || !ProcessFdsVisible())
        return false;
    UniqueFd probe(::open(directory.empty() ? "." : directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    return static_cast<bool>(probe);
}

PendingFile::PendingFile(std::string target)
    : target_(std::move(target)) {}

PendingFile::~PendingFile() {
    if (!finished_)
        discard();
    stopWriter();
}

bool PendingFile::create() {
    const std::string dir = DirectoryOrCurrent(target_);
    if (!NamedTemporariesForced() && ProcessFdsVisible()) {
        fd_ = UniqueFd(::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        unnamed_ = static_cast<bool>(fd_);
    }
    // A named one is held under its lock until it is committed or removed: only a temporary that nobody
    // holds is a leftover. An unnamed one can be nobody's leftover.
    if (!fd_)
        fd_ = CreateTemporaryBeside(target_, tempPath_);
    finished_ = !fd_;
    return static_cast<bool>(fd_);
}

// The size of the buffer, once it is taken or when it would be.
std::size_t PendingFile::wantedBuffer() const noexcept {
    return static_cast<std::size_t>(
        bufferTaken_ ? bufferSize_ : (expected_ > 0 ? std::min<std::uint64_t>(expected_, kBufferSize) : kBufferSize));
}

// Whether the output goes through the buffers whole, written in the background.
bool PendingFile::inBackground() noexcept {
    return bufferTaken_ ? writer_ != nullptr : expected_ > BackgroundWritesFrom() && reserveBackground();
}

// Takes the buffer, and the writer with its second one where the output is written in the background;
// once.
void PendingFile::takeBuffers(bool background) noexcept {
    if (bufferTaken_)
        return;
    const std::size_t wanted = wantedBuffer();
    bufferTaken_ = true;
    takeBuffer(wanted);
    if (background)
        startWriter(wanted);
}

bool PendingFile::write(const void* data, std::size_t n) {
    // A full buffer goes to the system only when more is to follow: an output that fits in it is changed
    // there to its end (writeAt) and goes in one write.
    if (buffered_ > 0 && buffered_ == bufferSize_ && !passOn())
        return false;
    // A large piece arriving when nothing is buffered goes to the system as it is, without the copy; with
    // no memory for the buffer, every write goes as it comes. The buffer is taken only for a piece that it
    // holds: one that hands its pieces over whole (a decryption's) locks no memory for a buffer it never uses.
    const bool background = inBackground();
    if (buffered_ == 0 && n >= wantedBuffer() / 2 && !background)
        return handOver(data, n);
    takeBuffers(background);
    if (bufferSize_ == 0)
        return handOver(data, n);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (n > 0) {
        const std::size_t room = std::min(n, bufferSize_ - buffered_);
        std::memcpy(bufferData() + buffered_, bytes, room);
        buffered_ += room;
        bytes += room;
        n -= room;
        if (n > 0 && !passOn())
            return false;
    }
    return true;
}

std::span<std::uint8_t> PendingFile::room(std::size_t most) {
    if (!fd_ || (buffered_ > 0 && buffered_ == bufferSize_ && !passOn()))
        return {};
    takeBuffers(inBackground());
    if (bufferSize_ == 0)
        return {};
    return {bufferData() + buffered_, std::min(most, bufferSize_ - buffered_)};
}

void PendingFile::filled(std::size_t n) noexcept {
    buffered_ += std::min(n, bufferSize_ - buffered_);
}

// A full buffer goes to the system: in the background where there is a writer.
bool PendingFile::passOn() {
    return writer_ ? handOverInBackground() : flush();
}

bool PendingFile::writeAt(const void* data, std::size_t n, off_t offset) {
    // Bytes still in the buffer are changed there, before the system sees them.
    const off_t bufferStart = handedOver_ + static_cast<off_t>(inFlight_);
    if (fd_ && offset >= bufferStart && offset + static_cast<off_t>(n) <= bufferStart + static_cast<off_t>(buffered_)) {
        std::memcpy(bufferData() + (offset - bufferStart), data, n);
        return true;
    }
    return flush() && WriteFullyAt(fd_.get(), data, n, offset);
}

bool PendingFile::flush() {
    if (!fd_ || !collectBackgroundWrite())
        return false;
    if (buffered_ == 0)
        return true;
    if (!handOver(bufferData(), buffered_))
        return false;
    buffered_ = 0;
    return true;
}

// The output's background flush is collected too: an output flushed with its group must not be named while
// one still runs, and a failed one fails the output.
bool PendingFile::finishWriting() {
    const bool flushed = flush();
    const bool background = background_.finish();
    releaseBuffer();
    return flushed && background;
}

void PendingFile::takeBuffer(std::size_t size) noexcept {
    if (ciphertextOnly_)
        ordinary_.reset(new (std::nothrow) std::uint8_t[size]);
    else
        secret_.reallocate(size);
    const bool taken = ciphertextOnly_ ? ordinary_ != nullptr : static_cast<bool>(secret_);
    bufferSize_ = taken ? size : 0;
}

// The writer is stopped first: a write still running reads from one of the buffers.
void PendingFile::releaseBuffer() noexcept {
    stopWriter();
    secret_.reset();
    ordinary_.reset();
    bufferSize_ = 0;
}

std::uint8_t* PendingFile::bufferData() noexcept {
    if (ciphertextOnly_)
        return onSpare_ ? ordinarySpare_.get() : ordinary_.get();
    return onSpare_ ? secretSpare_.data() : secret_.data();
}

// An output of plain data is written in the background only while few others are: it takes its place
// among them before it takes any buffer, and keeps it until its writer stops.
bool PendingFile::reserveBackground() noexcept {
    if (ciphertextOnly_ || countedPlain_)
        return true;
    if (plainBackgroundOutputs.fetch_add(1) >= kPlainBackgroundOutputs) {
        plainBackgroundOutputs.fetch_sub(1);
        return false;
    }
    countedPlain_ = true;
    return true;
}

// A second buffer like the first, and the thread that writes one while the other is filled; without
// either, the output is written as it comes.
void PendingFile::startWriter(std::size_t size) noexcept {
    if (bufferSize_ == 0) {
        stopWriter();
        return;
    }
    if (ciphertextOnly_)
        ordinarySpare_.reset(new (std::nothrow) std::uint8_t[size]);
    else
        secretSpare_.reallocate(size);
    if (ciphertextOnly_ ? ordinarySpare_ != nullptr : static_cast<bool>(secretSpare_)) {
        try {
            writer_ = std::make_unique<Writer>();
            return;
        } catch (...) {
        }
    }
    stopWriter();
}

// Stops the writer (after the write still running) and gives its second buffer back.
void PendingFile::stopWriter() noexcept {
    writer_.reset();
    inFlight_ = 0;
    onSpare_ = false;
    secretSpare_.reset();
    ordinarySpare_.reset();
    if (countedPlain_)
        plainBackgroundOutputs.fetch_sub(1);
    countedPlain_ = false;
}

// The full buffer goes to the writer once the write before it has ended, and the other is filled meanwhile.
bool PendingFile::handOverInBackground() {
    if (!fd_ || !collectBackgroundWrite())
        return false;
    writer_->start(fd_.get(), bufferData(), buffered_);
    inFlight_ = buffered_;
    buffered_ = 0;
    onSpare_ = !onSpare_;
    return true;
}

// Waits for the write running in the background; false when it, or one before it, failed.
bool PendingFile::collectBackgroundWrite() {
    if (inFlight_ > 0) {
        const int error = writer_->wait();
        const auto written = static_cast<off_t>(inFlight_);
        inFlight_ = 0;
        if (error != 0) {
            writeError_ = error;
        } else {
            handedOver_ += written;
            CrashPoint("output-written");
            advanceWriteback();
        }
    }
    if (writeError_ != 0) {
        errno = writeError_;
        return false;
    }
    return true;
}

bool PendingFile::handOver(const void* data, std::size_t n) {
    if (!fd_ || !WriteFully(fd_.get(), data, n))
        return false;
    handedOver_ += static_cast<off_t>(n);
    CrashPoint("output-written");
    advanceWriteback();
    return true;
}

// Every step of output, the disk's cache is flushed in the background, which also writes what the step
// left in the page cache: flushing that cache takes time in proportion to what was written since it was
// last flushed, so the flush at commit finds little left to do however large the output. A flush still
// running leaves the step to the next one; where none can be started, the step is at least handed to the
// disk at once.
void PendingFile::advanceWriteback() {
    if (handedOver_ - writebackStarted_ < kWritebackStep || background_.running())
        return;
    const int fd = fd_.get();
    if (!background_.start(fd) && !rangeSyncUnavailable_ &&
        ::sync_file_range(fd, writebackStarted_, handedOver_ - writebackStarted_, SYNC_FILE_RANGE_WRITE) != 0)
        rangeSyncUnavailable_ = true;
    writebackStarted_ = handedOver_;
    CrashPoint("output-step");
}

PendingFile::Commit PendingFile::linkUnnamed(bool mayReplace) {
    const std::string self = FdPath(fd_.get());
    if (!mayReplace) {
        // A link never replaces an existing name.
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return Commit::Done;
        return errno == EEXIST ? Commit::TargetExists : Commit::RenameFailed;
    }
    // A link cannot replace the target: the output gets a temporary name first, which a rename then puts
    // in the target's place in one step.
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath_ = TemporaryNameBeside(target_);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, tempPath_.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno == EEXIST)
                continue;
            tempPath_.clear();
            return Commit::RenameFailed;
        }
        CrashPoint("replace-linked");
        if (::rename(tempPath_.c_str(), target_.c_str()) == 0)
            return Commit::Done;
        const int saved = errno;
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
        errno = saved;
        return Commit::RenameFailed;
    }
    tempPath_.clear();
    return Commit::RenameFailed;
}

PendingFile::Commit PendingFile::renameNamed(bool mayReplace) {
    if (mayReplace)
        return ::rename(tempPath_.c_str(), target_.c_str()) == 0 ? Commit::Done : Commit::RenameFailed;
    if (RenameNoReplace(tempPath_, target_))
        return Commit::Done;
    return errno == EEXIST ? Commit::TargetExists : Commit::RenameFailed;
}

PendingFile::Commit PendingFile::commit(bool mayReplace) {
    if (!flush())
        return Commit::FlushFailed;
    // The file's own flush reports every failed write, also one that a background flush saw first; a
    // background flush that failed fails the commit all the same.
    if (::fsync(fd_.get()) != 0 || !background_.finish())
        return Commit::FlushFailed;
    CrashPoint("commit");
    const Commit result = link(mayReplace);
    if (result == Commit::Done)
        SyncDirectoryOf(target_);
    return result;
}

PendingFile::Commit PendingFile::link(bool mayReplace) {
    if (!fd_ || finished_)
        return Commit::RenameFailed;
    // Nothing is named before every write has ended.
    if (!collectBackgroundWrite())
        return Commit::FlushFailed;
    stopWriter();
    const Commit result = unnamed_ ? linkUnnamed(mayReplace) : renameNamed(mayReplace);
    if (result != Commit::Done)
        return result;
    finished_ = true;
    fd_.reset();
    return Commit::Done;
}

void PendingFile::discard(const Overwriter& overwrite) {
    if (finished_)
        return;
    finished_ = true;
    releaseBuffer();
    buffered_ = 0;
    if (fd_ && overwrite)
        (void)overwrite(fd_.get());
    // A named output is unlinked while it is still held, so that no other process takes it for a leftover.
    if (!unnamed_ && !tempPath_.empty())
        ::unlink(tempPath_.c_str());
    fd_.reset();
}

} // namespace vorlaxen
