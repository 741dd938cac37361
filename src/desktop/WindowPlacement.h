#pragma once

#include "desktop/PaneLayout.h"

namespace vorlaxen {

struct Size {
    int width = 0;
    int height = 0;

    bool operator==(const Size&) const = default;
};

// What the window manager's frame adds around the window: title bar and borders.
struct FrameMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct WindowFitInput {
    Size wanted;        // the saved size, or the one the window defines
    Size minimum;       // the smallest size at which every control can be used
    FrameMargins frame; // the frame's margins, as far as they are known
    Rect area;          // the screen's available area: the screen without panels and docks
    bool centre = true; // centred (the first showing), or kept where it is but moved into the area
    int frameLeft = 0;  // where the frame is now, when it is kept
    int frameTop = 0;
};

// Where the window goes: its frame's top-left corner and its own size without the frame.
struct WindowPlace {
    int frameLeft = 0;
    int frameTop = 0;
    Size size;

    bool operator==(const WindowPlace&) const = default;
};

// The window fitted into the screen's available area: a wanted size that would not fit with its frame
// shrinks to what the area leaves, never below the minimum; the frame is centred in the area or kept
// where it is, and then moved so that it lies inside the area, its top-left corner (title bar, menus)
// first where even the minimum is larger than the area.
WindowPlace FitWindow(const WindowFitInput& in);

} // namespace vorlaxen
