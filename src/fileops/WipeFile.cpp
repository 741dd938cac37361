#include "fileops/WipeFile.h"

#include "fileops/MakePath.h"
#include "platform/CrashPoint.h"
#include "platform/FileSystem.h"
#include "platform/Random.h"
#include "platform/SecureMemory.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

constexpr std::size_t kPatternSize = 1024;
// The pass is written from a buffer of this many copies of the pattern: the bytes on disk are those of the
// pattern written over and over, in a few system calls instead of one per kilobyte.
constexpr std::size_t kPatternCopies = 64;
// The first bytes of every wipe's pass.
constexpr std::uint8_t kWipeMark[16] = {
    '\0', 'V', 'o', 'r', 'l', 'a', 'x', 'e', 'n', ' ', 'w', 'i', 'p', 'e', '\0', 0x1A};
constexpr int kOpenFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// One pass of a 1024-byte buffer of pseudo-random bytes, filled once, repeated over `size` bytes from the
// descriptor's position; then, with `flush`, the bytes are flushed to disk, or the system might drop them
// unwritten when the file is truncated. Without it the caller flushes them.
bool OverwritePass(FileCalls& calls, int fd, std::uint64_t size, bool flush) {
    ZeroingArray<std::uint8_t, kPatternSize> pattern;
    FillRandomBytes(pattern.data(), pattern.size());
    std::copy(std::begin(kWipeMark), std::end(kWipeMark), pattern.data());
    // A file that needs more than one copy gets the repeated pattern, where the memory for it is there.
    SecureBuffer repeated(size > kPatternSize ? kPatternSize * kPatternCopies : 0);
    for (std::size_t at = 0; at < repeated.size(); at += kPatternSize)
        std::copy(pattern.data(), pattern.data() + kPatternSize, repeated.data() + at);
    const bool useRepeated = repeated.size() > 0;
    const std::uint8_t* source = useRepeated ? repeated.data() : pattern.data();
    const std::size_t sourceSize = useRepeated ? repeated.size() : pattern.size();
    std::uint64_t left = size;
    while (left > 0) {
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(sourceSize, left));
        ssize_t put;
        do {
            put = calls.Write(fd, source, piece);
        } while (put < 0 && errno == EINTR);
        // A write that takes fewer bytes than asked ends the pass: it could not cover the file.
        if (put != static_cast<ssize_t>(piece))
            return false;
        left -= piece;
    }
    return !flush || size == 0 || calls.Fdatasync(fd) == 0;
}

// What an open that failed says about the file.
Removal OpenFailure(int error) {
    if (error == ENOENT)
        return Removal::Missing;
    // O_NOFOLLOW met a link, or a pipe without a reader refused a non-blocking open for writing.
    if (error == ELOOP || error == ENXIO)
        return Removal::NotRegular;
    return Removal::NotOverwritten;
}

// Whether `path` names the file `st` describes. A lock taken on an open file holds that file, not its
// name: between the open and the lock, its holder may have given it another name and let it go (an
// output of ours, committed meanwhile, whose temporary name was taken for a leftover's).
bool NameLeadsTo(const std::string& path, const struct stat& st) {
    struct stat named;
    return ::lstat(path.c_str(), &named) == 0 && named.st_dev == st.st_dev && named.st_ino == st.st_ino;
}

// The file at `path`, opened with `flags` and checked: a regular file, the expected one, locked, and still
// under that name once locked.
Removal OpenChecked(const std::string& path, int flags, const RemovalOptions& options, FileCalls& calls, int& fd) {
    fd = calls.Open(path.c_str(), flags | kOpenFlags);
    if (fd < 0)
        return OpenFailure(errno);
    struct stat st;
    Removal checked = Removal::Removed;
    if (calls.Fstat(fd, &st) != 0)
        checked = Removal::NotOverwritten;
    else if (!S_ISREG(st.st_mode))
        checked = Removal::NotRegular;
    else if (options.expected && !(FileIdentity::Of(st) == *options.expected))
        checked = Removal::Changed;
    else if (options.lock && !calls.Lock(fd))
        checked = Removal::InUse;
    else if (options.lock && !NameLeadsTo(path, st))
        checked = Removal::Changed;
    if (checked != Removal::Removed) {
        calls.Close(fd);
        fd = -1;
    }
    return checked;
}

// Looks before opening: nothing is changed on a link or a special file, not even its permissions, nor on
// a file other than the one expected.
Removal LookAt(const std::string& path, const RemovalOptions& options, struct stat& st) {
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Removal::Missing : Removal::NotOverwritten;
    if (!S_ISREG(st.st_mode))
        return Removal::NotRegular;
    return options.expected && !(FileIdentity::Of(st) == *options.expected) ? Removal::Changed : Removal::Removed;
}

} // namespace

bool IsInterruptedWipe(int fd) {
    std::uint8_t start[sizeof kWipeMark];
    return ::pread(fd, start, sizeof start, 0) == static_cast<ssize_t>(sizeof start) &&
           std::equal(std::begin(start), std::end(start), std::begin(kWipeMark));
}

bool OverwriteOpenFile(int fd, FileCalls& calls) {
    struct stat st;
    if (calls.Fstat(fd, &st) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)
        return false;
    return OverwritePass(calls, fd, static_cast<std::uint64_t>(st.st_size), true);
}

WipeInProgress::~WipeInProgress() {
    if (fd_ < 0)
        return;
    FileCalls& calls = options_.calls ? *options_.calls : SystemFileCalls();
    calls.Close(fd_);
    SetFileMode(path_, mode_);
}

Removal StartWipe(const std::string& path, const RemovalOptions& options, WipeInProgress& wipe) {
    FileCalls& calls = options.calls ? *options.calls : SystemFileCalls();
    struct stat st;
    if (Removal looked = LookAt(path, options, st); looked != Removal::Removed)
        return looked;
    const int mode = static_cast<int>(st.st_mode & 07777);
    if ((mode & (S_IRUSR | S_IWUSR)) != (S_IRUSR | S_IWUSR))
        SetFileMode(path, mode | S_IRUSR | S_IWUSR);
    int fd = -1;
    if (Removal opened = OpenChecked(path, O_WRONLY, options, calls, fd); opened != Removal::Removed) {
        // Left exactly as it was, its permissions included.
        SetFileMode(path, mode);
        return opened;
    }
    // Overwritten under its own name first: until the pass is on disk the file stays where it was, and a
    // file that cannot be overwritten keeps its name and is reported.
    if (!OverwritePass(calls, fd, static_cast<std::uint64_t>(st.st_size), false)) {
        calls.Close(fd);
        SetFileMode(path, mode);
        return Removal::NotOverwritten;
    }
    wipe.path_ = path;
    wipe.options_ = options;
    wipe.fd_ = fd;
    wipe.mode_ = mode;
    wipe.size_ = st.st_size;
    return Removal::Removed;
}

Removal FinishWipe(WipeInProgress& wipe, bool passOnDisk) {
    if (wipe.fd_ < 0)
        return Removal::NotOverwritten;
    if (!passOnDisk)
        return Removal::NotOverwritten; // the file stays, its permissions given back as `wipe` goes
    FileCalls& calls = wipe.options_.calls ? *wipe.options_.calls : SystemFileCalls();
    CrashPoint("wipe-overwritten");
    std::string current = wipe.path_;
    if (wipe.options_.hideName) {
        const std::string dir = DirectoryOf(wipe.path_);
        for (const char* name : {"~~~~~~~~.~~~", "~"}) {
            const std::string next = MakePath(dir, name);
            if (calls.RenameNoReplace(current.c_str(), next.c_str()))
                current = next;
        }
    }
    CrashPoint("wipe-renamed");
    // The length goes too; a truncation that fails leaves only overwritten bytes, so the deletion goes on.
    if (wipe.size_ > 0)
        (void)calls.Ftruncate(wipe.fd_, 0);
    CrashPoint("wipe-truncated");
    // Deleted while it is still held, so that nothing else takes the name's file for one of its own.
    const bool unlinked = calls.Unlink(current.c_str()) == 0;
    calls.Close(wipe.fd_);
    wipe.fd_ = -1;
    return unlinked ? Removal::Removed : Removal::NotRemoved;
}

Removal WipeFileAt(const std::string& path, const RemovalOptions& options) {
    WipeInProgress wipe;
    if (Removal started = StartWipe(path, options, wipe); started != Removal::Removed)
        return started;
    FileCalls& calls = options.calls ? *options.calls : SystemFileCalls();
    const bool onDisk = wipe.size() == 0 || calls.Fdatasync(wipe.fd()) == 0;
    return FinishWipe(wipe, onDisk);
}

ResultCode WipeFile(const std::string& path) {
    return WipeFileAt(path) == Removal::Removed ? ResultCode::Ok : ResultCode::CannotOpen;
}

Removal DeleteFileAt(const std::string& path, const RemovalOptions& options) {
    FileCalls& calls = options.calls ? *options.calls : SystemFileCalls();
    struct stat st;
    if (Removal looked = LookAt(path, options, st); looked != Removal::Removed)
        return looked;
    if ((st.st_mode & (S_IRUSR | S_IWUSR)) != (S_IRUSR | S_IWUSR))
        SetFileMode(path, static_cast<int>(st.st_mode & 07777) | S_IRUSR | S_IWUSR);
    // A file the caller holds under its lock, and that the look found to be the one expected, is not
    // opened again to be checked once more.
    if (options.expected && !options.lock)
        return calls.Unlink(path.c_str()) == 0 ? Removal::Removed
               : errno == ENOENT               ? Removal::Missing
                                               : Removal::NotRemoved;
    int fd = -1;
    const Removal opened = OpenChecked(path, O_RDONLY, options, calls, fd);
    // A container that cannot even be opened (not our own, say) is deleted by name: it holds no plain data.
    if (opened != Removal::Removed && opened != Removal::NotOverwritten)
        return opened;
    const bool unlinked = calls.Unlink(path.c_str()) == 0;
    const int error = errno;
    if (fd >= 0)
        calls.Close(fd);
    if (unlinked)
        return Removal::Removed;
    return error == ENOENT ? Removal::Missing : Removal::NotRemoved;
}

} // namespace vorlaxen
