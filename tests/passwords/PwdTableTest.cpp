// What the password table promises its callers: a stored password is found once, under exactly its key;
// the master password is asked for when none is held; what cannot be found again is never stored.

#include "passwords/TableFixture.h"

#include <cstdlib>
#include <sys/stat.h>

namespace vorlaxen {
namespace {

using test::Exists;
using test::ReadFile;
using Keys = std::vector<std::string>;

class PwdTable : public test::TableTest {};

TEST_F(PwdTable, ASecondStoreReplacesTheFirstAndALookUpRemovesTheEntry) {
    ASSERT_TRUE(store("/home/ann/a.txt", "first-pw"));
    ASSERT_TRUE(store("/home/ann/b.txt", "other-pw"));
    ASSERT_TRUE(store("/home/ann/a.txt", "second-pw"));

    EXPECT_EQ(find("/home/ann/a.txt"), "second-pw");
    EXPECT_EQ(find("/home/ann/a.txt"), std::nullopt) << "the look-up removed the entry";
    EXPECT_EQ(find("/home/ann/b.txt"), "other-pw");
    EXPECT_EQ(ReadFile(keyPath).size(), 22u) << "a table that lost its last entry remains, empty";
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(PwdTable, KeysAreComparedExactlyAndLinesKeptInByteOrder) {
    ASSERT_TRUE(store("/Docs/a.txt", "upper-pw"));
    ASSERT_TRUE(store("/docs/a.txt", "lower-pw"));
    ASSERT_TRUE(store("/docs/a.txt.bak", "longer-pw"));
    ASSERT_TRUE(store("/docs/a", "shorter-pw"));

    Keys keys;
    ASSERT_TRUE(table.ListKeys(keys));
    // Whole lines sort byte by byte: "." (0x2E) comes before the "=" (0x3D) that ends a key.
    EXPECT_EQ(keys, (Keys{"/Docs/a.txt", "/docs/a.txt.bak", "/docs/a.txt", "/docs/a"}));
    EXPECT_EQ(find("/DOCS/A.TXT"), std::nullopt);
    EXPECT_EQ(find("/docs/a.tx"), std::nullopt) << "a prefix of a key is not the key";
    EXPECT_EQ(find("/docs/a.txt"), "lower-pw");
    EXPECT_EQ(find("/Docs/a.txt"), "upper-pw");
    EXPECT_EQ(find("/docs/a"), "shorter-pw");
}

TEST_F(PwdTable, ThePasswordIsEverythingAfterTheFirstEquals) {
    ASSERT_TRUE(store("/a", "x=y==z"));
    ASSERT_TRUE(store("/b", "=leading"));
    EXPECT_EQ(find("/a"), "x=y==z");
    EXPECT_EQ(find("/b"), "=leading");
}

TEST_F(PwdTable, WhatCouldNeverBeFoundAgainIsRefusedWithItsReason) {
    file.SetPassword("pass-word");
    EXPECT_FALSE(table.StorePassword("/home/ann/x=1.txt"));
    EXPECT_FALSE(table.StorePassword("/home/ann/two\nlines"));
    file.SetPassword(std::string("pass\r\nword"));
    EXPECT_FALSE(table.StorePassword("/home/ann/plain.txt"));
    EXPECT_EQ(messages(),
              (Keys{"The password for the file /home/ann/x=1.txt was not stored: the database of passwords cannot "
                    "find a file again whose full path contains \"=\".",
                    "The password for the file /home/ann/two\nlines was not stored: the database of passwords "
                    "cannot find a file again whose full path contains a line break.",
                    "The password for the file /home/ann/plain.txt was not stored: the database of passwords cannot "
                    "keep a password that contains a line break."}));
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages[0].kind, MessageKind::Error);
    EXPECT_FALSE(Exists(keyPath));
    EXPECT_EQ(host.masterPasswordAsks, 1) << "a refused path is refused before the master password is asked for";
}

TEST_F(PwdTable, TheMasterPasswordIsAskedForOnlyWhenNoneIsHeld) {
    host.onAskMasterPassword = nullptr; // "Do not use now"
    EXPECT_FALSE(store("/a", "pass-word"));
    EXPECT_EQ(find("/a"), std::nullopt);
    EXPECT_EQ(host.masterPasswordAsks, 2);
    EXPECT_FALSE(Exists(keyPath)) << "without a master password the table is left alone";
    EXPECT_TRUE(host.messages.empty());

    host.onAskMasterPassword = [this] {
        table.MasterPass.SetPassword(master);
        table.MasterPass.Valid = true;
    };
    ASSERT_TRUE(store("/a", "pass-word"));
    ASSERT_TRUE(store("/b", "pass-word"));
    EXPECT_EQ(find("/a"), "pass-word");
    EXPECT_EQ(host.masterPasswordAsks, 3) << "a held master password is used without asking";
}

TEST_F(PwdTable, ALookUpNeedsTheKeyFileInUse) {
    ASSERT_TRUE(store("/a", "pass-word"));
    table.MasterPass.UseKeyFile = false;
    table.MasterPass.Valid = false;
    EXPECT_EQ(find("/a"), std::nullopt);
    EXPECT_EQ(host.masterPasswordAsks, 1) << "only the store asked";
    table.MasterPass.UseKeyFile = true;
    EXPECT_EQ(find("/a"), "pass-word");
}

TEST_F(PwdTable, AReadPasswordStaysUntilRemovedAndOnlyWhileTheEntryStillHoldsIt) {
    ASSERT_TRUE(store("/home/ann/a.txt", "read-pw"));
    ASSERT_TRUE(store("/home/ann/b.txt", "kept-pw"));
    file.ClearPassword();
    ASSERT_TRUE(table.FindPassword("/home/ann/a.txt", TKX_PwdTable::Lookup::Read));
    const SecureBytes read(file.Password.begin(), file.Password.begin() + file.PasswordLength);
    Keys keys;
    ASSERT_TRUE(table.ListKeys(keys));
    EXPECT_EQ(keys, (Keys{"/home/ann/a.txt", "/home/ann/b.txt"})) << "reading changes nothing";

    // Another password was stored for the file meanwhile: that entry is not the one read and stays.
    ASSERT_TRUE(store("/home/ann/a.txt", "newer-pw"));
    EXPECT_TRUE(table.RemoveEntry("/home/ann/a.txt", read));
    EXPECT_EQ(find("/home/ann/a.txt"), "newer-pw");
    ASSERT_TRUE(store("/home/ann/a.txt", "read-pw"));
    EXPECT_TRUE(table.RemoveEntry("/home/ann/a.txt", read));
    EXPECT_EQ(find("/home/ann/a.txt"), std::nullopt);
    EXPECT_EQ(find("/home/ann/b.txt"), "kept-pw");

    ASSERT_TRUE(store("/home/ann/a.txt", "read-pw"));
    table.MasterPass.Valid = false;
    EXPECT_FALSE(table.RemoveEntry("/home/ann/a.txt", read)) << "a removal asks for no master password";
    EXPECT_EQ(host.masterPasswordAsks, 1);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(PwdTable, AFileInTheWayOfTheKeyFileIsNeverReplaced) {
    ASSERT_EQ(::mkdir(keyPath.c_str(), 0700), 0);
    EXPECT_FALSE(store("/a", "pass-word"));
    EXPECT_EQ(find("/a"), std::nullopt);
    EXPECT_EQ(messages(), (Keys{TKX_PwdTable::kAccessErrorText, TKX_PwdTable::kAccessErrorText}));
    struct stat st;
    ASSERT_EQ(::stat(keyPath.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(PwdTable, AnEmptyKeyFilePathMeansTheDefaultKeyFile) {
    // As installed, "Dir" is empty: the key file is then xwords.001 in the home directory.
    const char* savedHome = std::getenv("HOME");
    const std::optional<std::string> home = savedHome ? std::optional<std::string>(savedHome) : std::nullopt;
    ::setenv("HOME", dir.path().c_str(), 1);
    table.MasterPass.KeyFilePath.clear();
    EXPECT_EQ(table.MasterPass.KeyFile(), dir / "xwords.001");
    EXPECT_EQ(find("/a"), std::nullopt);
    EXPECT_TRUE(store("/a", "pass-word"));
    EXPECT_EQ(find("/a"), "pass-word");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(test::Exists(dir / "xwords.001"));
    if (home)
        ::setenv("HOME", home->c_str(), 1);
    else
        ::unsetenv("HOME");
}

TEST_F(PwdTable, ListingShowsKeysOnly) {
    Keys keys{"stale"};
    ASSERT_TRUE(table.ListKeys(keys));
    EXPECT_TRUE(keys.empty()) << "no key file is an empty table";
    ASSERT_TRUE(store("/b", "secret-b"));
    ASSERT_TRUE(store("/a", "secret-a"));
    ASSERT_TRUE(table.ListKeys(keys));
    EXPECT_EQ(keys, (Keys{"/a", "/b"}));
    EXPECT_TRUE(table.Entries.Empty());
}

} // namespace
} // namespace vorlaxen
