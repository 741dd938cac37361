#pragma once

#include "desktop/HelpViewer.h"
#include "ports/TipWindow.h"

#include <array>
#include <cstdint>
#include <random>

namespace vorlaxen {

// One tip of the day: its text and the help topic that "More Info..." opens.
struct Tip {
    const char* text;
    int topic;
};

inline constexpr std::size_t kTipCount = 13;
extern const std::array<Tip, kTipCount> kTips;

// The tip of the day: shown at start while "ShowTIP" is on and from "&Tips" at any time. Every showing
// seeds the draw from the clock and shows a new tip; no tip comes twice in a row, and since the last
// shown tip starts as tip 0, the first of a run is never tip 0. "OK" stores the check box in "ShowTIP".
class TipOfTheDay {
public:
    TipOfTheDay(bool& showTip, TipWindow& window, HelpViewer& help)
        : showTip_(showTip)
        , window_(window)
        , help_(help) {}

    // The last start-up step: the window when "ShowTIP" is on.
    void ShowAtStartup();
    // "&Tips" in the Help menu, whatever "ShowTIP" says.
    void Tips_ItemClick();

    // Draws a tip other than the last shown one and makes it the last shown; returns its index.
    int SetTIP();
    // "More Info...": the help at the topic of the last shown tip.
    void MoreInfo_ButtonClick();

    int lastShown() const { return lastShown_; }
    void Seed(std::uint64_t seed) { random_.seed(static_cast<std::mt19937::result_type>(seed ^ (seed >> 32))); }

    // On activation the window ends 35 pixels below "OK"; TIP_Memo is 75 pixels narrower than the
    // window and 35 lower than its group.
    struct Arrangement {
        int height;
        int memoWidth;
        int memoHeight;
    };
    static Arrangement Arrange(int okBottom, int windowWidth, int groupHeight) {
        return {okBottom + 35, windowWidth - 75, groupHeight - 35};
    }

private:
    void Show();

    bool& showTip_;
    TipWindow& window_;
    HelpViewer& help_;
    std::mt19937 random_;
    int lastShown_ = 0;
};

} // namespace vorlaxen
