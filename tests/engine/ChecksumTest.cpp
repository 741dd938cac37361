#include "engine/Checksum.h"

#include "support/VectorFile.h"

#include <gtest/gtest.h>

namespace vorlaxen {
namespace {

using test::FromHex;

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

TEST(Checksum, BlockStepAgreesWithTheGeneralRoutine) {
    const auto data = FromHex("8899AABBCCDDEEFF0011223344556677");
    std::uint32_t viaBlocks = ChecksumBlock(ChecksumBlock(0x01020304, data.data()), data.data() + 8);
    EXPECT_EQ(viaBlocks, UpdateChecksum(0x01020304, data.data(), data.size()));
}

} // namespace
} // namespace vorlaxen
