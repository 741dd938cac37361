#include "FuzzWorkDir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace vorlaxen::fuzz {

namespace {

// The work directory goes with the process, whatever the inputs left in it; after a finding it stays for
// a look.
void RemoveWorkDirectory() {
    for (const std::string& name : NamesInWorkDirectory())
        ::unlink((WorkDirectory() + "/" + name).c_str());
    ::rmdir(WorkDirectory().c_str());
}

} // namespace

const std::string& WorkDirectory() {
    // Never destroyed: the clean-up at exit runs after the static objects are gone.
    static const std::string* made = [] {
        const char* base = std::getenv("TMPDIR");
        auto* pattern = new std::string(std::string(base && *base ? base : "/tmp") + "/vorlaxen-fuzz-XXXXXX");
        if (!::mkdtemp(pattern->data()))
            Finding("no work directory");
        std::atexit(RemoveWorkDirectory);
        return pattern;
    }();
    return *made;
}

std::vector<std::string> NamesInWorkDirectory() {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(WorkDirectory().c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)))
        Finding("cannot write the input file " + path);
    ::close(fd);
}

void Finding(const std::string& what) {
    std::fprintf(stderr, "finding: %s\n", what.c_str());
    std::abort();
}

} // namespace vorlaxen::fuzz
