#pragma once

#include "desktop/ProgramSettings.h"

#include <array>
#include <string>
#include <vector>

namespace vorlaxen {

// The four bands of the status area, in position order: each holds one control, has a width and may
// start a new row (the first band always does). The user moves bands within and between rows and
// resizes them; the layout is saved per position.
class CoolBands {
public:
    static constexpr std::size_t kCount = 4;
    static constexpr int kMinimumWidth = 24;

    // The window definition: StatusBar2, StatusBar1 and StatusBar3 each on a row of their own, the
    // method panel beside the status line.
    CoolBands();

    const std::array<BandLayout, kCount>& bands() const { return bands_; }

    // Takes a saved layout. A control named twice, or a name that is no control of the status area,
    // leaves that band with a control the saved layout did not place, so every control stays in exactly
    // one band; the widths and row breaks are taken as saved.
    void Apply(const std::array<BandLayout, kCount>& saved);

    // The bands of each row, as positions, top row first.
    std::vector<std::vector<std::size_t>> Rows() const;

    // Moves the band at `from` into row `row` (a row number past the last makes a new row at the
    // bottom) before the band that is at `position` within that row (past the end: at its end).
    void Move(std::size_t from, std::size_t row, std::size_t position);

    // The widths the bands take on screen in a bar `barWidth` pixels wide, by position. A band keeps
    // its own width and the last band of a row takes the rest; where the rest is narrower than that
    // band's minimum (`minimums`, by position), the bands before it give way, the nearest first, down to
    // their own minimums. The bands' own widths stay as they are.
    std::array<int, kCount> ShownWidths(int barWidth, const std::array<int, kCount>& minimums) const;
    // The narrowest bar in which every band of every row gets its minimum.
    int MinimumBarWidth(const std::array<int, kCount>& minimums) const;
    // The layout to save: each band's own width, and for the last band of a row the width it shows.
    std::array<BandLayout, kCount> Saved(const std::array<int, kCount>& shown) const;
    void Resize(std::size_t band, int width);

    // Position of the band that holds `control`.
    std::size_t PositionOf(const std::string& control) const;

private:
    std::array<BandLayout, kCount> bands_;
};

} // namespace vorlaxen
