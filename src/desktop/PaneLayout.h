#pragma once

namespace vorlaxen {

// The places of the directory tree, the panes, their titles and their progress bars, as the window's
// size, the splitter and a running operation decide them. Coordinates are those of the two panels,
// whose tops are level.
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int bottom() const { return top + height; }
    bool operator==(const Rect&) const = default;
};

struct PaneLayoutInput {
    int dirPanelWidth = 0;
    int dirPanelHeight = 0;
    int gridPanelWidth = 0;
    int treeTop = 0;
    int sourceTop = 0;       // the upper pane's top, fixed by the window
    int upperPictureTop = 0; // its title pictures' top, fixed by the window
    int left = 6;            // the panes' left edge in the grid panel
    int progressBarHeight = 10;
    // A single-file encryption or decryption is running: the panes leave room for their progress bars.
    bool busy = false;
};

struct PaneLayoutResult {
    Rect tree;
    int driveBoxWidth = 0;
    Rect source;
    Rect crypted;
    Rect sourceBar;
    Rect cryptedBar;
    int lowerPictureTop = 0;
    int lowerTitleTop = 0;
};

// Reresize: the widths of UpdateWidths and then the heights and tops: the lower pane ends level with the
// tree (14 pixels higher while busy), the two panes share the height less a gap (58 pixels while busy,
// 30 otherwise), and each progress bar sits 4 pixels under its pane while busy, hidden behind it
// otherwise.
PaneLayoutResult LayOutPanes(const PaneLayoutInput& in);

// The lowest directory panel (and so the lowest window) at which each pane is still `idlePaneHeight`
// pixels high, and `busyPaneHeight` while a file is processed and the panes make room for their progress
// bars. `in` gives the fixed places; its panel height and busy flag are ignored.
int SmallestDirPanelHeight(PaneLayoutInput in, int idlePaneHeight, int busyPaneHeight);

} // namespace vorlaxen
