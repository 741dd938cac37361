#include "engine/ContainerName.h"

#include <cctype>

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

std::string CryptedCaptionOf(const std::string& containerName, bool showCry) {
    return showCry ? containerName : PlainPathOf(containerName);
}

} // namespace vorlaxen
