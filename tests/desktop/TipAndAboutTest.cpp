// The tip of the day, the About box and the help, over fakes of their windows and of the browser.

#include "desktop/AboutBox.h"
#include "desktop/HelpViewer.h"
#include "desktop/TipOfTheDay.h"
#include "engine/Messages.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <set>

namespace vorlaxen {
namespace {

class FakeBrowser : public BrowserLauncher {
public:
    struct Opened {
        std::string path, anchor, directory;
    };
    bool OpenDocumentAt(const std::string& path, const std::string& anchor, const std::string& directory) override {
        documents.push_back({path, anchor, directory});
        return works;
    }
    bool OpenWebAddress(const std::string& address) override {
        addresses.push_back(address);
        return works;
    }
    bool works = true;
    std::vector<Opened> documents;
    std::vector<std::string> addresses;
};

// The tip window: records what it showed and lets the test act as the user.
class FakeTipWindow : public TipWindow {
public:
    std::optional<bool> ShowTipWindow(const std::string& tip, bool showNextTime, const TipWindowCalls& calls) override {
        shownTips.push_back(tip);
        boxes.push_back(showNextTime);
        return user ? user(tip, showNextTime, calls) : std::optional<bool>(showNextTime);
    }
    std::function<std::optional<bool>(const std::string&, bool, const TipWindowCalls&)> user;
    std::vector<std::string> shownTips;
    std::vector<bool> boxes;
};

class Tips : public ::testing::Test {
protected:
    Tips() { test::WriteFile(helpFile, "<html></html>"); }

    test::TempDir dir;
    std::string helpFile = dir / "Vorlaxen.html";
    FakeBrowser browser;
    test::FakeHost host;
    HelpViewer help{helpFile, browser, host};
    bool showTip = true;
    FakeTipWindow window;
    TipOfTheDay tips{showTip, window, help};
};

TEST_F(Tips, NoTipComesTwiceInARowEveryTipComesUpAndTheFirstOfARunIsNeverTipZero) {
    for (std::uint64_t run = 0; run < 300; ++run) {
        TipOfTheDay fresh(showTip, window, help);
        fresh.Seed(run * 7919);
        ASSERT_NE(fresh.SetTIP(), 0) << "seed " << run * 7919;
    }
    std::set<int> seen;
    int last = tips.lastShown();
    for (int draw = 0; draw < 2000; ++draw) {
        const int next = tips.SetTIP();
        ASSERT_NE(next, last);
        ASSERT_GE(next, 0);
        ASSERT_LT(next, 13);
        EXPECT_EQ(tips.lastShown(), next);
        seen.insert(next);
        last = next;
    }
    EXPECT_EQ(seen.size(), kTipCount) << "tip 0 included";
}

TEST_F(Tips, OkStoresTheCheckBoxAndTipsShowsTheWindowWhateverItSays) {
    tips.ShowAtStartup();
    ASSERT_EQ(window.shownTips.size(), 1u);
    EXPECT_TRUE(window.boxes[0]) << "the check box shows \"ShowTIP\"";
    EXPECT_EQ(window.shownTips[0], kTips[static_cast<std::size_t>(tips.lastShown())].text);

    // "Next Tip" twice, then the box unchecked and "OK".
    window.user = [](const std::string& first, bool, const TipWindowCalls& calls) {
        const std::string second = calls.nextTip();
        EXPECT_NE(second, first);
        EXPECT_NE(calls.nextTip(), second);
        return std::optional<bool>(false);
    };
    tips.ShowAtStartup();
    EXPECT_FALSE(showTip);
    tips.ShowAtStartup();
    EXPECT_EQ(window.shownTips.size(), 2u) << "the next start shows no tip";

    window.user = nullptr;
    tips.Tips_ItemClick();
    ASSERT_EQ(window.shownTips.size(), 3u);
    EXPECT_FALSE(window.boxes[2]) << "shown with the box unchecked";

    // A window cut short by the program leaves the setting as it was.
    window.user = [](const std::string&, bool, const TipWindowCalls&) { return std::optional<bool>(); };
    showTip = true;
    tips.ShowAtStartup();
    EXPECT_TRUE(showTip);
}

TEST_F(Tips, MoreInfoOpensTheHelpAtTheShownTipsTopic) {
    window.user = [](const std::string& first, bool shown, const TipWindowCalls& calls) {
        std::string tip = first;
        while (tip != kTips[10].text)
            tip = calls.nextTip();
        calls.moreInfo();
        return std::optional<bool>(shown);
    };
    tips.Tips_ItemClick();
    ASSERT_EQ(browser.documents.size(), 1u);
    EXPECT_EQ(browser.documents[0].path, helpFile);
    EXPECT_EQ(browser.documents[0].anchor, "topic-60");
    EXPECT_EQ(browser.documents[0].directory, dir.path()) << "started in the help file's directory";
    EXPECT_EQ(host.statuses, (std::vector<std::string>{"Executing associated application...", "Idle."}));

    // The contents open at the start.
    help.OpenHelp();
    EXPECT_EQ(browser.documents.back().anchor, "");

    // Without the help file nothing happens and nothing is said.
    std::remove(helpFile.c_str());
    host.statuses.clear();
    help.OpenHelp(kMainWindowHelpTopic);
    EXPECT_EQ(browser.documents.size(), 2u);
    EXPECT_TRUE(host.statuses.empty());
}

class FakeAboutWindow : public AboutWindow {
public:
    void ShowAboutWindow(const AboutContents& c, const std::function<void()>& homePageClicked) override {
        shown.push_back(c);
        if (click)
            homePageClicked();
    }
    bool click = false;
    std::vector<AboutContents> shown;
};

TEST(About, ShowsTheSystemItsMemoryAndTheLicenceAndOpensTheWebPageWhenTheBuildHasOne) {
    FakeAboutWindow window;
    FakeBrowser browser;
    test::FakeHost host;
    AboutBox about(window, browser, host, [] { return SystemFacts{"Linux", "5.1.0-17-fake", std::uint64_t{4} << 30}; });
    EXPECT_EQ(about.homePage(), BuiltHomePage());
    about.setHomePage("https://example.org/vorlaxen");
    window.click = true;
    about.About_ItemClick();
    ASSERT_EQ(window.shown.size(), 1u);
    const AboutContents& c = window.shown[0];
    EXPECT_EQ(c.title, "Vorlaxen 95");
    EXPECT_EQ(c.version, "Version " VORLAXEN_VERSION);
    EXPECT_EQ(c.credits, "Written by the Vorlaxen developers.\n" + std::string(kLicence));
    EXPECT_EQ(c.osVersion, "Linux 5.1.0-17-fake");
    EXPECT_EQ(c.totalMemory, "4194304");
    EXPECT_EQ(c.homePage, "https://example.org/vorlaxen");
    EXPECT_EQ(browser.addresses, std::vector<std::string>{"https://example.org/vorlaxen"});
    EXPECT_TRUE(host.messages.empty());

    browser.works = false;
    about.About_ItemClick();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Couldn't launch the HTML browser.");
    EXPECT_EQ(host.messages[0].kind, MessageKind::Error);

    // A build told no web page shows none, and nothing can open one.
    about.setHomePage("");
    browser.works = true;
    about.About_ItemClick();
    EXPECT_EQ(window.shown.back().homePage, "");
    EXPECT_EQ(browser.addresses.size(), 2u) << "only the two clicks with a web page reached the browser";
    EXPECT_EQ(host.messages.size(), 1u);

    EXPECT_EQ(about.Compose({"Linux", "", 1023}).totalMemory, "0") << "whole kilobytes, rounded down";
    EXPECT_EQ(about.Compose({"Linux", "", 1023}).osVersion, "Linux");
    EXPECT_EQ(about.Compose({"Linux", "6.1", (std::uint64_t{64} << 30) + 2047}).totalMemory, "67108865");
}

} // namespace
} // namespace vorlaxen
