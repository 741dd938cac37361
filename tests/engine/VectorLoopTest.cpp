// Each vector loop this processor has against the scalar loop: random runs of 1 to 2,000 blocks at
// unaligned places, split over several calls as chunks are (half the time leaving the checksum's end to
// the next call), with the checksum covering a random part.

#include "engine/BlockChain.h"
#include "engine/VectorIsa.h"
#include "support/InstructionSets.h"

#include <gtest/gtest.h>
#include <iostream>
#include <random>

namespace vorlaxen {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Outcome {
    Bytes data;
    std::uint32_t checksum;
    std::vector<std::size_t> done;

    bool operator==(const Outcome&) const = default;
};

// Runs `blocks` at `offset` in `buffer` through a chain in the given pieces, each but the last said to be
// followed by more when `more` is set. Each piece is run in a buffer of its own that is then overwritten,
// as the engine reuses its chunk buffer.
Outcome RunPieces(BlockChain& chain,
                  Bytes buffer,
                  std::size_t offset,
                  const std::vector<std::size_t>& pieces,
                  std::size_t checksumBytes,
                  bool more) {
    Outcome out{{}, 0x12345678u, {}};
    std::size_t at = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::size_t piece = pieces[i];
        const std::size_t covered = checksumBytes > at * 8 ? std::min(checksumBytes - at * 8, piece * 8) : 0;
        std::uint8_t* start = buffer.data() + offset + at * 8;
        Bytes chunk(start, start + piece * 8);
        out.done.push_back(
            chain.run(chunk.data(), piece, covered, out.checksum, NeverAbort(), more && i + 1 < pieces.size()));
        std::copy(chunk.begin(), chunk.end(), start);
        std::fill(chunk.begin(), chunk.end(), 0xA5);
        at += piece;
    }
    out.data = std::move(buffer);
    return out;
}

// One instance for each vector set; one that this processor lacks is skipped, and the output says which
// loops ran.
class VectorLoops : public testing::TestWithParam<VectorIsa> {};

TEST_P(VectorLoops, GiveTheScalarLoopsResultsOnRandomRuns) {
    const VectorIsa isa = GetParam();
    std::cout << "[          ] " << test::BlockLoopsRunHere() << std::endl;
    RecordProperty("BlockLoops", test::BlockLoopsRunHere());
    if (SupportedVectorIsa(isa) != isa)
        GTEST_SKIP() << "this processor has no " << VectorIsaName(isa) << ": its loops did not run";
    std::mt19937 random(20240515);
    auto uniform = [&random](std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(random);
    };
    for (CipherMethod method :
         {CipherMethod::DesUnchained, CipherMethod::Idea, CipherMethod::Des, CipherMethod::TripleDes}) {
        const std::size_t keyLength = InfoOf(method).keyLength;
        for (auto direction : {CipherDirection::Encrypt, CipherDirection::Decrypt}) {
            SCOPED_TRACE(testing::Message() << "method " << CodeOf(method)
                                            << (direction == CipherDirection::Encrypt ? ", encrypt" : ", decrypt"));
            for (int trial = 0; trial < 12; ++trial) {
                Bytes key(keyLength);
                for (auto& b : key)
                    b = static_cast<std::uint8_t>(uniform(0, 255));
                if (trial == 0)
                    std::fill(key.begin(), key.end(), 0); // IDEA: every subkey is 0
                const std::size_t blocks = trial == 1 ? 2000 : uniform(1, 2000);
                const std::size_t offset = uniform(0, 63);
                Bytes buffer(offset + blocks * 8 + uniform(0, 9));
                for (auto& b : buffer)
                    b = static_cast<std::uint8_t>(uniform(0, 255));
                if (trial == 2) // zero words take the multiplication's special case
                    std::fill(buffer.begin(), buffer.begin() + static_cast<long>(buffer.size() / 2), 0);
                std::vector<std::size_t> pieces;
                for (std::size_t left = blocks; left > 0;) {
                    const std::size_t piece = trial % 3 == 0 ? left : uniform(1, left);
                    pieces.push_back(piece);
                    left -= piece;
                }
                const std::size_t checksumBytes = trial % 4 == 1 ? blocks * 8 : uniform(0, blocks * 8);

                auto scalar = MakeBlockChain(method, key.data(), direction, VectorIsa::Scalar);
                auto vector = MakeBlockChain(method, key.data(), direction, isa);
                ASSERT_EQ(scalar->isa(), VectorIsa::Scalar);
                const bool parallel = direction == CipherDirection::Decrypt || method == CipherMethod::DesUnchained;
                ASSERT_EQ(vector->isa(), parallel ? isa : VectorIsa::Scalar);
                const bool more = trial % 2 == 0;
                const Outcome expected = RunPieces(*scalar, buffer, offset, pieces, checksumBytes, false);
                const Outcome got = RunPieces(*vector, buffer, offset, pieces, checksumBytes, more);
                ASSERT_EQ(got.done, pieces);
                ASSERT_EQ(got.checksum, expected.checksum) << blocks << " blocks at " << offset;
                ASSERT_TRUE(got.data == expected.data) << blocks << " blocks at " << offset;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryVectorSet,
                         VectorLoops,
                         testing::Values(VectorIsa::Avx2, VectorIsa::Avx512),
                         [](const testing::TestParamInfo<VectorIsa>& set) { return VectorIsaName(set.param); });

} // namespace
} // namespace vorlaxen
