// What an installation puts beside the program for its users, found the way the program finds it: the
// help file with an anchor for every topic the program opens and the pictures it shows, the manual pages
// (which render without a warning) and the companion's bash completion.

#include "desktop/HelpViewer.h"
#include "desktop/ProgramSettings.h"
#include "desktop/TipOfTheDay.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <unistd.h>

namespace vorlaxen {
namespace {

class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        prefix_ = new test::TempDir;
        const test::ProcessResult installed =
            test::RunProcess({VORLAXEN_CMAKE, "--install", VORLAXEN_BUILD_DIR, "--prefix", prefix_->path()});
        installOutput_ = installed.out + installed.err;
        installStatus_ = installed.status;
    }
    static void TearDownTestSuite() { delete prefix_; }

    void SetUp() override { ASSERT_EQ(installStatus_, 0) << installOutput_; }

    static std::string Text(const std::string& path) {
        auto bytes = test::ReadFile(path);
        return std::string(bytes.begin(), bytes.end());
    }

    static test::TempDir* prefix_;
    static std::string installOutput_;
    static int installStatus_;
};

test::TempDir* Installed::prefix_ = nullptr;
std::string Installed::installOutput_;
int Installed::installStatus_ = -1;

TEST_F(Installed, TheHelpFileBesideTheIconHasEveryTopicAndPicture) {
    // The help file as the program finds it: beside the icon that the installed settings name.
    SettingsStore store({*prefix_ / "share/vorlaxen/defaults.reg", *prefix_ / "no-user-settings.reg"});
    store.load();
    ProgramSettings settings;
    ASSERT_TRUE(ReadSettings(store, settings)) << store.problems();
    ASSERT_EQ(settings.helpFile, *prefix_ / "share/vorlaxen/Vorlaxen.html");
    ASSERT_TRUE(test::Exists(settings.helpFile));
    const std::string html = Text(settings.helpFile);

    std::set<int> topics = {kMainWindowHelpTopic, kPreferencesHelpTopic};
    for (const Tip& tip : kTips)
        topics.insert(tip.topic);
    for (int topic : topics)
        EXPECT_NE(html.find("id=\"" + HelpViewer::TopicAnchor(topic) + "\""), std::string::npos) << topic;

    // Every link inside the file leads to an anchor of the file, every picture is installed beside it.
    std::set<std::string> ids;
    static const std::regex id(R"re(\bid="([^"]+)")re");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), id); it != std::sregex_iterator(); ++it)
        ids.insert((*it)[1]);
    static const std::regex link(R"re(href="#([^"]+)")re");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), link); it != std::sregex_iterator(); ++it)
        EXPECT_TRUE(ids.contains((*it)[1])) << "#" << (*it)[1];
    static const std::regex picture(R"re(<img src="([^"]+)")re");
    int pictures = 0;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), picture); it != std::sregex_iterator();
         ++it, ++pictures)
        EXPECT_TRUE(test::Exists(*prefix_ / "share/vorlaxen/" + (*it)[1].str())) << (*it)[1];
    EXPECT_GE(pictures, 4);

    EXPECT_TRUE(test::Exists(*prefix_ / "share/bash-completion/completions/vorlaxen-cli"));
}

TEST_F(Installed, TheManualPagesRenderWithoutAWarning) {
    if (::access("/usr/bin/man", X_OK) != 0)
        GTEST_SKIP() << "man is not installed";
    for (const char* page : {"vorlaxen.1", "vorlaxen-cli.1"}) {
        SCOPED_TRACE(page);
        const std::string path = *prefix_ / "share/man/man1/" + page;
        ASSERT_TRUE(test::Exists(path));
        // "w" is every warning groff has (its "all" leaves out undefined macros).
        test::ProcessOptions options;
        options.env = {{"MANWIDTH", "80"}, {"LC_ALL", "C.UTF-8"}, {"MAN_KEEP_STDERR", "1"}};
        const test::ProcessResult shown = test::RunProcess({"/usr/bin/man", "--warnings=w", "-l", path}, options);
        EXPECT_EQ(shown.status, 0);
        EXPECT_EQ(shown.err, "") << "warnings";
        EXPECT_NE(shown.out.find("NAME"), std::string::npos);
        EXPECT_NE(shown.out.find("SEE ALSO"), std::string::npos);
    }
}

} // namespace
} // namespace vorlaxen
