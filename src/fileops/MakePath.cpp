#include "fileops/MakePath.h"

namespace vorlaxen {

std::string MakePath(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    if (dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

} // namespace vorlaxen
