// The registry text format and the two-layer settings store against .reg fixtures.

#include "platform/SettingsStore.h"

#include "platform/RegistryFile.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {
namespace {

using test::ReadFile;
using test::WriteFile;

std::string Fixture(const std::string& name) {
    return test::ReadFixture("settings/" + name);
}

std::string Text(const std::string& path) {
    auto bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(RegistryFile, ParsesTheExportFormatAndWritesItBack) {
    std::string error;
    auto file = RegistryFile::Parse(Fixture("complete.reg"), error);
    ASSERT_TRUE(file) << error;

    const auto* icon = file->findKey("\\crypt file\\DefaultIcon");
    ASSERT_TRUE(icon);
    EXPECT_EQ(RegistryFile::findValue(*icon, "")->text, "/opt/vorlaxen/share/vorlaxen/vorlaxen.svg,0");
    const auto* master = file->findKey("\\CRYPT FILE\\settings\\MasterPass");
    ASSERT_TRUE(master) << "key paths ignore letter case";
    EXPECT_EQ(RegistryFile::findValue(*master, "dir")->text, "/home/user/My \"keys\"\\xwords.001");
    EXPECT_EQ(RegistryFile::findValue(*master, "ExpTime")->number, 30u);

    auto again = RegistryFile::Parse(file->Serialize(), error);
    ASSERT_TRUE(again) << error;
    EXPECT_EQ(again->Serialize(), file->Serialize());
}

TEST(RegistryFile, KeepsValuesOfOtherTypesAsWritten) {
    std::string error;
    auto file = RegistryFile::Parse(Fixture("control-as-binary.reg"), error);
    ASSERT_TRUE(file) << error;
    const auto* band = file->findKey("\\crypt file\\Settings\\CoolBands\\3");
    const auto* control = RegistryFile::findValue(*band, "Control");
    EXPECT_EQ(control->type, RegistryFile::Type::Other);
    EXPECT_NE(file->Serialize().find("\"Control\"=hex:53,74,61,74,75,73,42,61,72,33\n"), std::string::npos);
}

TEST(RegistryFile, ReadsUtf16ExportsAndExpandableStrings) {
    const std::string utf8 =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\crypt file\\DefaultIcon]\r\n"
        "@=hex(2):2f,00,69,00,2e,00,73,00,76,00,67,00,00,00\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : utf8) {
        utf16 += c;
        utf16 += '\0';
    }
    std::string error;
    auto file = RegistryFile::Parse(utf16, error);
    ASSERT_TRUE(file) << error;
    const auto* value = RegistryFile::findValue(*file->findKey("\\crypt file\\DefaultIcon"), "");
    EXPECT_EQ(value->type, RegistryFile::Type::ExpandString);
    EXPECT_EQ(value->text, "/i.svg");
}

TEST(RegistryFile, SaysWhereTheTextStopsMakingSense) {
    std::string error;
    EXPECT_FALSE(RegistryFile::Parse(Fixture("syntax-error.reg"), error));
    EXPECT_EQ(error.rfind("line 13:", 0), 0u) << error;
    for (const char* bad : {"",
                            "not a registry file\n",
                            "Windows Registry Editor Version 5.00\n\"Orphan\"=dword:1\n",
                            "Windows Registry Editor Version 5.00\n[HKEY_CLASSES_ROOT\\a]\n\"Unclosed=dword:1\n",
                            "Windows Registry Editor Version 5.00\n[HKEY_CLASSES_ROOT\\a]\n\"A\"=qword:1\n",
                            "Windows Registry Editor Version 5.00\n[HKEY_CLASSES_ROOT\\a]\n\"A\"=dword:123456789\n"})
        EXPECT_FALSE(RegistryFile::Parse(bad, error)) << bad;
}

// A registry file of random keys and values, as the store may come to hold them: the root key itself,
// paths below it and below other roots, value names and strings with quotes, backslashes, brackets,
// "=", ";", line breaks, UTF-8 and bytes that are not UTF-8, numbers, and data of other types.
RegistryFile RandomRegistryFile(std::mt19937& random) {
    static const std::vector<std::string> pieces = [] {
        std::vector<std::string> split;
        std::string_view all =
            "a|Z| |\\|\"|[|]|=|@|;|-|hex:|dword:|\t|\xc3\xa9|\xe2\x82\xac|\xf0\x9f\x94\x91|\xff|\x80|"
            "\xed\xa0\x80|crypt file|HKEY_CLASSES_ROOT";
        for (std::size_t bar; (bar = all.find('|')) != std::string_view::npos; all.remove_prefix(bar + 1))
            split.emplace_back(all.substr(0, bar));
        split.emplace_back(all);
        split.emplace_back(1, '\0');
        return split;
    }();
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    auto text = [&](bool lineBreaks) {
        std::string made;
        for (std::size_t i = pick(8); i > 0; --i) {
            made += pieces[pick(pieces.size())];
            if (lineBreaks && pick(6) == 0)
                made += pick(2) ? "\n" : "\r\n";
        }
        return made;
    };
    std::string error;
    RegistryFile file = *RegistryFile::Parse("Windows Registry Editor Version 5.00\n", error);
    for (std::size_t k = pick(5); k > 0; --k) {
        std::string path;
        switch (pick(4)) {
        case 0:
            break; // HKEY_CLASSES_ROOT itself
        case 1:
            path = "HKEY_LOCAL_MACHINE\\" + text(false);
            break;
        default:
            path = "\\" + text(false);
            for (std::size_t depth = pick(3); depth > 0; --depth)
                path += "\\" + text(false);
        }
        RegistryFile::Key& key = file.addKey(path);
        for (std::size_t v = pick(5); v > 0; --v) {
            RegistryFile::Value& value = RegistryFile::setValue(key, pick(4) ? text(false) : std::string());
            switch (pick(3)) {
            case 0:
                value.type = RegistryFile::Type::Dword;
                value.number = static_cast<std::uint32_t>(random());
                value.text.clear();
                value.raw.clear();
                break;
            case 1:
                value.type = RegistryFile::Type::String;
                value.number = 0;
                value.text = text(true);
                value.raw.clear();
                break;
            default:
                value.type = RegistryFile::Type::Other;
                value.number = 0;
                value.text.clear();
                value.raw = pick(2) ? "hex:de,ad,be,ef" : "hex(7):61,00,00,00,00,00";
            }
        }
    }
    return file;
}

TEST(RegistryFile, WhateverItWritesReadsBackUnchanged) {
    std::mt19937 random(1995);
    for (int round = 0; round < 3000; ++round) {
        const RegistryFile file = RandomRegistryFile(random);
        const std::string written = file.Serialize();
        std::string error;
        const auto again = RegistryFile::Parse(written, error);
        ASSERT_TRUE(again) << error << "\n" << written;
        ASSERT_EQ(*again, file) << written;
        ASSERT_EQ(again->Serialize(), written);
    }
}

class Store : public ::testing::Test {
protected:
    SettingsStore make(const std::string& defaultsFixture, const std::string& userText = {}) {
        WriteFile(dir / "defaults.reg", Fixture(defaultsFixture));
        if (!userText.empty())
            WriteFile(dir / "user.reg", userText);
        SettingsStore store({dir / "defaults.reg", dir / "user.reg"});
        store.load();
        return store;
    }

    test::TempDir dir;
};

TEST_F(Store, ReadsAreStrictAboutTypes) {
    SettingsStore store = make("width-as-string.reg");
    std::int32_t number = -1;
    std::string text = "unchanged";
    EXPECT_FALSE(store.readInteger("\\crypt file\\Settings\\MainWin", "Width", number)) << "a number stored as text";
    EXPECT_TRUE(store.readInteger("\\crypt file\\Settings\\MainWin", "Height", number));
    EXPECT_EQ(number, 600);
    EXPECT_FALSE(store.readInteger("\\crypt file\\Settings\\MainWin", "Depth", number)) << "a missing number";
    EXPECT_TRUE(store.readString("\\crypt file\\Settings\\MasterPass", "Missing", text));
    EXPECT_EQ(text, "") << "a missing string reads as empty";
    EXPECT_FALSE(store.readString("\\crypt file\\Settings\\MasterPass", "Store", text)) << "a number read as text";
    EXPECT_FALSE(store.readInteger("\\crypt file\\Settings\\Nowhere", "Width", number)) << "a key in no layer";
    EXPECT_FALSE(store.readString("\\crypt file\\Settings\\Nowhere", "Dir", text));
}

TEST_F(Store, TheUsersValuesOverlayTheDefaultsAndWritesGoOnlyToTheUsersFile) {
    SettingsStore store = make("complete.reg",
                               "Windows Registry Editor Version 5.00\n\n"
                               "[HKEY_CLASSES_ROOT\\crypt file\\Settings\\MainWin]\n\"Width\"=dword:00000400\n");
    std::int32_t width = 0, height = 0;
    ASSERT_TRUE(store.readInteger("\\crypt file\\Settings\\MainWin", "Width", width));
    ASSERT_TRUE(store.readInteger("\\crypt file\\Settings\\MainWin", "Height", height));
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 600);

    EXPECT_TRUE(store.writeInteger("\\crypt file\\Settings\\Options", "Method", 1));
    EXPECT_FALSE(store.writeInteger("\\crypt file\\Settings\\Nowhere", "Method", 1)) << "keys are never created";
    ASSERT_TRUE(store.save()) << store.problems();
    EXPECT_EQ(Text(dir / "defaults.reg"), Fixture("complete.reg")) << "the installed layer is never written";
    EXPECT_EQ(Text(dir / "user.reg"),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CLASSES_ROOT\\crypt file\\Settings\\MainWin]\n\"Width\"=dword:00000400\n\n"
              "[HKEY_CLASSES_ROOT\\crypt file\\Settings\\Options]\n\"Method\"=dword:00000001\n");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"defaults.reg", "user.reg"})) << "no temporary file left";

    SettingsStore reread({dir / "defaults.reg", dir / "user.reg"});
    reread.load();
    std::int32_t method = 0;
    ASSERT_TRUE(reread.readInteger("\\crypt file\\Settings\\Options", "Method", method));
    EXPECT_EQ(method, 1);
}

TEST_F(Store, AUserFileThatCannotBeParsedIsNeverReplaced) {
    const std::string broken = "Windows Registry Editor Version 5.00\n[HKEY_CLASSES_ROOT\\crypt file\n";
    SettingsStore store = make("complete.reg", broken);
    std::int32_t width = 0;
    ASSERT_TRUE(store.readInteger("\\crypt file\\Settings\\MainWin", "Width", width)) << "the defaults still serve";
    EXPECT_EQ(width, 800);
    EXPECT_NE(store.problems().find("user.reg"), std::string::npos);
    store.writeInteger("\\crypt file\\Settings\\MainWin", "Width", 1);
    EXPECT_FALSE(store.save());
    EXPECT_EQ(Text(dir / "user.reg"), broken);
}

TEST_F(Store, AUserFileThatCannotBeOpenedIsNeverReplaced) {
    test::RunWherePermissionsBind({dir.path()}, [this] {
        SettingsStore store = make("complete.reg", "Windows Registry Editor Version 5.00\n");
        ASSERT_EQ(::chmod((dir / "user.reg").c_str(), 0), 0);
        store.load();
        store.writeInteger("\\crypt file\\Settings\\MainWin", "Width", 1);
        EXPECT_FALSE(store.save());
        ::chmod((dir / "user.reg").c_str(), 0600);
        EXPECT_EQ(Text(dir / "user.reg"), "Windows Registry Editor Version 5.00\n");
    });
}

TEST_F(Store, MissingOrBrokenDefaultsLeaveOnlyTheUsersKeys) {
    SettingsStore store({dir / "absent.reg", dir / "user.reg"});
    store.load();
    EXPECT_FALSE(store.keyExists("\\crypt file\\Settings\\MainWin"));
    EXPECT_FALSE(store.writeInteger("\\crypt file\\Settings\\MainWin", "Width", 1));
    EXPECT_TRUE(store.save());
    EXPECT_EQ(dir.names(), std::vector<std::string>{}) << "nothing to write, nothing created";
}

TEST_F(Store, AnUnwritableLocationFailsCleanly) {
    WriteFile(dir / "not-a-directory", "x");
    WriteFile(dir / "defaults.reg", Fixture("complete.reg"));
    SettingsStore store({dir / "defaults.reg", dir / "not-a-directory/vorlaxen/settings.reg"});
    store.load();
    EXPECT_TRUE(store.writeInteger("\\crypt file\\Settings\\MainWin", "Width", 1));
    EXPECT_FALSE(store.save());
    EXPECT_FALSE(store.problems().empty());
}

TEST_F(Store, AUserFileWithTheRootKeyIsReadAgainAfterASave) {
    // The root key of the user's file once came back as "[]", which no read accepts: from then on the
    // whole file was refused and no setting was saved again.
    SettingsStore store = make("complete.reg",
                               "Windows Registry Editor Version 5.00\n\n[HKEY_CLASSES_ROOT]\n@=\"root\"\n\n"
                               "[HKEY_CLASSES_ROOT\\crypt file\\Settings\\MasterPass]\n\"Dir\"=\"/home/x\"\n");
    ASSERT_TRUE(store.writeString("\\crypt file\\Settings\\MasterPass", "Dir", "/home/a\nb/keys"));
    ASSERT_TRUE(store.save()) << store.problems();
    for (int pass = 0; pass < 2; ++pass) {
        SettingsStore reread({dir / "defaults.reg", dir / "user.reg"});
        reread.load();
        EXPECT_EQ(reread.problems(), "") << Text(dir / "user.reg");
        std::string value;
        ASSERT_TRUE(reread.readString("", "", value));
        EXPECT_EQ(value, "root");
        ASSERT_TRUE(reread.readString("\\crypt file\\Settings\\MasterPass", "Dir", value));
        EXPECT_EQ(value, "/home/a\nb/keys");
        ASSERT_TRUE(reread.writeInteger("\\crypt file\\Settings\\Options", "Method", 4 + pass));
        ASSERT_TRUE(reread.save()) << reread.problems();
    }
}

TEST_F(Store, ANamedPipeInPlaceOfTheUsersFileIsNeitherWaitedForNorReplaced) {
    ASSERT_EQ(::mkfifo((dir / "user.reg").c_str(), 0600), 0);
    SettingsStore store = make("complete.reg");
    EXPECT_NE(store.problems(), "");
    ASSERT_TRUE(store.writeInteger("\\crypt file\\Settings\\Options", "Method", 4));
    EXPECT_FALSE(store.save());
    struct stat st;
    ASSERT_EQ(::lstat((dir / "user.reg").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(Store, CreatesTheUsersDirectoryOnFirstSave) {
    WriteFile(dir / "defaults.reg", Fixture("complete.reg"));
    SettingsStore store({dir / "defaults.reg", dir / "config/vorlaxen/settings.reg"});
    store.load();
    store.writeInteger("\\crypt file\\Settings\\MainWin", "Width", 1);
    ASSERT_TRUE(store.save()) << store.problems();
    EXPECT_TRUE(test::Exists(dir / "config/vorlaxen/settings.reg"));
}

TEST(SettingsLocations, EnvironmentVariablesNameBothFiles) {
    ::setenv("VORLAXEN_SETTINGS_DEFAULTS", "/x/defaults.reg", 1);
    ::setenv("VORLAXEN_SETTINGS", "/y/mine.reg", 1);
    auto locations = SettingsStore::DefaultLocations();
    EXPECT_EQ(locations.defaults, "/x/defaults.reg");
    EXPECT_EQ(locations.user, "/y/mine.reg");
    ::unsetenv("VORLAXEN_SETTINGS_DEFAULTS");
    ::unsetenv("VORLAXEN_SETTINGS");
    ::setenv("XDG_CONFIG_HOME", "/z/config", 1);
    locations = SettingsStore::DefaultLocations();
    EXPECT_EQ(locations.user, "/z/config/vorlaxen/settings.reg");
    EXPECT_NE(locations.defaults.find("/share/vorlaxen/defaults.reg"), std::string::npos);
    ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace vorlaxen
