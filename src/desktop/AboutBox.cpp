#include "desktop/AboutBox.h"

namespace vorlaxen {

AboutContents AboutBox::Compose(const SystemFacts& facts) {
    AboutContents c;
    c.title = "Vorlaxen 95";
    c.version = "Version " VORLAXEN_VERSION;
    c.credits = "Written by the Vorlaxen developers.";
    c.homePage = kHomePage;
    c.osVersion = facts.release.empty() ? facts.systemName : facts.systemName + " " + facts.release;
    // Whole kilobytes in digits alone: no separators, no leading zeros.
    c.totalMemory = std::to_string(facts.totalMemory / 1024);
    return c;
}

void AboutBox::About_ItemClick() {
    window_.ShowAboutWindow(Compose(system_()), [this] { HomePage_LabelClick(); });
}

void AboutBox::HomePage_LabelClick() {
    if (!browser_.OpenWebAddress(kHomePage))
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
