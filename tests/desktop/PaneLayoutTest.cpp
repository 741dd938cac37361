#include "desktop/PaneLayout.h"

#include "desktop/CoolBands.h"

#include <gtest/gtest.h>

namespace vorlaxen {
namespace {

PaneLayoutInput Window(bool busy) {
    PaneLayoutInput in;
    in.dirPanelWidth = 190;
    in.dirPanelHeight = 440;
    in.gridPanelWidth = 600;
    in.treeTop = 32;
    in.sourceTop = 32;
    in.upperPictureTop = 4;
    in.busy = busy;
    return in;
}

TEST(PaneLayout, IdleThePanesShareTheTreesHeightAndTheBarsHide) {
    auto out = LayOutPanes(Window(false));
    EXPECT_EQ(out.tree, (Rect{4, 32, 182, 400}));
    EXPECT_EQ(out.driveBoxWidth, 182);
    EXPECT_EQ(out.crypted.height, (400 - 30) / 2);
    EXPECT_EQ(out.crypted.bottom(), out.tree.bottom()) << "the lower pane ends level with the tree";
    EXPECT_EQ(out.source.height, 400 - 30 - out.crypted.height);
    EXPECT_EQ(out.source.width, 588);
    EXPECT_EQ(out.sourceBar.bottom(), out.source.bottom()) << "hidden behind its pane";
    EXPECT_EQ(out.cryptedBar.bottom(), out.crypted.bottom());
    EXPECT_EQ(out.lowerPictureTop, out.crypted.top - 28);
    EXPECT_EQ(out.lowerTitleTop, out.lowerPictureTop + 4);
}

TEST(PaneLayout, BusyThePanesMakeRoomForTheirProgressBars) {
    auto out = LayOutPanes(Window(true));
    EXPECT_EQ(out.crypted.height, (400 - 58) / 2);
    EXPECT_EQ(out.crypted.bottom(), out.tree.bottom() - 14);
    EXPECT_EQ(out.sourceBar.top, out.source.bottom() + 4);
    EXPECT_EQ(out.cryptedBar.top, out.crypted.bottom() + 4);
    EXPECT_LE(out.sourceBar.bottom(), out.crypted.top - 28 + 4) << "the upper bar stays clear of the lower title";
}

TEST(PaneLayout, TheSplitterTradesTreeWidthForPaneWidth) {
    auto narrow = LayOutPanes(Window(false));
    auto in = Window(false);
    in.dirPanelWidth += 50;
    in.gridPanelWidth -= 50;
    auto wide = LayOutPanes(in);
    EXPECT_EQ(wide.tree.width - narrow.tree.width, 50);
    EXPECT_EQ(narrow.source.width - wide.source.width, 50);
    EXPECT_EQ(wide.source.height, narrow.source.height);
}

TEST(CoolBands, StartAsTheWindowDefinesThem) {
    CoolBands bands;
    EXPECT_EQ(bands.Rows(), (std::vector<std::vector<std::size_t>>{{0}, {1}, {2, 3}}));
    EXPECT_EQ(bands.bands()[3].control, "Method_Panel");
}

TEST(CoolBands, MovingABandBetweenRowsKeepsTheBreaksConsistent) {
    CoolBands bands;
    bands.Move(3, 0, 0); // the method panel to the front of the first row
    EXPECT_EQ(bands.bands()[0].control, "Method_Panel");
    EXPECT_EQ(bands.Rows(), (std::vector<std::vector<std::size_t>>{{0, 1}, {2}, {3}}));
    bands.Move(0, 9, 0); // to a new row at the bottom
    EXPECT_EQ(bands.bands()[3].control, "Method_Panel");
    EXPECT_TRUE(bands.bands()[3].startsRow);
    EXPECT_TRUE(bands.bands()[0].startsRow) << "the first band always starts a row";
    bands.Move(1, 0, 1); // StatusBar1 behind StatusBar2, its row disappears
    EXPECT_EQ(bands.Rows(), (std::vector<std::vector<std::size_t>>{{0, 1}, {2}, {3}}));
    EXPECT_EQ(bands.bands()[1].control, "StatusBar1");
}

TEST(CoolBands, ASavedLayoutWithUnknownOrRepeatedControlsStillPlacesEachControlOnce) {
    CoolBands bands;
    std::array<BandLayout, 4> saved = {
        {{true, 100, "StatusBar3"}, {false, 90, "StatusBar3"}, {true, 80, "Nonsense"}, {false, 10, "StatusBar1"}}};
    bands.Apply(saved);
    std::vector<std::string> controls;
    for (const auto& b : bands.bands())
        controls.push_back(b.control);
    EXPECT_EQ(controls, (std::vector<std::string>{"StatusBar3", "StatusBar2", "Method_Panel", "StatusBar1"}));
    EXPECT_EQ(bands.bands()[1].width, 90) << "widths and breaks as saved";
    EXPECT_EQ(bands.bands()[3].width, CoolBands::kMinimumWidth);
}

TEST(CoolBands, TheLastBandOfARowKeepsItsRoomAndTheBandsBeforeItGiveWay) {
    CoolBands bands;
    std::array<BandLayout, 4> saved = bands.bands();
    saved[2].width = 1096; // the status line, beside the method buttons
    bands.Apply(saved);
    const std::array<int, 4> minimums = {30, 30, 40, 176};
    using Widths = std::array<int, 4>;
    EXPECT_EQ(bands.ShownWidths(1280, minimums), (Widths{1280, 1280, 1096, 184}));
    EXPECT_EQ(bands.ShownWidths(900, minimums), (Widths{900, 900, 724, 176}));
    EXPECT_EQ(bands.ShownWidths(150, minimums), (Widths{150, 150, 40, 176})) << "no band below its minimum";

    // What is saved is each band's own width; only the last of a row saves what it shows.
    const auto kept = bands.Saved(bands.ShownWidths(900, minimums));
    EXPECT_EQ(kept[2].width, 1096);
    EXPECT_EQ(kept[3].width, 176);
    EXPECT_EQ(kept[0].width, 900);
}

TEST(PaneLayout, TheSmallestWindowLeavesEveryPaneAndBandItsRoom) {
    // Each pane at least 70 pixels high, 60 while busy: the lowest panel that gives it, and no lower one.
    const int lowest = SmallestDirPanelHeight(Window(false), 70, 60);
    PaneLayoutInput in = Window(false);
    for (const bool busy : {false, true}) {
        in.busy = busy;
        in.dirPanelHeight = lowest;
        const PaneLayoutResult out = LayOutPanes(in);
        EXPECT_GE(std::min(out.source.height, out.crypted.height), busy ? 60 : 70) << busy;
    }
    in.dirPanelHeight = lowest - 1;
    const PaneLayoutResult tooLow = LayOutPanes(in);
    EXPECT_LT(std::min(tooLow.source.height, tooLow.crypted.height), 60);
    EXPECT_EQ(lowest, 40 + 58 + 2 * 60) << "tree margin, the busy gap, two panes: busy decides here";
    EXPECT_EQ(SmallestDirPanelHeight(Window(true), 100, 40), 40 + 30 + 2 * 100) << "and idle here";

    // The status area is as wide as its widest row needs: here the status line beside the method buttons.
    CoolBands bands;
    EXPECT_EQ(bands.MinimumBarWidth({30, 60, 40, 176}), 40 + 176);
    EXPECT_EQ(bands.MinimumBarWidth({300, 60, 10, 176}), 300);
    EXPECT_EQ(bands.MinimumBarWidth({0, 0, 0, 0}), 2 * CoolBands::kMinimumWidth) << "never below a band's own minimum";
}

} // namespace
} // namespace vorlaxen
