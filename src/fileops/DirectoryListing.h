#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorlaxen {

// What a directory holds, in the order in which the program shows and processes it. The window's panes
// and its whole-directory runs read directories through these, and so does every run over a tree.

// The names of the files of a directory that are not directories themselves (symbolic links to
// directories included), sorted by name; an unreadable directory has none. "" is the current directory.
std::vector<std::string> ListDirectoryFiles(const std::string& directory);

// The names of the subdirectories of `directory`, sorted by name with letter case ignored (names equal
// but for case in byte order), "." and ".." left out. A symbolic link is not a subdirectory here: a
// whole-directory run follows the tree itself and can neither leave it nor loop through a link. An
// unreadable directory has none.
std::vector<std::string> ListSubdirectories(const std::string& directory);

// The directories that the window's directory tree shows below `directory`: its subdirectories and the
// symbolic links that lead to directories, hidden ones (a name starting with ".") left out, in NameOrder.
// Only the entries whose kind the directory does not tell are looked at, so that a directory of many
// files costs a reading of its names. An unreadable directory has none.
std::vector<std::string> ListTreeDirectories(const std::string& directory);

// The order of names in a run over a tree: letter case ignored, names equal but for case in byte order.
bool NameOrder(const std::string& a, const std::string& b);

// One entry met by a walk over a tree, its path joined from the root by MakePath.
struct TreeEntry {
    enum class Kind {
        File,                // a regular file
        Link,                // a symbolic link, never followed
        Special,             // a named pipe, a device or a socket
        UnreadableDirectory, // a directory whose entries cannot be read (permissions, removed meanwhile)
    };
    std::string path;
    Kind kind = Kind::File;
    std::uint64_t size = 0; // of a regular file
};

// Everything below the directory `root`, in the order of the window's whole-directory run with its
// subdirectories: first the entries of a directory itself in NameOrder, then each subdirectory,
// completely, in NameOrder, depth first. Hidden files are included; subdirectories are not entries
// themselves. The walk never follows a symbolic link, so it can neither leave the tree nor loop.
std::vector<TreeEntry> WalkTree(const std::string& root);

} // namespace vorlaxen
