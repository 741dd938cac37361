#pragma once

#include "platform/SystemFacts.h"
#include "ports/AboutWindow.h"
#include "ports/BrowserLauncher.h"
#include "ports/MessageBox.h"

#include <functional>
#include <string>

namespace vorlaxen {

// The program's web page as the build was told it (VORLAXEN_HOMEPAGE); empty when it was told none.
std::string BuiltHomePage();

// The About box, "&About..." of the Help menu: the program's title, version, credits with the licence and
// web page, the operating system (its name and release as uname gives them, "Linux 6.1.0-18-amd64") and
// the physical memory in whole kilobytes. A click on the web page opens it in the desktop's browser; a
// build without a web page shows none.
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

    const std::string& homePage() const { return homePage_; }
    void setHomePage(std::string address) { homePage_ = std::move(address); }

    AboutContents Compose(const SystemFacts& facts) const;

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
    std::string homePage_ = BuiltHomePage();
};

} // namespace vorlaxen
