#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlaxen {

// The program's general-purpose pseudo-random generator, seeded once from the clock on first use and
// never reseeded. The wipe and the tip of the day draw from it; it is not meant for key material. Safe to
// call from several threads at once.
std::uint32_t NextRandom() noexcept;

// Fills a buffer with pseudo-random bytes, each uniform in 0 to 255.
void FillRandomBytes(std::uint8_t* buffer, std::size_t n) noexcept;

} // namespace vorlaxen
