#include "desktop/AboutBox.h"

#include "engine/Messages.h"

namespace vorlaxen {

std::string BuiltHomePage() {
    return VORLAXEN_HOMEPAGE;
}

AboutContents AboutBox::Compose(const SystemFacts& facts) const {
    AboutContents c;
    c.title = "Vorlaxen 95";
    c.version = "Version " VORLAXEN_VERSION;
    c.credits = std::string("Written by the Vorlaxen developers.\n") + kLicence;
    c.homePage = homePage_;
    c.osVersion = facts.release.empty() ? facts.systemName : facts.systemName + " " + facts.release;
    // Whole kilobytes in digits alone: no separators, no leading zeros.
    c.totalMemory = std::to_string(facts.totalMemory / 1024);
    return c;
}

void AboutBox::About_ItemClick() {
    window_.ShowAboutWindow(Compose(system_()), [this] { HomePage_LabelClick(); });
}

void AboutBox::HomePage_LabelClick() {
    if (homePage_.empty())
        return;
    if (!browser_.OpenWebAddress(homePage_))
        (void)messages_.ShowMessage(MessageKind::Error, "Couldn't launch the HTML browser.", MessageButtons::Ok);
}

AboutBox::Arrangement
AboutBox::Arrange(int separatorWidth, int areaTop, int memoryLabelTop, int okWidth, int okHeight) {
    Arrangement a;
    a.width = separatorWidth + 107;
    a.areaHeight = memoryLabelTop + 32 - areaTop;
    a.okTop = areaTop + a.areaHeight + 8;
    a.okLeft = (a.width - okWidth) / 2;
    a.height = a.okTop + okHeight + 30;
    return a;
}

} // namespace vorlaxen
