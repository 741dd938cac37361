#pragma once

#include <functional>
#include <string>

namespace vorlaxen {

// What the About box shows: the program's own lines and two facts of the machine.
struct AboutContents {
    std::string title;       // "Vorlaxen 95"
    std::string version;     // "Version 0.1.0"
    std::string credits;     // who made it, and the licence
    std::string homePage;    // the web address, shown as a link; none shown when empty
    std::string osVersion;   // after "OS version:"
    std::string totalMemory; // after "Total memory , Kb:"
};

// `TAbout` ("About Vorlaxen 95"), shown modally until its "Ok". A click on the web address calls
// `homePageClicked`.
class AboutWindow {
public:
    virtual ~AboutWindow() = default;
    virtual void ShowAboutWindow(const AboutContents& contents, const std::function<void()>& homePageClicked) = 0;
};

} // namespace vorlaxen
