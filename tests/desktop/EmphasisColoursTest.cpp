#include "desktop/EmphasisColours.h"

#include <gtest/gtest.h>

namespace vorlaxen {
namespace {

// Qt's own light palette (Fusion), the usual dark Fusion palette, and qt6ct's "darker" scheme.
constexpr ThemeColours kLight{{239, 239, 239}, {0, 0, 0}, {239, 239, 239}, {0, 0, 0}, {0, 0, 255}, {48, 140, 198}};
constexpr ThemeColours kFusionDark{
    {53, 53, 53}, {255, 255, 255}, {53, 53, 53}, {255, 255, 255}, {42, 130, 218}, {42, 130, 218}};
constexpr ThemeColours kDarker{
    {0x22, 0x20, 0x20}, {255, 255, 255}, {0x42, 0x42, 0x45}, {255, 255, 255}, {0x09, 0x86, 0xd3}, {0x12, 0x60, 0x8a}};

TEST(EmphasisColours, ContrastIsMeasuredAsTheGuidelinesDo) {
    EXPECT_DOUBLE_EQ(ContrastRatio({0, 0, 0}, {255, 255, 255}), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio({255, 255, 255}, {0, 0, 0}), 21.0) << "either order";
    EXPECT_DOUBLE_EQ(ContrastRatio({90, 90, 90}, {90, 90, 90}), 1.0);
    EXPECT_NEAR(ContrastRatio({0x76, 0x76, 0x76}, {255, 255, 255}), 4.54, 0.01) << "the lightest grey that reads";
    EXPECT_NEAR(ContrastRatio({0x77, 0x77, 0x77}, {255, 255, 255}), 4.48, 0.01);
    // What the fixed colours gave on qt6ct's "darker" scheme.
    EXPECT_NEAR(ContrastRatio(kBlue, kDarker.window), 1.89, 0.01);
    EXPECT_NEAR(ContrastRatio(kNavy, kDarker.window), 1.01, 0.01);
}

TEST(EmphasisColours, ALightThemeKeepsBlueNavyAndBlackAndADarkOneTakesItsOwnRolesReadably) {
    const EmphasisColours light = ChooseEmphasis(kLight);
    EXPECT_FALSE(IsDarkTheme(kLight));
    EXPECT_EQ(light.activeTitle, kBlue);
    EXPECT_EQ(light.inactiveTitle, kNavy);
    EXPECT_EQ(light.currentMethod, kBlue);
    EXPECT_EQ(light.otherMethod, kBlack);
    EXPECT_EQ(light.warning, kRed);

    for (const ThemeColours& dark : {kFusionDark, kDarker}) {
        ASSERT_TRUE(IsDarkTheme(dark));
        const EmphasisColours e = ChooseEmphasis(dark);
        EXPECT_GE(ContrastRatio(e.activeTitle, dark.window), kReadableContrast);
        EXPECT_GE(ContrastRatio(e.currentMethod, dark.button), kReadableContrast);
        EXPECT_GE(ContrastRatio(e.currentMethod, DownButton(dark)), kReadableContrast) << "also when down";
        EXPECT_GE(ContrastRatio(e.warning, dark.window), kReadableContrast);
        EXPECT_EQ(e.inactiveTitle, dark.windowText) << "the normal text colour";
        EXPECT_EQ(e.otherMethod, dark.buttonText);
        // Neither link colour reads as it is: each is lightened towards the text, keeping its blue.
        EXPECT_LT(ContrastRatio(dark.link, dark.window), kReadableContrast);
        EXPECT_NE(e.activeTitle, dark.windowText);
        EXPECT_GT(e.activeTitle.blue, e.activeTitle.red);
        EXPECT_GT(e.warning.red, e.warning.blue);
        EXPECT_NE(e.activeTitle, e.inactiveTitle) << "the two panes stay told apart";
    }

    // A link colour that reads is taken as it is; where only the highlight reads, the highlight.
    ThemeColours readableLink = kDarker;
    readableLink.link = {0x6c, 0xb6, 0xff};
    EXPECT_EQ(ChooseEmphasis(readableLink).activeTitle, readableLink.link);
    ThemeColours readableHighlight = kDarker;
    readableHighlight.highlight = {0x3d, 0xae, 0xe9};
    EXPECT_EQ(ChooseEmphasis(readableHighlight).activeTitle, readableHighlight.highlight);
    // A colour that cannot be made to read on the way to the text ends as the text.
    EXPECT_EQ(Readable({40, 40, 40}, {50, 50, 50}, {60, 60, 60}), (Rgb{60, 60, 60}));
}

} // namespace
} // namespace vorlaxen
