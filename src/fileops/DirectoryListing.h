#pragma once

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

} // namespace vorlaxen
