#include "fileops/Subdirectories.h"

#include "fileops/MakePath.h"

#include <algorithm>
#include <dirent.h>
#include <memory>
#include <strings.h>
#include <sys/stat.h>

namespace vorlaxen {

std::vector<std::string> ListSubdirectories(const std::string& directory) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.empty() ? "." : directory.c_str()), ::closedir);
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (::lstat(MakePath(directory, name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int folded = ::strcasecmp(a.c_str(), b.c_str());
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

} // namespace vorlaxen
