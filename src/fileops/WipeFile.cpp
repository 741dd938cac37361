#include "fileops/WipeFile.h"

#include "fileops/MakePath.h"
#include "platform/FileSystem.h"
#include "platform/Random.h"
#include "platform/SecureMemory.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

constexpr int kFailed = -2;
constexpr std::size_t kPatternSize = 1024;

} // namespace

int WipeFile(const std::string& path) {
    MakeOwnerReadWrite(path);
    // Opened before the renames, so that a file that cannot be written keeps its name; a symbolic link is
    // not followed, so that wiping a link never overwrites the file it points to.
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return kFailed;

    const std::string dir = DirectoryOf(path);
    const std::string parked = MakePath(dir, "~~~~~~~~.~~~");
    const std::string last = MakePath(dir, "~");
    if (!RenameNoReplace(path, parked) || !RenameNoReplace(parked, last))
        return kFailed;

    ZeroingArray<std::uint8_t, kPatternSize> pattern;
    FillRandomBytes(pattern.data(), pattern.size());
    auto left = static_cast<std::uint64_t>(st.st_size);
    while (left > 0) {
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(kPatternSize, left));
        ssize_t put;
        do {
            put = ::write(fd.get(), pattern.data(), piece);
        } while (put < 0 && errno == EINTR);
        // A write that takes fewer bytes than asked ends the wipe: the pass could not cover the file.
        if (put != static_cast<ssize_t>(piece))
            return kFailed;
        left -= piece;
    }
    // The overwrite must reach the disk before the truncation, or the system may drop it unwritten.
    if (st.st_size > 0 && ::fdatasync(fd.get()) != 0)
        return kFailed;
    if (::ftruncate(fd.get(), 0) != 0 || !fd.close())
        return kFailed;
    if (::unlink(last.c_str()) != 0)
        return kFailed;
    return 0;
}

} // namespace vorlaxen
