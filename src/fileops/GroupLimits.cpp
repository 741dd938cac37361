#include "fileops/GroupLimits.h"

#include <algorithm>
#include <sys/resource.h>

namespace vorlaxen {

namespace {

constexpr std::size_t kDescriptorsPerWaitingFile = 3;
constexpr std::size_t kDescriptorsKept = 64;
constexpr std::size_t kMostWaitingFiles = 4096;

} // namespace

std::size_t MostWaitingFiles(bool raiseLimit) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 1;
    if (raiseLimit && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        (void)::setrlimit(RLIMIT_NOFILE, &limit);
        (void)::getrlimit(RLIMIT_NOFILE, &limit);
    }
    const std::size_t descriptors = limit.rlim_cur == RLIM_INFINITY ? kMostWaitingFiles * kDescriptorsPerWaitingFile
                                                                    : static_cast<std::size_t>(limit.rlim_cur);
    const std::size_t free = descriptors > kDescriptorsKept ? descriptors - kDescriptorsKept : 0;
    return std::clamp<std::size_t>(free / kDescriptorsPerWaitingFile, 1, kMostWaitingFiles);
}

} // namespace vorlaxen
