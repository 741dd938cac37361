#pragma once

#include <string>
#include <vector>

namespace vorlaxen {

// The names of the subdirectories of `directory`, sorted by name with letter case ignored (names equal
// but for case in byte order), "." and ".." left out. A symbolic link is not a subdirectory here: a
// whole-directory run follows the tree itself and can neither leave it nor loop through a link. An
// unreadable directory has none.
std::vector<std::string> ListSubdirectories(const std::string& directory);

} // namespace vorlaxen
