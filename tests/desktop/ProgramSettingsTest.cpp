// Reading and writing the program's settings: their order, strictness and the first-failure rule.

#include "desktop/ProgramSettings.h"

#include "support/TempDir.h"

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <vector>

namespace vorlaxen {
namespace {

std::string Fixture(const std::string& name) {
    return test::ReadFixture("settings/" + name);
}

class Settings : public ::testing::Test {
protected:
    SettingsStore load(const std::string& fixture) {
        test::WriteFile(dir / "defaults.reg", Fixture(fixture));
        SettingsStore store({dir / "defaults.reg", dir / "user.reg"});
        store.load();
        return store;
    }

    test::TempDir dir;
};

TEST_F(Settings, ACompleteInstallationReadsEverySetting) {
    SettingsStore store = load("complete.reg");
    ProgramSettings s;
    ASSERT_TRUE(ReadSettings(store, s));
    EXPECT_EQ(s.windowWidth, 800);
    EXPECT_EQ(s.windowHeight, 600);
    EXPECT_EQ(s.sourceColumns, (std::array<std::int32_t, 5>{160, 80, 120, 100, 150}));
    EXPECT_EQ(s.cryptedColumns, (std::array<std::int32_t, 5>{161, 81, 121, 101, 97}));
    EXPECT_EQ(s.bands[0], (BandLayout{true, 200, "StatusBar2"}));
    EXPECT_EQ(s.bands[3], (BandLayout{false, 180, "Method_Panel"}));
    EXPECT_EQ(s.helpFile, "/opt/vorlaxen/share/vorlaxen/Vorlaxen.html");
    EXPECT_FALSE(s.onePassword);
    EXPECT_EQ(s.expire, 10);
    EXPECT_TRUE(s.onePerList);
    EXPECT_FALSE(s.showTip) << "booleans take the low byte: 0x100 is off";
    EXPECT_EQ(s.method, 4);
    EXPECT_TRUE(s.store);
    EXPECT_EQ(s.dir, "/home/user/My \"keys\"\\xwords.001");
    EXPECT_TRUE(s.expires);
    EXPECT_EQ(s.expTime, 30);
}

TEST_F(Settings, OptionsWithoutMethodStopTheReadBeforeTheMasterPassword) {
    SettingsStore store = load("options-without-method.reg");
    ProgramSettings s;
    s.windowWidth = 583; // as the window definition has it
    EXPECT_FALSE(ReadSettings(store, s));
    EXPECT_EQ(s.windowWidth, 800) << "what came before the failure was read";
    EXPECT_TRUE(s.onePerList);
    EXPECT_EQ(s.method, 0);
    EXPECT_FALSE(s.store) << "the master password settings were never reached";
    EXPECT_EQ(s.dir, "");

    // At exit every value is written, the missing one included, and the next start reads them all.
    WriteSettings(store, s);
    ASSERT_TRUE(store.save()) << store.problems();
    SettingsStore next({dir / "defaults.reg", dir / "user.reg"});
    next.load();
    ProgramSettings again;
    EXPECT_TRUE(ReadSettings(next, again));
    EXPECT_EQ(again.method, 0);
    EXPECT_FALSE(again.store);
}

TEST_F(Settings, AnyFailureStopsTheRead) {
    for (const char* fixture : {"width-as-string.reg", "control-as-binary.reg", "missing-bands-key.reg"}) {
        SettingsStore store = load(fixture);
        ProgramSettings s;
        EXPECT_FALSE(ReadSettings(store, s)) << fixture;
        EXPECT_EQ(s.method, 0) << fixture;
        EXPECT_EQ(s.helpFile, "") << fixture;
    }
}

// One value that ReadSettings reads: its key below "\crypt file\", its name ("@" for the key's default
// value), whether it is a string, and the setting it lands in, shown as text.
struct ReadValue {
    std::string key;
    std::string name;
    bool text = false;
    std::function<std::string(const ProgramSettings&)> setting;
};

template <class T> std::string Shown(const T& value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// Every value, in the order the program reads them.
std::vector<ReadValue> ReadOrder() {
    std::vector<ReadValue> order;
    auto add = [&order](bool text, std::string key, std::string name, auto field) {
        order.push_back(
            {std::move(key), std::move(name), text, [field](const ProgramSettings& s) { return Shown(field(s)); }});
    };
    auto number = [&add](auto&&... args) { add(false, args...); };
    auto text = [&add](auto&&... args) { add(true, args...); };
    number("Settings\\MainWin", "Width", [](const ProgramSettings& s) { return s.windowWidth; });
    number("Settings\\MainWin", "Height", [](const ProgramSettings& s) { return s.windowHeight; });
    const std::array<const char*, 5> source = {"Name", "Size", "Date", "Attributes", "FileType"};
    for (std::size_t i = 0; i < 5; ++i)
        number("Settings\\ListView\\Source", source[i], [i](const ProgramSettings& s) { return s.sourceColumns[i]; });
    const std::array<const char*, 5> crypted = {"Name", "Size", "Date", "Attributes", "EncryptedBy"};
    for (std::size_t i = 0; i < 5; ++i)
        number(
            "Settings\\ListView\\Crypted", crypted[i], [i](const ProgramSettings& s) { return s.cryptedColumns[i]; });
    for (std::size_t band = 0; band < 4; ++band) {
        const std::string key = "Settings\\CoolBands\\" + std::to_string(band + 1);
        number(key, "Break", [band](const ProgramSettings& s) { return s.bands[band].startsRow; });
        number(key, "Width", [band](const ProgramSettings& s) { return s.bands[band].width; });
        text(key, "Control", [band](const ProgramSettings& s) { return s.bands[band].control; });
    }
    text("DefaultIcon", "@", [](const ProgramSettings& s) { return s.helpFile; });
    number("Settings\\Options", "OnePassword", [](const ProgramSettings& s) { return s.onePassword; });
    number("Settings\\Options", "Expire", [](const ProgramSettings& s) { return s.expire; });
    number("Settings\\Options", "OnePerList", [](const ProgramSettings& s) { return s.onePerList; });
    number("Settings\\Options", "ShowCry", [](const ProgramSettings& s) { return s.showCry; });
    number("Settings\\Options", "ShowTIP", [](const ProgramSettings& s) { return s.showTip; });
    number("Settings\\Options", "Method", [](const ProgramSettings& s) { return s.method; });
    number("Settings\\MasterPass", "Store", [](const ProgramSettings& s) { return s.store; });
    text("Settings\\MasterPass", "Dir", [](const ProgramSettings& s) { return s.dir; });
    number("Settings\\MasterPass", "Expires", [](const ProgramSettings& s) { return s.expires; });
    number("Settings\\MasterPass", "ExpTime", [](const ProgramSettings& s) { return s.expTime; });
    return order;
}

// The settings text with every value changed: numbers with their lowest bit flipped (so that every flag
// changes too), strings with a directory put in front.
std::string EveryValueChanged(const std::string& text) {
    static const std::regex number(R"(^((?:"[^"]*"|@)=dword:)([0-9a-f]{8})$)");
    static const std::regex string(R"(^((?:"[^"]*"|@)=")(.*)$)");
    std::istringstream lines(text);
    std::string changed;
    std::smatch match;
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_match(line, match, number)) {
            char flipped[9];
            std::snprintf(flipped, sizeof flipped, "%08lx", std::stoul(match[2].str(), nullptr, 16) ^ 1u);
            line = match[1].str() + flipped;
        } else if (std::regex_match(line, match, string)) {
            line = match[1].str() + "/other" + match[2].str();
        }
        changed += line + "\n";
    }
    return changed;
}

// The settings text with one value stored with the wrong type; empty when the value is not there.
std::string WithWrongType(std::string text, const ReadValue& value) {
    const std::string section = "[HKEY_CLASSES_ROOT\\crypt file\\" + value.key + "]\n";
    const std::string start = "\n" + (value.name == "@" ? std::string("@") : "\"" + value.name + "\"") + "=";
    const auto at = text.find(section);
    const auto line = at == std::string::npos ? at : text.find(start, at);
    if (line == std::string::npos || line > text.find("\n[", at + 1))
        return {};
    const auto end = text.find('\n', line + 1);
    text.replace(line + start.size(), end - line - start.size(), value.text ? "hex:00" : "\"12\"");
    return text;
}

TEST_F(Settings, AValueOfTheWrongTypeStopsTheReadExactlyThere) {
    const std::string complete = Fixture("complete.reg");
    const auto order = ReadOrder();
    auto read = [this](const std::string& text, ProgramSettings& s) {
        test::WriteFile(dir / "defaults.reg", text);
        SettingsStore store({dir / "defaults.reg", dir / "user.reg"});
        store.load();
        return ReadSettings(store, s);
    };
    ProgramSettings installed;
    ASSERT_TRUE(read(complete, installed));
    ProgramSettings before;
    ASSERT_TRUE(read(EveryValueChanged(complete), before));
    for (const ReadValue& value : order)
        ASSERT_NE(value.setting(installed), value.setting(before)) << value.key << " " << value.name;

    for (std::size_t failing = 0; failing < order.size(); ++failing) {
        SCOPED_TRACE(order[failing].key + " " + order[failing].name + " of the wrong type");
        const std::string broken = WithWrongType(complete, order[failing]);
        ASSERT_FALSE(broken.empty());
        ProgramSettings s = before;
        EXPECT_FALSE(read(broken, s));
        for (std::size_t i = 0; i < order.size(); ++i)
            EXPECT_EQ(order[i].setting(s), order[i].setting(i < failing ? installed : before))
                << order[i].key << " " << order[i].name << (i < failing ? " is read before" : " is not read");
    }
}

TEST_F(Settings, WritesEveryValueInItsOrderAndTheBandLayoutComesBack) {
    SettingsStore store = load("complete.reg");
    ProgramSettings s;
    ASSERT_TRUE(ReadSettings(store, s));
    std::swap(s.bands[0], s.bands[3]);
    s.bands[1].control = "";
    s.windowWidth = 1000;
    WriteSettings(store, s);
    ASSERT_TRUE(store.save());

    auto bytes = test::ReadFile(dir / "user.reg");
    const std::string text(bytes.begin(), bytes.end());
    // Every key and value in the order written: the keys as they are read, the window's height before
    // its width and "Expire" before "OnePassword".
    std::vector<std::string> written;
    static const std::regex entry(R"re(^\[HKEY_CLASSES_ROOT\\crypt file\\Settings\\(.*)\]$|^"([^"]*)"=)re");
    std::istringstream lines(text);
    std::smatch match;
    for (std::string line; std::getline(lines, line);)
        if (std::regex_search(line, match, entry))
            written.push_back(match[1].matched ? "[" + match[1].str() + "]" : match[2].str());
    std::vector<std::string> expected = {"[MainWin]", "Height", "Width", "[ListView\\Source]"};
    for (const char* name : {"Name", "Size", "Date", "Attributes", "FileType"})
        expected.push_back(name);
    expected.push_back("[ListView\\Crypted]");
    for (const char* name : {"Name", "Size", "Date", "Attributes", "EncryptedBy"})
        expected.push_back(name);
    for (const char* band : {"1", "2", "3", "4"})
        expected.insert(expected.end(), {std::string("[CoolBands\\") + band + "]", "Break", "Width", "Control"});
    expected.insert(expected.end(),
                    {"[Options]", "Expire", "OnePassword", "OnePerList", "ShowCry", "ShowTIP", "Method"});
    expected.insert(expected.end(), {"[MasterPass]", "Store", "Dir", "Expires", "ExpTime"});
    EXPECT_EQ(written, expected);
    EXPECT_EQ(text.find("Vorlaxen.html"), std::string::npos) << "the help file is never written";

    SettingsStore next({dir / "defaults.reg", dir / "user.reg"});
    next.load();
    ProgramSettings again;
    ASSERT_TRUE(ReadSettings(next, again));
    EXPECT_EQ(again.bands[0], (BandLayout{false, 180, "Method_Panel"}));
    EXPECT_EQ(again.bands[3], (BandLayout{true, 200, "StatusBar2"}));
    EXPECT_EQ(again.bands[1].control, "");
    EXPECT_EQ(again, s);
}

} // namespace
} // namespace vorlaxen

namespace vorlaxen {
namespace {

TEST_F(Settings, TheInstalledDefaultsHoldEveryKeyAndValue) {
    auto bytes = test::ReadFile(std::string(VORLAXEN_PACKAGING) + "/defaults.reg.in");
    std::string defaults(bytes.begin(), bytes.end());
    for (auto at = defaults.find("@PREFIX@"); at != std::string::npos; at = defaults.find("@PREFIX@"))
        defaults.replace(at, 8, "/opt/vx");
    test::WriteFile(dir / "defaults.reg", defaults);
    SettingsStore store({dir / "defaults.reg", dir / "user.reg"});
    store.load();
    ProgramSettings s;
    ASSERT_TRUE(ReadSettings(store, s)) << store.problems();
    EXPECT_LE(s.windowWidth, 1366);
    EXPECT_LE(s.windowHeight, 768 - 100) << "room for a panel and the title bar";
    EXPECT_EQ(s.method, 1) << "IDEA";
    EXPECT_TRUE(s.showTip);
    EXPECT_FALSE(s.store);
    EXPECT_EQ(s.dir, "");
    EXPECT_EQ(s.helpFile, "/opt/vx/share/vorlaxen/Vorlaxen.html");
    const std::array<std::string, 4> controls = {"StatusBar2", "StatusBar1", "StatusBar3", "Method_Panel"};
    const std::array<bool, 4> rows = {true, true, true, false};
    for (std::size_t band = 0; band < 4; ++band) {
        EXPECT_EQ(s.bands[band].control, controls[band]);
        EXPECT_EQ(s.bands[band].startsRow, rows[band]);
    }
    for (auto width : s.sourceColumns)
        EXPECT_GE(width, 80);
}

} // namespace
} // namespace vorlaxen
