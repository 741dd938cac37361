#pragma once

#include <string>

namespace vorlaxen {

// A directory and a name joined with one "/", none when the directory is empty (the name then refers to
// the current directory) or already ends in "/".
std::string MakePath(const std::string& dir, const std::string& name);

} // namespace vorlaxen
