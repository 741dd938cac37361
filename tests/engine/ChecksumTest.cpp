#include "engine/Checksum.h"

#include "support/TempDir.h"
#include "support/VectorFile.h"

#include <gtest/gtest.h>

namespace vorlaxen {
namespace {

using test::FromHex;

// Byte `k` of the reflected CRC-32 table laid out as 256 little-endian 32-bit entries.
std::uint32_t ByteOfTable(std::uint32_t offset, int k) {
    const std::uint32_t at = offset + static_cast<std::uint32_t>(k);
    std::uint32_t crc = at / 4;
    for (int step = 0; step < 8; ++step)
        crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    return (crc >> (8 * (at % 4))) & 0xFFu;
}

TEST(Checksum, MatchesTheRecordedValues) {
    for (const auto& vector : test::ReadVectorFile("checksum.vec")) {
        SCOPED_TRACE(vector.line);
        auto in = vector.bytes("In");
        auto out = vector.bytes("Out");
        std::uint32_t expected = static_cast<std::uint32_t>(out[0]) << 24 | out[1] << 16 | out[2] << 8 | out[3];
        EXPECT_EQ(UpdateChecksum(0, in.data(), in.size()), expected);
    }
}

TEST(Checksum, ContinuingFromAPreviousResultEqualsOneCall) {
    const std::string first = "12345";
    const std::string second = "6789";
    std::uint32_t c = UpdateChecksum(0, first.data(), first.size());
    EXPECT_EQ(UpdateChecksum(c, second.data(), second.size()), 0xD59D19BEu);

    const auto data = FromHex("00FF7F80013C5AA5C3E1D2B4968778695A4B3C2D1E0F");
    for (std::size_t split = 0; split <= data.size(); ++split) {
        std::uint32_t whole = UpdateChecksum(0, data.data(), data.size());
        std::uint32_t part = UpdateChecksum(0, data.data(), split);
        EXPECT_EQ(UpdateChecksum(part, data.data() + split, data.size() - split), whole) << split;
    }
}

TEST(Checksum, EmptyOrAbsentInputReturnsTheStartValue) {
    const std::uint8_t byte = 0x42;
    EXPECT_EQ(UpdateChecksum(0xDEADBEEF, &byte, 0), 0xDEADBEEFu);
    EXPECT_EQ(UpdateChecksum(0x12345678, nullptr, 10), 0x12345678u);
}

// The checksum as defined, one table word per byte, against the engine's routine over long runs of every
// length and start value, and the block step.
TEST(Checksum, AgreesWithTheDefinitionOverLongRuns) {
    const auto reference = [](std::uint32_t c, const std::uint8_t* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            std::uint32_t word = 0;
            for (int k = 3; k >= 0; --k)
                word = word << 8 | ByteOfTable((c ^ p[i]) & 0xFFu, k);
            c = (c >> 8) ^ word;
        }
        return c;
    };
    const auto data = test::PatternBytes(4099, 5);
    std::uint32_t start = 0xFFFFFFFFu;
    for (std::size_t n = 0; n <= data.size(); n += n < 40 ? 1 : 97) {
        ASSERT_EQ(UpdateChecksum(start, data.data(), n), reference(start, data.data(), n)) << n;
        start = start * 2654435761u + 1;
    }
}

TEST(Checksum, BlockStepAgreesWithTheGeneralRoutine) {
    const auto data = FromHex("8899AABBCCDDEEFF0011223344556677");
    std::uint32_t viaBlocks = ChecksumBlock(ChecksumBlock(0x01020304, data.data()), data.data() + 8);
    EXPECT_EQ(viaBlocks, UpdateChecksum(0x01020304, data.data(), data.size()));
}

} // namespace
} // namespace vorlaxen
