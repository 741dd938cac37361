#include "platform/SecureMemory.h"

#include <string.h>

namespace vorlaxen {

void SecureZero(void* data, std::size_t n) noexcept {
    if (data && n)
        explicit_bzero(data, n);
}

} // namespace vorlaxen
