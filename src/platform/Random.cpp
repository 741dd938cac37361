#include "platform/Random.h"

#include <chrono>
#include <random>

namespace vorlaxen {

namespace {

std::mt19937& Generator() noexcept {
    static std::mt19937 generator(
        static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    return generator;
}

} // namespace

std::uint32_t NextRandom() noexcept {
    return static_cast<std::uint32_t>(Generator()());
}

void FillRandomBytes(std::uint8_t* buffer, std::size_t n) noexcept {
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        std::uint32_t word = NextRandom();
        buffer[i] = static_cast<std::uint8_t>(word);
        buffer[i + 1] = static_cast<std::uint8_t>(word >> 8);
        buffer[i + 2] = static_cast<std::uint8_t>(word >> 16);
        buffer[i + 3] = static_cast<std::uint8_t>(word >> 24);
    }
    for (; i < n; ++i)
        buffer[i] = static_cast<std::uint8_t>(NextRandom());
}

} // namespace vorlaxen
