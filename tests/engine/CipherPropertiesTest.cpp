// Properties of the ciphers and their chains that the vectors alone do not pin down.

#include "engine/BlockChain.h"
#include "engine/Checksum.h"
#include "engine/Des.h"
#include "engine/Idea.h"
#include "support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>

namespace vorlaxen {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t ReferenceMul(std::uint32_t a, std::uint32_t b) {
    std::uint64_t x = a ? a : 65536;
    std::uint64_t y = b ? b : 65536;
    return static_cast<std::uint32_t>((x * y) % 65537) & 0xFFFF;
}

TEST(IdeaArithmetic, MultiplicationModulo65537) {
    EXPECT_EQ(IdeaMul(0, 0), 1);
    EXPECT_EQ(IdeaMul(0, 1), 0);
    EXPECT_EQ(IdeaMul(1, 0), 0);
    EXPECT_EQ(IdeaMul(0, 2), 65535);
    EXPECT_EQ(IdeaMul(65535, 65535), ReferenceMul(65535, 65535));
    auto pattern = test::PatternBytes(40000);
    for (std::size_t i = 0; i + 4 <= pattern.size(); i += 4) {
        std::uint16_t a = static_cast<std::uint16_t>(pattern[i] | pattern[i + 1] << 8);
        std::uint16_t b = static_cast<std::uint16_t>(pattern[i + 2] | pattern[i + 3] << 8);
        ASSERT_EQ(IdeaMul(a, b), ReferenceMul(a, b)) << a << " * " << b;
    }
}

TEST(IdeaArithmetic, EveryWordHasItsInverse) {
    EXPECT_EQ(IdeaMulInverse(0), 0);
    EXPECT_EQ(IdeaMulInverse(1), 1);
    for (std::uint32_t x = 0; x < 65536; ++x)
        ASSERT_EQ(IdeaMul(static_cast<std::uint16_t>(x), IdeaMulInverse(static_cast<std::uint16_t>(x))), 1) << x;
}

TEST(Des, ParityBitsAreIgnored) {
    const Bytes key = {0x13, 0x34, 0x57, 0x79, 0x9B, 0xBC, 0xDF, 0xF1};
    Bytes flipped = key;
    for (auto& b : flipped)
        b ^= 1;
    DesSchedule a, b;
    DesKeySchedule(key.data(), CipherDirection::Encrypt, a);
    DesKeySchedule(flipped.data(), CipherDirection::Encrypt, b);
    Bytes x = {1, 2, 3, 4, 5, 6, 7, 8};
    Bytes y = x;
    DesCipherBlock(a, x.data());
    DesCipherBlock(b, y.data());
    EXPECT_EQ(x, y);
}

TEST(Des, TripleDesWithThreeEqualKeysIsSingleDes) {
    const Bytes key = test::PatternBytes(8, 7);
    Bytes tripleKey;
    for (int i = 0; i < 3; ++i)
        tripleKey.insert(tripleKey.end(), key.begin(), key.end());
    Bytes single = test::PatternBytes(64, 8);
    Bytes triple = single;
    MakeDesChain(key.data(), true, CipherDirection::Encrypt)->run(single.data(), 8);
    MakeTripleDesChain(tripleKey.data(), CipherDirection::Encrypt)->run(triple.data(), 8);
    EXPECT_EQ(single, triple);
}

// Cipher block chaining built by hand from the single-block functions, for comparison with the chains.
using BlockFunction = std::function<void(std::uint8_t*)>;

Bytes ReferenceCbcEncrypt(const BlockFunction& encrypt, Bytes data, bool chained) {
    Bytes reg(kInitialChainingValue, kInitialChainingValue + 8);
    for (std::size_t i = 0; i < data.size(); i += 8) {
        if (chained)
            for (int j = 0; j < 8; ++j)
                data[i + j] ^= reg[j];
        encrypt(&data[i]);
        reg.assign(data.begin() + static_cast<long>(i), data.begin() + static_cast<long>(i) + 8);
    }
    return data;
}

class ChainPerMethod : public ::testing::TestWithParam<CipherMethod> {
protected:
    BlockFunction referenceEncrypt(const Bytes& key) {
        const CipherMethod method = GetParam();
        if (method == CipherMethod::Idea) {
            auto subkeys = std::make_shared<IdeaSubkeys>();
            IdeaExpandKey(key.data(), *subkeys);
            return [subkeys](std::uint8_t* b) { IdeaCipherBlock(b, b, *subkeys); };
        }
        if (method == CipherMethod::TripleDes) {
            auto s = std::make_shared<std::array<DesSchedule, 3>>();
            DesKeySchedule(key.data(), CipherDirection::Encrypt, (*s)[0]);
            DesKeySchedule(key.data() + 8, CipherDirection::Decrypt, (*s)[1]);
            DesKeySchedule(key.data() + 16, CipherDirection::Encrypt, (*s)[2]);
            return [s](std::uint8_t* b) {
                for (auto& schedule : *s)
                    DesCipherBlock(schedule, b);
            };
        }
        auto schedule = std::make_shared<DesSchedule>();
        DesKeySchedule(key.data(), CipherDirection::Encrypt, *schedule);
        return [schedule](std::uint8_t* b) { DesCipherBlock(*schedule, b); };
    }
};

TEST_P(ChainPerMethod, EncryptionChainsLikeTheReferenceAndDecryptionInvertsIt) {
    const CipherMethod method = GetParam();
    const std::size_t keyLength = InfoOf(method).keyLength;
    const Bytes key = test::PatternBytes(keyLength, 11);
    const Bytes plain = test::PatternBytes(37 * 8, 12);

    const Bytes expected = ReferenceCbcEncrypt(referenceEncrypt(key), plain, method != CipherMethod::DesUnchained);
    // Split over two calls, as chunks are: the chaining register runs on across them.
    Bytes data = plain;
    auto encrypt = MakeBlockChain(method, key.data(), CipherDirection::Encrypt);
    encrypt->run(data.data(), 10);
    encrypt->run(data.data() + 80, 27);
    EXPECT_EQ(data, expected);

    // From one buffer into another, as a file is encrypted into its output's buffer, mixed with calls in
    // place: the same blocks and checksum, and the source left as it was.
    const std::atomic<bool> never{false};
    const Bytes source = plain;
    Bytes into(plain.size());
    Bytes tail(source.begin() + 9 * 8, source.end());
    std::uint32_t checksum = 3;
    auto encryptInto = MakeBlockChain(method, key.data(), CipherDirection::Encrypt);
    EXPECT_EQ(encryptInto->runInto(source.data(), into.data(), 9, 9 * 8, checksum, never), 9u);
    EXPECT_EQ(encryptInto->run(tail.data(), 28, tail.size(), checksum, never), 28u);
    std::copy(tail.begin(), tail.end(), into.begin() + 9 * 8);
    EXPECT_EQ(into, expected);
    EXPECT_EQ(source, plain);
    EXPECT_EQ(checksum, UpdateChecksum(3, plain.data(), plain.size()));

    auto decrypt = MakeBlockChain(method, key.data(), CipherDirection::Decrypt);
    decrypt->run(data.data(), 13);
    decrypt->run(data.data() + 13 * 8, 24);
    EXPECT_EQ(data, plain);
    Bytes decrypted(plain.size());
    checksum = 3;
    EXPECT_EQ(MakeBlockChain(method, key.data(), CipherDirection::Decrypt)
                  ->runInto(expected.data(), decrypted.data(), 37, plain.size(), checksum, never),
              37u);
    EXPECT_EQ(decrypted, plain);
    EXPECT_EQ(checksum, UpdateChecksum(3, plain.data(), plain.size()));
}

TEST_P(ChainPerMethod, ChecksumCoversPlainBytesOnBothSides) {
    const CipherMethod method = GetParam();
    const std::size_t keyLength = InfoOf(method).keyLength;
    const Bytes key = test::PatternBytes(keyLength, 21);
    Bytes data = test::PatternBytes(11 * 8, 22);
    for (std::size_t covered : {std::size_t{0}, std::size_t{5}, std::size_t{40}, std::size_t{83}, std::size_t{88}}) {
        const Bytes plain = data;
        const std::uint32_t expected = UpdateChecksum(7, plain.data(), covered);
        const std::atomic<bool> never{false};
        std::uint32_t onEncrypt = 7;
        MakeBlockChain(method, key.data(), CipherDirection::Encrypt)->run(data.data(), 11, covered, onEncrypt, never);
        std::uint32_t onDecrypt = 7;
        MakeBlockChain(method, key.data(), CipherDirection::Decrypt)->run(data.data(), 11, covered, onDecrypt, never);
        EXPECT_EQ(onEncrypt, expected) << covered;
        EXPECT_EQ(onDecrypt, expected) << covered;
        EXPECT_EQ(data, plain);
    }
}

TEST_P(ChainPerMethod, StopsSoonAfterTheAbortFlagIsSet) {
    const CipherMethod method = GetParam();
    const std::size_t keyLength = InfoOf(method).keyLength;
    const Bytes key = test::PatternBytes(keyLength, 31);
    for (auto direction : {CipherDirection::Encrypt, CipherDirection::Decrypt}) {
        const std::size_t blocks = 2 * kBlocksPerAbortPoll;
        Bytes data = test::PatternBytes(blocks * 8, 32);
        const std::atomic<bool> stop{true};
        std::uint32_t checksum = 0;
        std::size_t done = MakeBlockChain(method, key.data(), direction)->run(data.data(), blocks, 0, checksum, stop);
        EXPECT_GE(done, 1u);
        EXPECT_LE(done, kBlocksPerAbortPoll);
    }
}

INSTANTIATE_TEST_SUITE_P(Methods,
                         ChainPerMethod,
                         ::testing::Values(CipherMethod::DesUnchained,
                                           CipherMethod::Idea,
                                           CipherMethod::DesTyped,
                                           CipherMethod::Des,
                                           CipherMethod::TripleDes),
                         [](const auto& p) { return "method" + std::to_string(CodeOf(p.param)); });

} // namespace
} // namespace vorlaxen
