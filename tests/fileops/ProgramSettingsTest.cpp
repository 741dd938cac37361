// Reading and writing the program's settings: their order, strictness and the first-failure rule.

#include "fileops/ProgramSettings.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

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
    EXPECT_LT(text.find("\"Height\""), text.find("\"Width\"=dword:000003e8")) << "height before width";
    EXPECT_LT(text.find("\"Expire\""), text.find("\"OnePassword\""));
    EXPECT_LT(text.find("\"Method\""), text.find("\"Store\""));
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
