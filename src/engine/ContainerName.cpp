#include "engine/ContainerName.h"

#include "platform/FileSystem.h"

#include <cctype>
#include <sys/stat.h>

namespace vorlaxen {

std::string ContainerPathOf(const std::string& plainPath) {
    return plainPath + std::string(kContainerExtension);
}

std::string PlainPathOf(const std::string& containerPath) {
    return containerPath.size() >= kContainerExtension.size()
               ? containerPath.substr(0, containerPath.size() - kContainerExtension.size())
               : std::string();
}

bool HasContainerExtension(const std::string& name) noexcept {
    if (name.size() < kContainerExtension.size())
        return false;
    auto tail = name.size() - kContainerExtension.size();
    for (std::size_t i = 0; i < kContainerExtension.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[tail + i])) != kContainerExtension[i])
            return false;
    return true;
}

std::string ContainerFileFor(const std::string& directory, const std::string& plainName) {
    const std::string exact = ContainerPathOf(plainName);
    const std::string where = directory.empty() ? std::string(".") : directory;
    struct stat st;
    if (::lstat((where + "/" + exact).c_str(), &st) == 0)
        return exact;
    if (const UniqueDir stream = OpenDirectory(where)) {
        while (const dirent* entry = ::readdir(stream.get())) {
            const std::string name = entry->d_name;
            if (name.size() == exact.size() && name.compare(0, plainName.size(), plainName) == 0 &&
                HasContainerExtension(name))
                return name;
        }
    }
    return exact;
}

std::string CryptedCaptionOf(const std::string& containerName, bool showCry) {
    return showCry ? containerName : PlainPathOf(containerName);
}

std::string CryptedCaptionForPlain(const std::string& plainName, bool showCry) {
    return showCry ? ContainerPathOf(plainName) : plainName;
}

std::string PlainNameOfCaption(const std::string& caption, bool showCry) {
    return showCry ? PlainPathOf(caption) : caption;
}

std::string ContainerNameOfCaption(const std::string& directory, const std::string& caption, bool showCry) {
    return showCry ? caption : ContainerFileFor(directory, caption);
}

} // namespace vorlaxen
