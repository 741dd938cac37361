// The key file on disk: the layout against files made independently of this program, its sizes and
// chunks, the master password's key, every kind of damage, and what a failed write leaves behind.

#include "passwords/TableFixture.h"
#include "support/ChildProcess.h"
#include "support/Unprivileged.h"
#include "support/VectorFile.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {
namespace {

using test::ReadFile;
using test::WriteFile;
using Bytes = std::vector<std::uint8_t>;
using Keys = std::vector<std::string>;

std::string FixturePath(const std::string& name) {
    return std::string(VORLAXEN_TEST_DATA) + "/keyfiles/" + name;
}

std::uint32_t Le32At(const Bytes& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
    return value;
}

Bytes TableTextOf(const EntryList& entries) {
    Bytes text(entries.TextLength());
    entries.WriteText(text.data());
    return text;
}

class KeyFileVectors : public test::TableTest, public ::testing::WithParamInterface<test::Vector> {};

TEST_P(KeyFileVectors, ReadsAndWritesTheFileByteForByte) {
    const test::Vector& vector = GetParam();
    const Bytes fixture = ReadFile(FixturePath(vector.fields.at("File")));
    WriteFile(keyPath, fixture);
    master = vector.fields.at("Master");
    table.MasterPass.SetPassword(master);
    table.MasterPass.Valid = true;

    EXPECT_EQ(table.LoadKeyFile(false), ResultCode::Ok);
    ASSERT_EQ(table.LoadKeyFile(true), ResultCode::Ok);
    EXPECT_EQ(TableTextOf(table.Entries), vector.bytes("Text"));
    table.Entries.Clear();

    // An addition and its look-up rewrite the same table, which must give the same bytes.
    ASSERT_TRUE(store("/probe", "probe-pw"));
    ASSERT_EQ(find("/probe"), "probe-pw");
    EXPECT_EQ(ReadFile(keyPath), fixture);

    table.MasterPass.SetPassword("x" + master.substr(1));
    EXPECT_EQ(table.LoadKeyFile(false), ResultCode::WrongPassword);
    EXPECT_TRUE(host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, KeyFileVectors, ::testing::ValuesIn(test::ReadVectorFile("keyfiles/keyfiles.vec")));

class KeyFile : public test::TableTest {};

TEST_F(KeyFile, BodiesArePaddedToWholeBlocksAndReadInChunks) {
    // An empty table: a 14-byte header and one block of padding.
    ASSERT_TRUE(store("/a", "pass-word"));
    ASSERT_TRUE(find("/a"));
    Bytes empty = ReadFile(keyPath);
    ASSERT_EQ(empty.size(), 22u);
    EXPECT_EQ(Le32At(empty, 4), 0u);

    // "/a=pwd\r\n" is 8 bytes: a full block of padding follows it.
    ASSERT_TRUE(store("/a", "pwd"));
    EXPECT_EQ(ReadFile(keyPath).size(), 14u + 16u);
    ASSERT_TRUE(find("/a"));

    // 10233 bytes of text make a body of exactly 10240 bytes: one full chunk and an empty last one.
    std::string text;
    for (int i = 0; i < 5; ++i) {
        const std::string key = "/files/" + std::to_string(1000 + i);
        const std::string password = "pw-" + std::to_string(i * 7919);
        ASSERT_TRUE(store(key, password));
        text += key + "=" + password + "\r\n";
    }
    const std::string lastKey = "/files/zz";
    const std::size_t room = 10233 - text.size() - lastKey.size() - 3;
    ASSERT_GT(room, 6u);
    const std::string longPassword = std::string(room, 'L');
    ASSERT_TRUE(store(lastKey, longPassword));
    const Bytes full = ReadFile(keyPath);
    ASSERT_EQ(full.size(), 14u + 10240u);
    EXPECT_EQ(Le32At(full, 4), 10233u);

    host.eventPasses = 0;
    ASSERT_EQ(table.LoadKeyFile(true), ResultCode::Ok);
    EXPECT_EQ(host.eventPasses, 2) << "pending events run after the full chunk and after the empty last one";
    EXPECT_EQ(table.Entries.TextLength(), 10233u);
    table.Entries.Clear();
    EXPECT_EQ(find(lastKey), longPassword);
    EXPECT_EQ(find("/files/1000"), "pw-0");
    EXPECT_EQ(find("/files/1004"), "pw-" + std::to_string(4 * 7919));
}

TEST_F(KeyFile, AMasterPasswordLongerThanSixteenIsCutToSixteen) {
    master = "sixteen-chars-16-and-more";
    ASSERT_TRUE(store("/a", "pass-word"));
    EXPECT_EQ(table.MasterPass.PasswordLength, 16);

    test::FakeHost otherHost;
    TKX_Pwd otherFile;
    TKX_PwdTable other(otherHost, otherHost, otherHost, otherFile);
    other.MasterPass.KeyFilePath = keyPath;
    other.MasterPass.SetPassword("sixteen-chars-16");
    EXPECT_EQ(other.LoadKeyFile(false), ResultCode::Ok) << "its first 16 characters open the file";
    other.MasterPass.SetPassword("sixteen-chars-1");
    EXPECT_EQ(other.LoadKeyFile(false), ResultCode::WrongPassword);
}

// Damage of every kind to a good key file: each is reported, and the file stays exactly as it was.
struct Damage {
    const char* name;
    void (*apply)(Bytes&);
    ResultCode code;
};

void PrintTo(const Damage& damage, std::ostream* out) {
    *out << damage.name;
}

const Damage kDamages[] = {
    {"wrong magic", [](Bytes& b) { b[3] = '7'; }, ResultCode::NotContainer},
    {"zero bytes long", [](Bytes& b) { b.clear(); }, ResultCode::ReadFailed},
    {"header cut short", [](Bytes& b) { b.resize(13); }, ResultCode::ReadFailed},
    {"last byte cut", [](Bytes& b) { b.pop_back(); }, ResultCode::ReadFailed},
    {"last block cut", [](Bytes& b) { b.resize(b.size() - 8); }, ResultCode::ReadFailed},
    {"bytes appended", [](Bytes& b) { b.insert(b.end(), 8, 0); }, ResultCode::ReadFailed},
    {"text length far beyond the size", [](Bytes& b) { b[7] = 0x7F; }, ResultCode::ReadFailed},
    {"negative text length", [](Bytes& b) { b[7] = 0xFF; }, ResultCode::ReadFailed},
    {"text length a block shorter",
     [](Bytes& b) { b[4] = static_cast<std::uint8_t>(b[4] - 8); },
     ResultCode::ReadFailed},
    {"flipped body byte", [](Bytes& b) { b[40] ^= 0x01; }, ResultCode::WrongPassword},
    {"flipped last byte", [](Bytes& b) { b.back() ^= 0x80; }, ResultCode::WrongPassword},
    {"flipped data checksum", [](Bytes& b) { b[9] ^= 0x04; }, ResultCode::WrongPassword},
    {"flipped key check", [](Bytes& b) { b[12] ^= 0x01; }, ResultCode::WrongPassword},
};

class DamagedKeyFile : public test::TableTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedKeyFile, IsReportedAndLeftAsItWas) {
    Bytes damaged = ReadFile(FixturePath("two-entries.pt98"));
    GetParam().apply(damaged);
    WriteFile(keyPath, damaged);
    host.onAskMasterPassword();

    EXPECT_EQ(table.LoadKeyFile(true), GetParam().code);
    table.Entries.Clear();
    EXPECT_FALSE(store("/home/ann/new.txt", "pass-word"));
    EXPECT_EQ(find("/home/ann/letter.txt"), std::nullopt);
    Keys keys;
    EXPECT_FALSE(table.ListKeys(keys));
    EXPECT_EQ(messages(), Keys(3, TKX_PwdTable::kAccessErrorText));
    EXPECT_EQ(ReadFile(keyPath), damaged);
    EXPECT_EQ(dir.names(), (Keys{".xwords.001.lock", "xwords.001"})) << "the key file and its lock file alone";
}

INSTANTIATE_TEST_SUITE_P(EveryKind, DamagedKeyFile, ::testing::ValuesIn(kDamages));

TEST_F(KeyFile, AWrongMasterPasswordChangesNothing) {
    WriteFile(keyPath, ReadFile(FixturePath("two-entries.pt98")));
    const Bytes before = ReadFile(keyPath);
    master = "not-the-master";
    EXPECT_FALSE(store("/home/ann/new.txt", "pass-word"));
    EXPECT_EQ(find("/home/ann/letter.txt"), std::nullopt);
    EXPECT_EQ(messages(), Keys(2, TKX_PwdTable::kAccessErrorText));
    EXPECT_EQ(ReadFile(keyPath), before);
}

TEST_F(KeyFile, AFailedWriteLeavesTheOldKeyFileWhole) {
    ASSERT_TRUE(store("/home/ann/a.txt", "kept-pw"));
    const Bytes before = ReadFile(keyPath);

    // A disk that fills up: the new table (over 4 KB with this password) cannot be written completely.
    const int outcome = test::RunWithFileSizeLimit(4096, [this] {
        const bool stored = store("/home/ann/b.txt", std::string(5000, 'p'));
        return (stored ? 1 : 0) | (messages() == Keys{TKX_PwdTable::kAccessErrorText} ? 0 : 2);
    });
    EXPECT_EQ(outcome, 0) << "the store fails and says so";
    EXPECT_EQ(ReadFile(keyPath), before);
    EXPECT_EQ(dir.names(), (Keys{".xwords.001.lock", "xwords.001"})) << "no temporary file is left behind";

    // A look-up whose shortened table cannot be written still finds the password, and the entry stays.
    ASSERT_TRUE(store("/home/ann/c.txt", std::string(5000, 'q')));
    ASSERT_TRUE(store("/home/ann/d.txt", std::string(5000, 'r')));
    const Bytes large = ReadFile(keyPath);
    const int lookUp =
        test::RunWithFileSizeLimit(4096, [this] { return find("/home/ann/c.txt") == std::string(5000, 'q') ? 0 : 1; });
    EXPECT_EQ(lookUp, 0);
    EXPECT_EQ(ReadFile(keyPath), large);
    EXPECT_EQ(find("/home/ann/c.txt"), std::string(5000, 'q'));
    EXPECT_EQ(find("/home/ann/a.txt"), "kept-pw");
}

TEST_F(KeyFile, AnUnwritableDirectoryLeavesTheOldKeyFileWhole) {
    test::RunWherePermissionsBind({dir.path()}, [this] {
        ASSERT_TRUE(store("/home/ann/a.txt", "kept-pw"));
        const Bytes before = ReadFile(keyPath);
        ASSERT_EQ(::chmod(dir.path().c_str(), 0500), 0);
        EXPECT_FALSE(store("/home/ann/b.txt", "new-pw"));
        EXPECT_TRUE(find("/home/ann/a.txt")) << "found, although the shortened table cannot be written";
        ::chmod(dir.path().c_str(), 0700);
        EXPECT_EQ(messages(), Keys(2, TKX_PwdTable::kAccessErrorText));
        EXPECT_EQ(ReadFile(keyPath), before);
    });
}

TEST_F(KeyFile, AReplacedKeyFileKeepsItsLinkAndIsReadableByItsOwnerOnly) {
    const std::string real = dir / "real.keys";
    ASSERT_EQ(::symlink(real.c_str(), keyPath.c_str()), 0);
    ASSERT_TRUE(store("/a", "pass-word"));
    struct stat st;
    ASSERT_EQ(::lstat(keyPath.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(find("/a"), "pass-word");
}

} // namespace
} // namespace vorlaxen
