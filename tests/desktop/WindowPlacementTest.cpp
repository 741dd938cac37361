#include "desktop/WindowPlacement.h"

#include <gtest/gtest.h>

namespace vorlaxen {
namespace {

WindowFitInput OnScreen(Size wanted, Rect area) {
    WindowFitInput in;
    in.wanted = wanted;
    in.minimum = {420, 340};
    in.frame = {1, 24, 1, 1};
    in.area = area;
    return in;
}

TEST(WindowPlacement, TheWindowIsFittedIntoTheAvailableAreaAndPlacedInsideIt) {
    // The installed 900 by 620 on an 800 by 600 screen with a panel of 24 pixels at the top: shrunk to
    // what is left once the frame is added, its frame from the area's top-left corner.
    const Rect small{0, 24, 800, 576};
    EXPECT_EQ(FitWindow(OnScreen({900, 620}, small)), (WindowPlace{0, 24, {798, 551}}));
    // A size that fits keeps its size and is centred, frame included.
    const Rect wide{0, 0, 1280, 800};
    EXPECT_EQ(FitWindow(OnScreen({900, 620}, wide)), (WindowPlace{189, 77, {900, 620}}));
    // Too wide only: the height stays.
    EXPECT_EQ(FitWindow(OnScreen({1400, 500}, wide)).size, (Size{1278, 500}));
    // Never below the minimum; where even that does not fit, the title bar and the menus stay on screen.
    EXPECT_EQ(FitWindow(OnScreen({900, 620}, {100, 50, 400, 300})), (WindowPlace{100, 50, {420, 340}}));
    EXPECT_EQ(FitWindow(OnScreen({200, 100}, wide)).size, (Size{420, 340}));

    // Kept where it is, but moved back into the area: off the left and bottom edges, and on a second
    // screen whose area starts at 1280.
    WindowFitInput kept = OnScreen({600, 400}, wide);
    kept.centre = false;
    kept.frameLeft = -49;
    kept.frameTop = 700;
    EXPECT_EQ(FitWindow(kept), (WindowPlace{0, 800 - 425, {600, 400}}));
    kept.frameLeft = 300;
    kept.frameTop = 100;
    EXPECT_EQ(FitWindow(kept), (WindowPlace{300, 100, {600, 400}})) << "inside already: it stays";
    kept.area = {1280, 0, 1024, 768};
    EXPECT_EQ(FitWindow(kept), (WindowPlace{1280, 100, {600, 400}}));
}

} // namespace
} // namespace vorlaxen
