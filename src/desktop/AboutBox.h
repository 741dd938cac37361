#pragma once

#include "platform/SystemFacts.h"
#include "ports/AboutWindow.h"
#include "ports/BrowserLauncher.h"
#include "ports/MessageBox.h"

#include <functional>

namespace vorlaxen {

// The program's web page, which the About box links to.
inline constexpr const char* kHomePage = "https://vorlaxen.org";

// The About box, "&About..." of the Help menu: the program's title, version, credits and web page, the
// operating system (its name and release as uname gives them, "Linux 6.1.0-18-amd64") and the physical
// memory in whole kilobytes. A click on the web page opens it in the desktop's browser.
class AboutBox {
public:
    AboutBox(AboutWindow& window,
             BrowserLauncher& browser,
             MessageBox& messages,
             std::function<SystemFacts()> system = ReadSystemFacts)
        : window_(window)
        , browser_(browser)
        , messages_(messages)
        , system_(std::move(system)) {}

    void About_ItemClick();
    void HomePage_LabelClick();

    static AboutContents Compose(const SystemFacts& facts);

    // On activation: the box 107 pixels wider than its separator line, the upper area ending 32 pixels
    // below the top of "Total memory , Kb:", "Ok" 8 pixels below it and centred, the box 30 pixels taller
    // than the bottom of "Ok". Positions are the box's own.
    struct Arrangement {
        int width;
        int areaHeight;
        int okLeft;
        int okTop;
        int height;
    };
    static Arrangement Arrange(int separatorWidth, int areaTop, int memoryLabelTop, int okWidth, int okHeight);

private:
    AboutWindow& window_;
    BrowserLauncher& browser_;
    MessageBox& messages_;
    std::function<SystemFacts()> system_;
};

} // namespace vorlaxen
