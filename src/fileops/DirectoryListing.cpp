#include "fileops/DirectoryListing.h"

#include "fileops/MakePath.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <fcntl.h>
#include <string_view>
#include <strings.h>
#include <sys/stat.h>

namespace vorlaxen {

namespace {

// Whether an entry of the open directory `dirFd` is a directory, following a symbolic link; the entry's
// kind as the directory tells it, and only where it does not tell, the entry itself.
bool LeadsToDirectory(int dirFd, const dirent* entry) {
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK)
        return entry->d_type == DT_DIR;
    struct stat st;
    return ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

// The names of the entries of a directory that `keep` takes, "." and ".." never; none when it cannot be
// read.
template <class Keep> std::vector<std::string> NamesIn(const std::string& directory, Keep keep) {
    std::vector<std::string> names;
    const UniqueDir stream = OpenDirectory(directory);
    if (!stream)
        return names;
    const int dirFd = ::dirfd(stream.get());
    while (const dirent* entry = ::readdir(stream.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != ".." && keep(dirFd, entry))
            names.emplace_back(name);
    }
    return names;
}

void Walk(const std::string& directory, std::vector<TreeEntry>& entries) {
    std::vector<TreeEntry> here;
    std::vector<std::string> subdirectories;
    {
        const UniqueDir stream = OpenDirectory(directory);
        if (!stream) {
            entries.push_back(TreeEntry{directory, TreeEntry::Kind::UnreadableDirectory, 0});
            return;
        }
        const int dirFd = ::dirfd(stream.get());
        while (const dirent* entry = ::readdir(stream.get())) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat st;
            if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // gone meanwhile
            if (S_ISDIR(st.st_mode)) {
                subdirectories.push_back(name);
                continue;
            }
            TreeEntry::Kind kind = TreeEntry::Kind::File;
            if (S_ISLNK(st.st_mode))
                kind = TreeEntry::Kind::Link;
            else if (!S_ISREG(st.st_mode))
                kind = TreeEntry::Kind::Special;
            here.push_back(
                TreeEntry{name, kind, kind == TreeEntry::Kind::File ? static_cast<std::uint64_t>(st.st_size) : 0});
        }
    }
    std::sort(
        here.begin(), here.end(), [](const TreeEntry& a, const TreeEntry& b) { return NameOrder(a.path, b.path); });
    for (TreeEntry& entry : here) {
        entry.path = MakePath(directory, entry.path);
        entries.push_back(std::move(entry));
    }
    std::sort(subdirectories.begin(), subdirectories.end(), NameOrder);
    for (const std::string& subdirectory : subdirectories)
        Walk(MakePath(directory, subdirectory), entries);
}

} // namespace

bool NameOrder(const std::string& a, const std::string& b) {
    const int folded = ::strcasecmp(a.c_str(), b.c_str());
    return folded != 0 ? folded < 0 : a < b;
}

std::vector<std::string> ListDirectoryFiles(const std::string& directory) {
    std::vector<std::string> names =
        NamesIn(directory, [](int dirFd, const dirent* entry) { return !LeadsToDirectory(dirFd, entry); });
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ListSubdirectories(const std::string& directory) {
    std::vector<std::string> names;
    const UniqueDir stream = OpenDirectory(directory);
    if (!stream)
        return names;
    while (const dirent* entry = ::readdir(stream.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (::lstat(MakePath(directory, name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NameOrder);
    return names;
}

std::vector<std::string> ListTreeDirectories(const std::string& directory) {
    std::vector<std::string> names = NamesIn(directory, [](int dirFd, const dirent* entry) {
        return entry->d_name[0] != '.' && LeadsToDirectory(dirFd, entry);
    });
    std::sort(names.begin(), names.end(), NameOrder);
    return names;
}

std::vector<TreeEntry> WalkTree(const std::string& root) {
    std::vector<TreeEntry> entries;
    Walk(root, entries);
    return entries;
}

} // namespace vorlaxen
