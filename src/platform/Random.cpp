#include "platform/Random.h"

#include <chrono>
#include <mutex>
#include <random>

namespace vorlaxen {

namespace {

// One generator for the process, drawn from by every thread of the companion's parallel runs: the
// generator's state is guarded, and a caller that needs many numbers takes the guard once.
struct SharedGenerator {
    std::mutex mutex;
    std::mt19937 generator{static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count())};
};

SharedGenerator& Shared() noexcept {
    static SharedGenerator shared;
    return shared;
}

} // namespace

std::uint32_t NextRandom() noexcept {
    SharedGenerator& shared = Shared();
    const std::lock_guard<std::mutex> guard(shared.mutex);
    return static_cast<std::uint32_t>(shared.generator());
}

void FillRandomBytes(std::uint8_t* buffer, std::size_t n) noexcept {
    SharedGenerator& shared = Shared();
    const std::lock_guard<std::mutex> guard(shared.mutex);
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const auto word = static_cast<std::uint32_t>(shared.generator());
        buffer[i] = static_cast<std::uint8_t>(word);
        buffer[i + 1] = static_cast<std::uint8_t>(word >> 8);
        buffer[i + 2] = static_cast<std::uint8_t>(word >> 16);
        buffer[i + 3] = static_cast<std::uint8_t>(word >> 24);
    }
    for (; i < n; ++i)
        buffer[i] = static_cast<std::uint8_t>(shared.generator());
}

} // namespace vorlaxen
