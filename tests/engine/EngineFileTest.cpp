// EncryptFile and DecryptFile on real files: round trips at the chunk boundaries, the stored format, and
// every failure with what it leaves on disk.

#include "engine/BlockChain.h"
#include "engine/Checksum.h"
#include "engine/ContainerFormat.h"
#include "engine/Des.h"
#include "engine/TKX_Pwd.h"
#include "support/ChildProcess.h"
#include "support/InstructionSets.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vorlaxen {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::Exists;
using test::PatternBytes;
using test::ReadFile;
using test::WriteFile;

Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

class EngineFiles : public ::testing::Test {
protected:
    void SetUp() override {
        pwd.SetPassword("secret-1");
        EngineHooks hooks;
        hooks.abortFlag = &abortFlag;
        hooks.letPendingEventsRun = [this] {
            ++chunks;
            if (onChunk)
                onChunk();
        };
        hooks.wipeOutput = [this](int fd) {
            wiped.push_back(fd);
            return true;
        };
        pwd.SetHooks(std::move(hooks));
    }

    std::string path(const std::string& name) const { return dir / name; }

    test::TempDir dir;
    TKX_Pwd pwd;
    std::atomic<bool> abortFlag{false};
    std::function<void()> onChunk;
    int chunks = 0;
    std::vector<int> wiped; // descriptors of the partial plain outputs overwritten before they went
};

// --- round trips -----------------------------------------------------------------------------------

struct RoundTrip {
    CipherMethod method;
    std::size_t size;
};

void PrintTo(const RoundTrip& r, std::ostream* out) {
    *out << "method " << CodeOf(r.method) << ", " << r.size << " bytes";
}

class EngineRoundTrip : public EngineFiles, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(EngineRoundTrip, ContainerHasTheFormatsLayoutAndDecryptsToTheSameBytes) {
    const auto [method, size] = GetParam();
    const Bytes plain = PatternBytes(size, static_cast<std::uint32_t>(size + 1));
    WriteFile(path("plain.bin"), plain);

    ASSERT_EQ(pwd.EncryptFile(path("plain.bin"), method), ResultCode::Ok);
    const std::uint64_t body = PaddedSize(size);
    const Bytes container = ReadFile(path("plain.bin.cry"));
    ASSERT_EQ(container.size(), kLongHeaderLength + body);
    const ContainerHeader header = DecodeHeader(container.data());
    EXPECT_EQ(std::string(header.magic, header.magic + 3), "KX9");
    EXPECT_EQ(header.magic[3], static_cast<std::uint8_t>(InfoOf(method).letter));
    EXPECT_EQ(header.plainSize, size);
    EXPECT_EQ(header.dataChecksum, UpdateChecksum(0, plain.data(), plain.size()));
    EXPECT_TRUE(std::all_of(container.begin() + 14, container.begin() + 35, [](auto b) { return b == 0; }));
    EXPECT_EQ(pwd.BlocksTotal.load(), static_cast<std::int64_t>(body / 8));
    EXPECT_EQ(pwd.BlocksDone.load(), pwd.BlocksTotal.load());
    EXPECT_EQ(chunks, static_cast<int>((body + kChunkSize - 1) / kChunkSize));
    EXPECT_EQ(ReadFile(path("plain.bin")), plain) << "the engine never changes its input";

    ASSERT_EQ(::unlink(path("plain.bin").c_str()), 0);
    ASSERT_EQ(pwd.DecryptFile(path("plain.bin.cry")), ResultCode::Ok);
    EXPECT_EQ(ReadFile(path("plain.bin")), plain);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"plain.bin", "plain.bin.cry"})) << "no temporary file is left";
}

std::vector<RoundTrip> RoundTrips() {
    std::vector<RoundTrip> cases;
    for (CipherMethod method : {CipherMethod::Idea, CipherMethod::Des, CipherMethod::TripleDes})
        // 600001 bytes pass through the input's buffer (256 KiB) three times, chunks crossing its end.
        for (std::size_t size : {0, 7, 8, 10232, 10233, 10239, 10240, 20472, 20480, 30001, 600001})
            cases.push_back({method, size});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(ChunkBoundaries, EngineRoundTrip, ::testing::ValuesIn(RoundTrips()), [](const auto& p) {
    return "method" + std::to_string(CodeOf(p.param.method)) + "_" + std::to_string(p.param.size) + "bytes";
});

// The small containers hold golden.txt; the large ones (a whole chunk and a part, which the vector
// loops take) 12,345 pattern bytes, both written by the first release's scalar code.
TEST_F(EngineFiles, GoldenContainersAreReproducedAndDecryptInEveryInstructionSet) {
    const std::string data = std::string(VORLAXEN_TEST_DATA) + "/containers/";
    struct Golden {
        CipherMethod method;
        const char* name;
        Bytes plain;
    };
    const Bytes small = ReadFile(data + "golden.txt");
    const Bytes large = PatternBytes(12345, 95);
    const Golden goldens[] = {{CipherMethod::Idea, "golden-idea.txt", small},
                              {CipherMethod::Des, "golden-des.txt", small},
                              {CipherMethod::TripleDes, "golden-3xdes.txt", small},
                              {CipherMethod::Idea, "golden-large-idea.bin", large},
                              {CipherMethod::Des, "golden-large-des.bin", large},
                              {CipherMethod::TripleDes, "golden-large-3xdes.bin", large}};
    pwd.SetPassword("goldenpw");
    for (const auto& [method, name, plain] : goldens) {
        SCOPED_TRACE(name);
        WriteFile(path(name), plain);
        ASSERT_EQ(pwd.EncryptFile(path(name), method), ResultCode::Ok);
        EXPECT_EQ(ReadFile(path(name) + ".cry"), ReadFile(data + name + ".cry"));
        for (VectorIsa isa : test::InstructionSetsHere()) {
            SCOPED_TRACE(VectorIsaName(isa));
            const test::LimitedVectorIsa limit(isa);
            ASSERT_EQ(::unlink(path(name).c_str()), 0);
            ASSERT_EQ(pwd.DecryptFile(path(name) + ".cry"), ResultCode::Ok);
            EXPECT_EQ(ReadFile(path(name)), plain);
        }
    }
}

TEST_F(EngineFiles, AnyOtherRequestedMethodWritesDes) {
    WriteFile(path("a"), "some text");
    for (int requested : {0, 2, 3, 9, -1}) {
        ASSERT_EQ(pwd.EncryptFile(path("a"), static_cast<CipherMethod>(requested)), ResultCode::Ok);
        const Bytes container = ReadFile(path("a.cry"));
        ASSERT_GE(container.size(), 4u) << requested;
        EXPECT_EQ(container[3], 'B') << requested;
    }
}

// Containers of the two read-only DES forms, built the way their writer built them: a 14-byte header
// and the password as typed, zero-filled to 8 bytes, as the key.
Bytes LegacyContainer(int method, const std::string& password, const Bytes& plain) {
    std::uint8_t key[8] = {};
    std::copy(password.begin(), password.end(), key);
    Bytes body = plain;
    body.resize(PaddedSize(plain.size()), 0);
    MakeDesChain(key, method == 2, CipherDirection::Encrypt)->run(body.data(), body.size() / 8);
    ContainerHeader header;
    header.magic[3] = method == 2 ? 'A' : '7';
    header.plainSize = static_cast<std::uint32_t>(plain.size());
    header.dataChecksum = UpdateChecksum(0, plain.data(), plain.size());
    header.keyCheck = static_cast<std::uint16_t>(UpdateChecksum(0, key, 8));
    std::uint8_t headerBytes[kLongHeaderLength];
    EncodeHeader(header, headerBytes);
    Bytes container(kShortHeaderLength + body.size());
    std::copy_n(headerBytes, kShortHeaderLength, container.begin());
    std::copy(body.begin(), body.end(), container.begin() + kShortHeaderLength);
    return container;
}

TEST_F(EngineFiles, ReadsTheLegacyDesForms) {
    for (int method : {0, 2}) {
        for (std::size_t size : {0, 5, 10240, 12345}) {
            SCOPED_TRACE(testing::Message() << "method " << method << ", " << size << " bytes");
            const Bytes plain = PatternBytes(size, 5);
            WriteFile(path("old.doc.cry"), LegacyContainer(method, "legacy", plain));
            pwd.SetPassword("legacy");
            ASSERT_EQ(pwd.DecryptFile(path("old.doc.cry")), ResultCode::Ok);
            EXPECT_EQ(ReadFile(path("old.doc")), plain);
        }
    }
}

TEST_F(EngineFiles, LegacyKeysDifferFromMethodThree) {
    pwd.SetPassword("legacy");
    std::uint8_t key0[24], key2[24], key3[24];
    ASSERT_EQ(pwd.PrepareKey(CipherMethod::DesUnchained, key0), 8u);
    ASSERT_EQ(pwd.PrepareKey(CipherMethod::DesTyped, key2), 8u);
    ASSERT_EQ(pwd.PrepareKey(CipherMethod::Des, key3), 8u);
    EXPECT_EQ(Bytes(key0, key0 + 8), Bytes(key2, key2 + 8));
    EXPECT_EQ(Bytes(key0, key0 + 8), (Bytes{'l', 'e', 'g', 'a', 'c', 'y', 0, 0}));
    EXPECT_EQ(Bytes(key3, key3 + 8),
              (Bytes{'l' ^ 0x5D, 'e' ^ 0x5D, 'g' ^ 0x5D, 'a' ^ 0x5D, 'c' ^ 0x5D, 'y' ^ 0x5D, 0, 0}));

    // A method 2 container relabelled as method 3 (same bytes, long header) fails the key check.
    Bytes container = LegacyContainer(2, "legacy", PatternBytes(100, 9));
    container[3] = 'B';
    container.insert(container.begin() + 14, 21, 0);
    WriteFile(path("relabelled.cry"), container);
    EXPECT_EQ(pwd.DecryptFile(path("relabelled.cry")), ResultCode::WrongPassword);
}

TEST_F(EngineFiles, ADesOperationCutsThePasswordForLaterOperations) {
    pwd.SetPassword("0123456789");
    std::uint8_t des[24], idea[24], ideaFromPrefix[24];
    pwd.PrepareKey(CipherMethod::Des, des);
    EXPECT_EQ(pwd.PasswordLength, 8);
    pwd.PrepareKey(CipherMethod::Idea, idea);
    TKX_Pwd prefix;
    prefix.SetPassword("01234567");
    prefix.PrepareKey(CipherMethod::Idea, ideaFromPrefix);
    EXPECT_EQ(Bytes(idea, idea + 16), Bytes(ideaFromPrefix, ideaFromPrefix + 16));
}

TEST(KeyPreparation, MaskingTwiceRestoresTheBytes) {
    Bytes bytes = {'p', 'a', 's', 's', 0x00, 0xFF};
    const Bytes original = bytes;
    MaskBytes(bytes.data(), bytes.size());
    EXPECT_EQ(bytes[0], 'p' ^ 0x5D);
    MaskBytes(bytes.data(), bytes.size());
    EXPECT_EQ(bytes, original);
}

TEST(KeyPreparation, FillKeyRepeatsThePasswordUnderTheWhitening) {
    const Bytes masked = {1, 2, 3};
    std::uint8_t key[16];
    FillKey(key, 16, masked.data(), masked.size());
    // Two positions whose whitening bytes differ must differ even where the password byte is the same.
    EXPECT_NE(key[0], key[3]);
    // Whitening is a fixed sequence: XORing it out leaves the repeated password.
    std::uint8_t zeros[16];
    const Bytes none = {0, 0, 0};
    FillKey(zeros, 16, none.data(), none.size());
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(key[i] ^ zeros[i], masked[static_cast<std::size_t>(i) % 3]) << i;
    EXPECT_EQ(zeros[0], 0x2B);
    EXPECT_EQ(zeros[1], 0xC8);
}

// --- failures and what they leave on disk ------------------------------------------------------------

TEST_F(EngineFiles, MissingOrUnopenableInputCreatesNothing) {
    EXPECT_EQ(pwd.EncryptFile(path("absent"), CipherMethod::Idea), ResultCode::CannotOpen);
    EXPECT_EQ(pwd.DecryptFile(path("absent.cry")), ResultCode::CannotOpen);
    ASSERT_EQ(::mkdir(path("folder").c_str(), 0700), 0);
    EXPECT_EQ(pwd.EncryptFile(path("folder"), CipherMethod::Idea), ResultCode::NotRegularFile);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"folder"});
}

TEST_F(EngineFiles, AnOutputThatCannotBeCreatedLeavesEverythingAsItWas) {
    WriteFile(path("a"), "plain");
    ASSERT_EQ(::mkdir(path("a.cry").c_str(), 0700), 0);
    EXPECT_EQ(pwd.EncryptFile(path("a"), CipherMethod::Idea), ResultCode::CannotCreate);

    ASSERT_EQ(::rmdir(path("a.cry").c_str()), 0);
    ASSERT_EQ(pwd.EncryptFile(path("a"), CipherMethod::Idea), ResultCode::Ok);
    ASSERT_EQ(::unlink(path("a").c_str()), 0);
    ASSERT_EQ(::mkdir(path("a").c_str(), 0700), 0);
    EXPECT_EQ(pwd.DecryptFile(path("a.cry")), ResultCode::CannotCreate);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"a", "a.cry"}));

    // A container whose name leaves no plain name.
    WriteFile(path(".cry"), ReadFile(path("a.cry")));
    EXPECT_EQ(pwd.DecryptFile(path(".cry")), ResultCode::CannotCreate);
}

TEST_F(EngineFiles, UnwritableDirectoryIsCannotCreate) {
    test::RunWherePermissionsBind({dir.path()}, [this] {
        ASSERT_EQ(::mkdir(path("locked").c_str(), 0700), 0);
        WriteFile(path("locked/a"), "plain");
        ASSERT_EQ(::chmod(path("locked").c_str(), 0500), 0);
        EXPECT_EQ(pwd.EncryptFile(path("locked/a"), CipherMethod::Idea), ResultCode::CannotCreate);
        ::chmod(path("locked").c_str(), 0700);
        EXPECT_FALSE(Exists(path("locked/a.cry")));
    });
}

TEST_F(EngineFiles, ShortOrUnknownHeadersAreRefusedWithoutOutput) {
    WriteFile(path("short.cry"), Bytes(13, 0x38));
    EXPECT_EQ(pwd.DecryptFile(path("short.cry")), ResultCode::ReadFailed) << "fewer than 14 bytes: unreadable";

    Bytes longHeaderCut = {'K', 'X', '9', '8'};
    longHeaderCut.resize(20, 0);
    WriteFile(path("cut.cry"), longHeaderCut);
    EXPECT_EQ(pwd.DecryptFile(path("cut.cry")), ResultCode::ReadFailed) << "a 35-byte header cut at 20";

    Bytes unknown = {'K', 'X', '9', 'Z'};
    unknown.resize(43, 0);
    WriteFile(path("unknown.cry"), unknown);
    EXPECT_EQ(pwd.DecryptFile(path("unknown.cry")), ResultCode::NotContainer);

    EXPECT_EQ(dir.names(), (std::vector<std::string>{"cut.cry", "short.cry", "unknown.cry"}));
    EXPECT_TRUE(wiped.empty()) << "no plain byte was written, so nothing needed a wipe";
}

TEST_F(EngineFiles, OnlyTheFourthMagicByteNamesTheMethod) {
    WriteFile(path("a"), PatternBytes(100));
    ASSERT_EQ(pwd.EncryptFile(path("a"), CipherMethod::Idea), ResultCode::Ok);
    Bytes container = ReadFile(path("a.cry"));
    ASSERT_GE(container.size(), kLongHeaderLength);
    container[0] = 'Q';
    container[1] = 'Q';
    container[2] = 'Q';
    WriteFile(path("a.cry"), container);
    ASSERT_EQ(::unlink(path("a").c_str()), 0);
    EXPECT_EQ(pwd.DecryptFile(path("a.cry")), ResultCode::Ok);
    EXPECT_EQ(MethodNameOfFile(path("a.cry")), "IDEA");
}

TEST_F(EngineFiles, WrongPasswordLeavesNoOutputAndTheContainerUntouched) {
    WriteFile(path("a"), PatternBytes(50000));
    ASSERT_EQ(pwd.EncryptFile(path("a"), CipherMethod::TripleDes), ResultCode::Ok);
    ASSERT_EQ(::unlink(path("a").c_str()), 0);
    const Bytes container = ReadFile(path("a.cry"));
    pwd.SetPassword("secret-2");
    EXPECT_EQ(pwd.DecryptFile(path("a.cry")), ResultCode::WrongPassword);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"a.cry"});
    EXPECT_EQ(ReadFile(path("a.cry")), container);
    EXPECT_TRUE(wiped.empty());
}

TEST_F(EngineFiles, DamagedContainersFailTheDataChecksumAndTheirOutputIsWiped) {
    const Bytes plain = PatternBytes(25003);
    WriteFile(path("a"), plain);
    ASSERT_EQ(pwd.EncryptFile(path("a"), CipherMethod::Idea), ResultCode::Ok);
    ASSERT_EQ(::unlink(path("a").c_str()), 0);
    const Bytes good = ReadFile(path("a.cry"));
    ASSERT_EQ(good.size(), kLongHeaderLength + PaddedSize(plain.size()));

    auto expectRefused = [&](const Bytes& damaged, const char* what) {
        SCOPED_TRACE(what);
        wiped.clear();
        WriteFile(path("a.cry"), damaged);
        EXPECT_EQ(pwd.DecryptFile(path("a.cry")), ResultCode::WrongPassword);
        EXPECT_EQ(dir.names(), std::vector<std::string>{"a.cry"});
        ASSERT_EQ(wiped.size(), 1u) << "decrypted data reached the output: it must be wiped";
        EXPECT_EQ(test::ReadFile(path("a.cry")), damaged);
    };
    Bytes checksumAltered = good;
    checksumAltered[9] ^= 0x01;
    expectRefused(checksumAltered, "stored checksum altered");
    Bytes bodyFlipped = good;
    bodyFlipped[20000] ^= 0x80;
    expectRefused(bodyFlipped, "one body byte flipped");
    Bytes cut(good.begin(), good.end() - 8);
    expectRefused(cut, "body cut short by a block");
    Bytes ragged(good.begin(), good.end() - 3);
    expectRefused(ragged, "body cut inside a block");
    Bytes lengthened = good;
    lengthened.insert(lengthened.end(), 10240, 0);
    expectRefused(lengthened, "body lengthened by a chunk");
}

TEST_F(EngineFiles, AContainerMissingOnlyItsPaddingBlockStillYieldsEveryByte) {
    const Bytes plain = PatternBytes(24000);
    WriteFile(path("a"), plain);
    ASSERT_EQ(pwd.EncryptFile(path("a"), CipherMethod::Idea), ResultCode::Ok);
    ASSERT_EQ(::unlink(path("a").c_str()), 0);
    Bytes container = ReadFile(path("a.cry"));
    ASSERT_EQ(container.size(), kLongHeaderLength + PaddedSize(plain.size()));
    container.resize(container.size() - 8);
    WriteFile(path("a.cry"), container);
    EXPECT_EQ(pwd.DecryptFile(path("a.cry")), ResultCode::Ok);
    EXPECT_EQ(ReadFile(path("a")), plain);
}

TEST_F(EngineFiles, AbortStopsEncryptionAndKeepsSourceAndExistingContainer) {
    const Bytes plain = PatternBytes(100000);
    WriteFile(path("a"), plain);
    WriteFile(path("a.cry"), "the previous container");
    onChunk = [this] { abortFlag = true; };
    EXPECT_EQ(pwd.EncryptFile(path("a"), CipherMethod::Idea), ResultCode::Aborted);
    EXPECT_EQ(chunks, 1);
    EXPECT_GT(pwd.BlocksDone.load(), 1280) << "stopped at the first block after the flag was set";
    EXPECT_LT(pwd.BlocksDone.load(), pwd.BlocksTotal.load());
    EXPECT_EQ(ReadFile(path("a")), plain);
    EXPECT_EQ(ReadFile(path("a.cry")), Text("the previous container"));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"a", "a.cry"}));
    EXPECT_TRUE(wiped.empty()) << "a container holds no plain data: deleted, not wiped";
}

TEST_F(EngineFiles, AbortStopsDecryptionAndWipesThePartialOutput) {
    WriteFile(path("a"), PatternBytes(100000));
    ASSERT_EQ(pwd.EncryptFile(path("a"), CipherMethod::Des), ResultCode::Ok);
    WriteFile(path("a"), "an unrelated plain file of that name");
    const Bytes container = ReadFile(path("a.cry"));
    onChunk = [this] { abortFlag = true; };
    EXPECT_EQ(pwd.DecryptFile(path("a.cry")), ResultCode::Aborted);
    EXPECT_EQ(wiped.size(), 1u);
    EXPECT_EQ(ReadFile(path("a.cry")), container);
    EXPECT_EQ(ReadFile(path("a")), Text("an unrelated plain file of that name"));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"a", "a.cry"}));
}

TEST_F(EngineFiles, InputsThatShrinkWhileReadHaveChanged) {
    WriteFile(path("a"), PatternBytes(100000));
    onChunk = [this] { ::truncate(path("a").c_str(), 15000); };
    EXPECT_EQ(pwd.EncryptFile(path("a"), CipherMethod::Idea), ResultCode::SourceChanged);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"a"});

    onChunk = nullptr;
    WriteFile(path("a"), PatternBytes(100000));
    ASSERT_EQ(pwd.EncryptFile(path("a"), CipherMethod::Idea), ResultCode::Ok);
    ASSERT_EQ(::unlink(path("a").c_str()), 0);
    onChunk = [this] { ::truncate(path("a.cry").c_str(), 30000); };
    EXPECT_EQ(pwd.DecryptFile(path("a.cry")), ResultCode::ContainerChanged);
    EXPECT_EQ(wiped.size(), 1u);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"a.cry"});
}

TEST_F(EngineFiles, AFullDiskIsAWriteFailureThatKeepsEverything) {
    const Bytes plain = PatternBytes(300000);
    WriteFile(path("a"), plain);
    WriteFile(path("a.cry"), "old container");
    int code = test::RunWithFileSizeLimit(
        100000, [this] { return -static_cast<int>(pwd.EncryptFile(path("a"), CipherMethod::Idea)); });
    EXPECT_EQ(code, 15);
    EXPECT_EQ(ReadFile(path("a")), plain);
    EXPECT_EQ(ReadFile(path("a.cry")), Text("old container"));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"a", "a.cry"}));

    ASSERT_EQ(pwd.EncryptFile(path("a"), CipherMethod::Idea), ResultCode::Ok);
    ASSERT_EQ(::unlink(path("a").c_str()), 0);
    code = test::RunWithFileSizeLimit(100000, [this] { return -static_cast<int>(pwd.DecryptFile(path("a.cry"))); });
    EXPECT_EQ(code, 15);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"a.cry"}) << "the partial plain output is gone";
}

TEST_F(EngineFiles, FilesOfFourGigabytesAreRefusedBeforeAnythingIsCreated) {
    const std::string big = path("big.iso");
    {
        int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t{1} << 32), 0) << "a sparse file takes no space";
        ::close(fd);
    }
    EXPECT_EQ(pwd.EncryptFile(big, CipherMethod::Idea), ResultCode::TooLarge);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"big.iso"});
    EXPECT_NE(ResultText(ResultCode::TooLarge, "big.iso").find("big.iso"), std::string::npos);
}

// --- streams ---------------------------------------------------------------------------------------

// The reading end of a pipe that a thread fills with `bytes` and then closes.
class FedPipe {
public:
    explicit FedPipe(Bytes bytes) {
        std::signal(SIGPIPE, SIG_IGN);
        if (::pipe(fds_) != 0)
            throw std::runtime_error("pipe");
        writer_ = std::thread([this, bytes = std::move(bytes)] {
            (void)WriteFully(fds_[1], bytes.data(), bytes.size());
            ::close(fds_[1]);
        });
    }
    ~FedPipe() {
        ::close(fds_[0]); // a writer still writing stops
        writer_.join();
    }
    int fd() const { return fds_[0]; }

private:
    int fds_[2] = {-1, -1};
    std::thread writer_;
};

// Across the chunk boundaries and for each method written, a stream encrypts to the very container that
// the file encrypts to (the header filled in last), and a container decrypts from a pipe or an open file
// to the sink as it does to a file.
TEST_F(EngineFiles, StreamsEncryptAndDecryptAsFilesDo) {
    for (const CipherMethod method : {CipherMethod::Idea, CipherMethod::TripleDes})
        for (const std::size_t size : {0ul, 1ul, 10239ul, 10240ul, 10241ul, 3 * 10240ul + 5, 300000ul}) {
            SCOPED_TRACE(testing::Message() << CodeOf(method) << ", " << size << " bytes");
            const Bytes plain = PatternBytes(size, static_cast<std::uint32_t>(size));
            WriteFile(path("a"), plain);
            ASSERT_EQ(pwd.EncryptFile(path("a"), method), ResultCode::Ok);
            const Bytes container = ReadFile(path("a.cry"));
            {
                FedPipe in(plain);
                PendingFile out(path("s.cry"));
                ASSERT_EQ(pwd.EncryptStream(in.fd(), method, out), ResultCode::Ok);
                ASSERT_EQ(out.commit(), PendingFile::Commit::Done);
            }
            EXPECT_EQ(ReadFile(path("s.cry")), container);

            Bytes fromPipe;
            const PlainSink collect = [&fromPipe](const std::uint8_t* data, std::size_t n) {
                fromPipe.insert(fromPipe.end(), data, data + n);
                return true;
            };
            {
                FedPipe in(container);
                EXPECT_EQ(pwd.DecryptStream(in.fd(), 0, collect), ResultCode::Ok);
            }
            EXPECT_EQ(fromPipe, plain);
            fromPipe.clear();
            const UniqueFd file(::open(path("s.cry").c_str(), O_RDONLY));
            EXPECT_EQ(pwd.DecryptStream(file.get(), container.size(), collect), ResultCode::Ok);
            EXPECT_EQ(fromPipe, plain);
        }
}

// A container from a pipe can be judged only at its end: its data has gone to the sink by then. A wrong
// password gives nothing; a sink that takes no more stops the run at once.
TEST_F(EngineFiles, DamagedStreamsFailAfterTheirData) {
    const Bytes plain = PatternBytes(50000);
    WriteFile(path("a"), plain);
    ASSERT_EQ(pwd.EncryptFile(path("a"), CipherMethod::Idea), ResultCode::Ok);
    const Bytes good = ReadFile(path("a.cry"));
    std::size_t given = 0;
    int calls = 0;
    bool taking = true;
    const PlainSink count = [&](const std::uint8_t*, std::size_t n) {
        given += n;
        ++calls;
        return taking;
    };
    auto decrypt = [&](const Bytes& container) {
        given = 0;
        calls = 0;
        FedPipe in(container);
        return pwd.DecryptStream(in.fd(), 0, count);
    };
    Bytes altered = good;
    altered[30000] ^= 0x04;
    EXPECT_EQ(decrypt(altered), ResultCode::WrongPassword);
    EXPECT_EQ(given, plain.size());
    Bytes trailing = good;
    trailing.push_back(0);
    EXPECT_EQ(decrypt(trailing), ResultCode::WrongPassword);
    EXPECT_EQ(decrypt(Bytes(good.begin(), good.end() - 8)), ResultCode::ReadFailed);
    EXPECT_EQ(decrypt(Bytes(good.begin(), good.begin() + 20)), ResultCode::ReadFailed);
    EXPECT_EQ(decrypt({}), ResultCode::ReadFailed);
    EXPECT_EQ(given, 0u);

    taking = false;
    EXPECT_EQ(decrypt(good), ResultCode::WriteFailed);
    EXPECT_EQ(calls, 1);
    taking = true;
    pwd.SetPassword("another-1");
    EXPECT_EQ(decrypt(good), ResultCode::WrongPassword);
    EXPECT_EQ(given, 0u);
}

TEST(ResultTexts, AreTheProgramsMessages) {
    EXPECT_EQ(ResultText(ResultCode::CannotOpen, "a.txt"), "Couldn't open file a.txt .");
    EXPECT_EQ(ResultText(ResultCode::CannotCreate, "a.txt"), "Couldn't create a new file.");
    EXPECT_EQ(ResultText(ResultCode::ReadFailed, "a.txt"), "Couldn't read file a.txt .");
    EXPECT_EQ(ResultText(ResultCode::WrongPassword, "a.txt"),
              "Invalid password for the file a.txt !Press 'All' button to abort processing the file list.");
    EXPECT_EQ(ResultText(ResultCode::NoMemory, "a.txt"), "No memory.");
    EXPECT_EQ(ResultText(ResultCode::NotContainer, "a.txt"), "Cannot identify file a.txt as a valid crypted file.");
    EXPECT_EQ(ResultText(ResultCode::Aborted, "a.txt"), "You have aborted processing a.txt.");
    EXPECT_EQ(ResultText(ResultCode::WriteFailed, "a.txt"),
              "Processing file a.txt has been aborted. The disk may be full.");
    EXPECT_EQ(ResultText(ResultCode::Ok, "a.txt"), "");
    EXPECT_EQ(ResultText(static_cast<ResultCode>(-3), "a.txt"), "");
    EXPECT_TRUE(OffersAllButton(ResultCode::WrongPassword));
    EXPECT_FALSE(OffersAllButton(ResultCode::ReadFailed));
}

TEST(ContainerNames, MethodNamesAndPaths) {
    test::TempDir dir;
    for (auto [letter, name] :
         {std::pair{'7', "DES"}, {'A', "DES"}, {'B', "DES"}, {'8', "IDEA"}, {'C', "3xDES"}, {'9', "-"}}) {
        WriteFile(dir / "f", std::string("KX9") + letter);
        EXPECT_EQ(MethodNameOfFile(dir / "f"), name) << letter;
    }
    WriteFile(dir / "short", "KX9");
    EXPECT_EQ(MethodNameOfFile(dir / "short"), "-");
    EXPECT_EQ(MethodNameOfFile(dir / "missing"), "-");
    EXPECT_EQ(MethodName(CipherMethod::DesUnchained), "DES");
    EXPECT_EQ(MethodName(CipherMethod::Idea), "IDEA");
    EXPECT_EQ(MethodName(CipherMethod::TripleDes), "3xDES");
    EXPECT_EQ(MethodName(static_cast<CipherMethod>(5)), "");
    // The companion's spellings name the writable methods only, in code order.
    EXPECT_EQ(MethodSpellings("|"), "idea|des|3xdes");
    ASSERT_NE(MethodBySpelling("3xdes"), nullptr);
    EXPECT_EQ(MethodBySpelling("3xdes")->code, CipherMethod::TripleDes);
    EXPECT_EQ(MethodBySpelling("DES"), nullptr);
}

} // namespace
} // namespace vorlaxen
