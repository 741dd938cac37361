#include "desktop/WindowPlacement.h"

#include <algorithm>

namespace vorlaxen {

namespace {

// One axis: the size that fits, and the frame's start inside [areaStart, areaStart + areaLength).
std::pair<int, int>
FitAxis(int wanted, int minimum, int before, int after, int areaStart, int areaLength, bool centre, int frameStart) {
    const int room = areaLength - before - after;
    const int size = std::max(std::min(wanted, room), minimum);
    const int frameLength = size + before + after;
    int start = centre ? areaStart + (areaLength - frameLength) / 2 : frameStart;
    start = std::min(start, areaStart + areaLength - frameLength);
    start = std::max(start, areaStart);
    return {size, start};
}

} // namespace

WindowPlace FitWindow(const WindowFitInput& in) {
    const auto [width, left] = FitAxis(in.wanted.width,
                                       in.minimum.width,
                                       in.frame.left,
                                       in.frame.right,
                                       in.area.left,
                                       in.area.width,
                                       in.centre,
                                       in.frameLeft);
    const auto [height, top] = FitAxis(in.wanted.height,
                                       in.minimum.height,
                                       in.frame.top,
                                       in.frame.bottom,
                                       in.area.top,
                                       in.area.height,
                                       in.centre,
                                       in.frameTop);
    return {left, top, {width, height}};
}

} // namespace vorlaxen
