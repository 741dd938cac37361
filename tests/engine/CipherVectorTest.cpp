// Published and reference vectors for IDEA, DES and Triple DES, checked in both directions, in place,
// and through the block chains the engine runs (a single block of cipher block chaining is the cipher
// applied to the block XORed with the initial chaining value), in every instruction set.

#include "engine/BlockChain.h"
#include "engine/Checksum.h"
#include "engine/Des.h"
#include "engine/Idea.h"
#include "support/InstructionSets.h"
#include "support/VectorFile.h"

#include <gtest/gtest.h>

namespace vorlaxen {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes XorChainingValue(Bytes block) {
    for (int i = 0; i < 8; ++i)
        block[i] ^= kInitialChainingValue[i];
    return block;
}

Bytes RunChain(BlockChain& chain, Bytes data) {
    chain.run(data.data(), data.size() / 8);
    return data;
}

// The same block repeated, so that the interleaved lanes and the single-block tail all see it.
Bytes Repeat(const Bytes& block, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), block.begin(), block.end());
    return out;
}

CipherMethod MethodForSection(const std::string& section) {
    return section == "IDEA" ? CipherMethod::Idea : section == "DES" ? CipherMethod::Des : CipherMethod::TripleDes;
}

class CipherVectors : public ::testing::TestWithParam<test::Vector> {};

TEST_P(CipherVectors, EncryptAndDecryptOneBlock) {
    const auto& v = GetParam();
    const Bytes key = v.bytes("Key");
    const Bytes in = v.bytes("In");
    const Bytes out = v.bytes("Out");

    if (v.section == "IDEA") {
        IdeaSubkeys encryption;
        IdeaSubkeys decryption;
        IdeaExpandKey(key.data(), encryption);
        IdeaInvertKey(encryption, decryption);
        Bytes block(8);
        IdeaCipherBlock(in.data(), block.data(), encryption);
        EXPECT_EQ(block, out);
        IdeaCipherBlock(block.data(), block.data(), decryption);
        EXPECT_EQ(block, in);
    } else if (v.section == "DES") {
        DesSchedule encryption;
        DesSchedule decryption;
        DesKeySchedule(key.data(), CipherDirection::Encrypt, encryption);
        DesKeySchedule(key.data(), CipherDirection::Decrypt, decryption);
        Bytes block = in;
        DesCipherBlock(encryption, block.data());
        EXPECT_EQ(block, out);
        DesCipherBlock(decryption, block.data());
        EXPECT_EQ(block, in);
    } else {
        ASSERT_EQ(v.section, "TripleDES");
        DesSchedule k1, k2, k3;
        DesKeySchedule(key.data(), CipherDirection::Encrypt, k1);
        DesKeySchedule(key.data() + 8, CipherDirection::Decrypt, k2);
        DesKeySchedule(key.data() + 16, CipherDirection::Encrypt, k3);
        Bytes block = in;
        DesCipherBlock(k1, block.data());
        DesCipherBlock(k2, block.data());
        DesCipherBlock(k3, block.data());
        EXPECT_EQ(block, out);
    }
}

TEST_P(CipherVectors, BlockChainsReproduceTheVector) {
    const auto& v = GetParam();
    const Bytes key = v.bytes("Key");
    const Bytes in = v.bytes("In");
    const Bytes out = v.bytes("Out");

    if (v.section == "DES") {
        // Method 0 transforms every block alone: nine copies cover the interleaved groups and the tail.
        auto encrypt = MakeDesChain(key.data(), false, CipherDirection::Encrypt);
        auto decrypt = MakeDesChain(key.data(), false, CipherDirection::Decrypt);
        EXPECT_EQ(RunChain(*encrypt, Repeat(in, 9)), Repeat(out, 9));
        EXPECT_EQ(RunChain(*decrypt, Repeat(out, 9)), Repeat(in, 9));
    }
    const CipherMethod method = MethodForSection(v.section);
    auto encrypt = MakeBlockChain(method, key.data(), CipherDirection::Encrypt);
    auto decrypt = MakeBlockChain(method, key.data(), CipherDirection::Decrypt);
    EXPECT_EQ(RunChain(*encrypt, XorChainingValue(in)), out);
    EXPECT_EQ(RunChain(*decrypt, out), XorChainingValue(in));

    // Again with the checksum taken, as files run: encryption then takes it among the block's rounds, in
    // rounds of their own (the zero words and zero subkeys of the vectors reach their multiplication).
    Bytes data = XorChainingValue(in);
    const std::uint32_t expected = UpdateChecksum(5, data.data(), 8);
    std::uint32_t checksum = 5;
    const std::atomic<bool> never{false};
    MakeBlockChain(method, key.data(), CipherDirection::Encrypt)->run(data.data(), 1, 8, checksum, never);
    EXPECT_EQ(data, out);
    EXPECT_EQ(checksum, expected);
}

// Long runs through every loop this processor has: cipher block chaining decryption of the vector's
// output repeated gives the input XORed with the block before, and method 0 takes each block alone.
TEST_P(CipherVectors, EveryInstructionSetReproducesTheVectorOverLongRuns) {
    const auto& v = GetParam();
    const Bytes key = v.bytes("Key");
    const Bytes in = v.bytes("In");
    const Bytes out = v.bytes("Out");
    constexpr int kBlocks = 1000;
    Bytes plain = XorChainingValue(in);
    Bytes inXorOut = in;
    for (int i = 0; i < 8; ++i)
        inXorOut[i] ^= out[i];
    for (int i = 1; i < kBlocks; ++i)
        plain.insert(plain.end(), inXorOut.begin(), inXorOut.end());
    const CipherMethod method = MethodForSection(v.section);
    for (VectorIsa isa : test::InstructionSetsHere()) {
        SCOPED_TRACE(VectorIsaName(isa));
        auto decrypt = MakeBlockChain(method, key.data(), CipherDirection::Decrypt, isa);
        EXPECT_EQ(decrypt->isa(), isa);
        EXPECT_EQ(RunChain(*decrypt, Repeat(out, kBlocks)), plain);
        if (v.section == "DES") {
            auto encrypt = MakeDesChain(key.data(), false, CipherDirection::Encrypt, isa);
            auto decryptAlone = MakeDesChain(key.data(), false, CipherDirection::Decrypt, isa);
            EXPECT_EQ(RunChain(*encrypt, Repeat(in, kBlocks)), Repeat(out, kBlocks));
            EXPECT_EQ(RunChain(*decryptAlone, Repeat(out, kBlocks)), Repeat(in, kBlocks));
        }
    }
}

std::vector<test::Vector> AllVectors() {
    std::vector<test::Vector> all;
    for (const char* file : {"idea.vec", "des.vec", "tripledes.vec"}) {
        auto vectors = test::ReadVectorFile(file);
        all.insert(all.end(), vectors.begin(), vectors.end());
    }
    return all;
}

INSTANTIATE_TEST_SUITE_P(Published, CipherVectors, ::testing::ValuesIn(AllVectors()), [](const auto& p) {
    return p.param.section + "_line" + std::to_string(p.param.line);
});

} // namespace
} // namespace vorlaxen
