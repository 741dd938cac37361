// What an installation puts beside the program for its users, found the way the program finds it: the
// help file with an anchor for every topic the program opens and the pictures it shows, the manual pages
// (which render without a warning) and the companion's bash completion; and what it puts where file
// managers and software centres look, read as they read it and checked by the desktop's own validators.

#include "desktop/HelpViewer.h"
#include "desktop/ProgramSettings.h"
#include "desktop/TipOfTheDay.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <algorithm>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sys/stat.h>
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

// A desktop entry file read as the desktop reads it (GLib's key file is its reference reader; KDE's reads
// the same syntax).
class DesktopFile {
public:
    explicit DesktopFile(const std::string& path) {
        GError* error = nullptr;
        loaded_ = g_key_file_load_from_file(file_, path.c_str(), G_KEY_FILE_NONE, &error);
        if (error) {
            problem_ = error->message;
            g_error_free(error);
        }
    }
    ~DesktopFile() { g_key_file_free(file_); }
    DesktopFile(const DesktopFile&) = delete;
    DesktopFile& operator=(const DesktopFile&) = delete;

    bool loaded() const { return loaded_; }
    const std::string& problem() const { return problem_; }
    std::string value(const char* group, const char* key) const {
        gchar* text = g_key_file_get_string(file_, group, key, nullptr);
        std::string value = text ? text : "";
        g_free(text);
        return value;
    }
    std::vector<std::string> list(const char* group, const char* key) const {
        std::vector<std::string> items;
        gsize count = 0;
        gchar** texts = g_key_file_get_string_list(file_, group, key, &count, nullptr);
        for (gsize i = 0; i < count; ++i)
            items.emplace_back(texts[i]);
        g_strfreev(texts);
        return items;
    }

private:
    GKeyFile* file_ = g_key_file_new();
    bool loaded_ = false;
    std::string problem_;
};

bool Contains(const std::vector<std::string>& items, const std::string& item) {
    return std::find(items.begin(), items.end(), item) != items.end();
}

// A file the package installs for others to read: owner-writable, readable by all, never executable
// (a desktop entry marked executable is a packaging error).
mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST_F(Installed, FileManagersFindTheSendToEntriesWhereTheyLookAndEachHandsTheFilesToTheProgram) {
    const std::string share = *prefix_ / "share";
    const std::string program = *prefix_ / "bin/vorlaxen";
    const std::string handOver = program + " %F";
    ASSERT_EQ(::access(program.c_str(), X_OK), 0);
    ASSERT_TRUE(test::Exists(share + "/icons/hicolor/scalable/apps/vorlaxen.svg")) << "the entries' icon";

    // The desktop's validator passes both application entries without an error or a warning (a hint may
    // suggest more menu categories).
    if (::access("/usr/bin/desktop-file-validate", X_OK) == 0) {
        for (const char* entry : {"vorlaxen.desktop", "vorlaxen-send-to.desktop"}) {
            const test::ProcessResult validated =
                test::RunProcess({"/usr/bin/desktop-file-validate", share + "/applications/" + entry});
            EXPECT_EQ(validated.status, 0) << entry;
            const std::string said = validated.out + validated.err;
            EXPECT_EQ(said.find("error:"), std::string::npos) << said;
            EXPECT_EQ(said.find("warning:"), std::string::npos) << said;
        }
    } else {
        ADD_FAILURE() << "desktop-file-validate (desktop-file-utils) is not installed";
    }

    // Every file manager's "Open With" for any file: an application entry that the menus do not show.
    const std::string openWithPath = share + "/applications/vorlaxen-send-to.desktop";
    const DesktopFile openWith(openWithPath);
    ASSERT_TRUE(openWith.loaded()) << openWith.problem();
    EXPECT_EQ(openWith.value("Desktop Entry", "Type"), "Application");
    EXPECT_EQ(openWith.value("Desktop Entry", "Name"), "Vorlaxen 95 IDEA");
    EXPECT_EQ(openWith.value("Desktop Entry", "NoDisplay"), "true");
    EXPECT_EQ(openWith.value("Desktop Entry", "Exec"), handOver);
    EXPECT_EQ(openWith.list("Desktop Entry", "MimeType"), std::vector<std::string>{"application/octet-stream"})
        << "the type every file type derives from";

    // Dolphin's service menu, with the keys KIO reads: a service whose MIME types match every file, with
    // actions, each named and handing the chosen files over.
    const std::string serviceMenuPath = share + "/kio/servicemenus/vorlaxen-send-to.desktop";
    const DesktopFile serviceMenu(serviceMenuPath);
    ASSERT_TRUE(serviceMenu.loaded()) << serviceMenu.problem();
    EXPECT_EQ(serviceMenu.value("Desktop Entry", "Type"), "Service");
    EXPECT_TRUE(Contains(serviceMenu.list("Desktop Entry", "MimeType"), "application/octet-stream"));
    const std::vector<std::string> actions = serviceMenu.list("Desktop Entry", "Actions");
    ASSERT_EQ(actions.size(), 1u);
    const std::string group = "Desktop Action " + actions[0];
    EXPECT_EQ(serviceMenu.value(group.c_str(), "Name"), "Send to Vorlaxen 95 IDEA");
    EXPECT_EQ(serviceMenu.value(group.c_str(), "Icon"), "vorlaxen");
    EXPECT_EQ(serviceMenu.value(group.c_str(), "Exec"), handOver);

    // Nemo's action: shown for one or more files that are not folders, with the program as its dependency.
    const std::string nemoPath = share + "/nemo/actions/vorlaxen-send-to.nemo_action";
    const DesktopFile nemo(nemoPath);
    ASSERT_TRUE(nemo.loaded()) << nemo.problem();
    EXPECT_EQ(nemo.value("Nemo Action", "Name"), "Send to Vorlaxen 95 IDEA");
    EXPECT_EQ(nemo.value("Nemo Action", "Exec"), handOver);
    EXPECT_EQ(nemo.value("Nemo Action", "Selection"), "notnone");
    EXPECT_EQ(nemo.list("Nemo Action", "Extensions"), std::vector<std::string>{"nodirs"});
    EXPECT_EQ(nemo.list("Nemo Action", "Dependencies"), std::vector<std::string>{program});
    EXPECT_EQ(nemo.value("Nemo Action", "Icon-Name"), "vorlaxen");

    for (const std::string& path : {openWithPath, serviceMenuPath, nemoPath})
        EXPECT_EQ(ModeOf(path), 0644u) << path;
}

TEST_F(Installed, TheSoftwareCentresEntryPassesTheirValidatorWithAndWithoutAWebPage) {
    const std::string metainfo = *prefix_ / "share/metainfo/invalid.vorlaxen.vorlaxen.metainfo.xml";
    ASSERT_TRUE(test::Exists(metainfo));
    const std::string xml = Text(metainfo);
    EXPECT_NE(xml.find("<launchable type=\"desktop-id\">vorlaxen.desktop</launchable>"), std::string::npos);
    EXPECT_TRUE(test::Exists(*prefix_ / "share/applications/vorlaxen.desktop")) << "the launchable";
    EXPECT_NE(xml.find("<mediatype>application/x-vorlaxen-container</mediatype>"), std::string::npos);
    EXPECT_NE(xml.find("<content_rating type=\"oars-1.1\"/>"), std::string::npos);
    EXPECT_NE(xml.find("<project_license>GPL-3.0-or-later</project_license>"), std::string::npos);
    EXPECT_NE(xml.find("<release version=\"" VORLAXEN_VERSION "\""), std::string::npos);

    // The same generator told a web page: the page, and the manual's pictures as published beside it.
    const std::string published = *prefix_ / "published.metainfo.xml";
    const test::ProcessResult written = test::RunProcess({VORLAXEN_CMAKE,
                                                          "-DOUTPUT=" + published,
                                                          "-DCOMPONENT_ID=invalid.vorlaxen.vorlaxen",
                                                          "-DVERSION=" VORLAXEN_VERSION,
                                                          "-DDATE=2030-01-31",
                                                          "-DHOMEPAGE=https://example.org/vorlaxen/",
                                                          "-P",
                                                          std::string(VORLAXEN_PACKAGING) + "/Metainfo.cmake"});
    ASSERT_EQ(written.status, 0) << written.err;
    const std::string withPage = Text(published);
    EXPECT_EQ(xml.find("<screenshot"), std::string::npos) << "pictures are taken only from the web";
    EXPECT_NE(withPage.find("<url type=\"homepage\">https://example.org/vorlaxen</url>"), std::string::npos);
    static const std::regex image(R"re(<image>https://example\.org/vorlaxen/images/([^<]+)</image>)re");
    int pictures = 0;
    for (auto it = std::sregex_iterator(withPage.begin(), withPage.end(), image); it != std::sregex_iterator();
         ++it, ++pictures)
        EXPECT_TRUE(test::Exists(*prefix_ / "share/vorlaxen/images/" + (*it)[1].str())) << (*it)[1];
    EXPECT_EQ(pictures, 4);

    if (::access("/usr/bin/appstreamcli", X_OK) != 0)
        GTEST_SKIP() << "appstreamcli (appstream) is not installed";
    for (const std::string& path : {metainfo, published}) {
        const test::ProcessResult validated = test::RunProcess({"/usr/bin/appstreamcli", "validate", "--no-net", path});
        EXPECT_EQ(validated.status, 0) << path << "\n" << validated.out << validated.err;
    }
}

} // namespace
} // namespace vorlaxen
