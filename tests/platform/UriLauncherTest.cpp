// Opening the help file at an anchor and a web address, with desktop entries and a mimeapps.list of the
// test's own. GIO reads the desktop's directories once per process, so this binary sets them once.

#include "platform/UriLauncher.h"

#include "support/TempDir.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vorlaxen {
namespace {

// Each application writes its working directory and its argument into `<name>.seen` of the test's
// directory.
std::string Entry(const std::string& dir, const std::string& name, const std::string& field, const std::string& types) {
    return "[Desktop Entry]\nType=Application\nName=" + name +
           "\nExec=/bin/sh -c 'printf \"%%s %%s\" \"$PWD\" \"$0\" > " + dir + "/" + name + ".seen' " + field +
           "\nMimeType=" + types + ";\n";
}

class UriLauncher : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        const test::TempDir& d = *dir_;
        for (const char* sub : {"data", "data/applications", "config", "work", "system"})
            ::mkdir((d / sub).c_str(), 0700);
        test::WriteFile(d / "data/applications/vorlaxen-test-browser.desktop",
                        Entry(d.path(), "browser", "%u", "text/html;x-scheme-handler/https"));
        test::WriteFile(d / "data/applications/vorlaxen-test-viewer.desktop",
                        Entry(d.path(), "viewer", "%f", "text/plain"));
        // The program's own "Open With" entry, which takes any file, as an installed package has it.
        test::WriteFile(d / "data/applications/vorlaxen-send-to.desktop",
                        Entry(d.path(), "own", "%F", "application/octet-stream"));
        test::WriteFile(d / "config/mimeapps.list",
                        "[Default Applications]\ntext/html=vorlaxen-test-browser.desktop\n"
                        "x-scheme-handler/https=vorlaxen-test-browser.desktop\n"
                        "text/plain=vorlaxen-test-viewer.desktop\n"
                        "application/octet-stream=vorlaxen-send-to.desktop\n");
        ::setenv("XDG_DATA_HOME", (d / "data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (d / "config").c_str(), 1);
        // The system's MIME database stays, its applications do not: an installed one (this program's own
        // package among them) could claim any file.
        ::symlink("/usr/share/mime", (d / "system/mime").c_str());
        ::setenv("XDG_DATA_DIRS", ((d / "data") + ":" + (d / "system")).c_str(), 1);
    }
    static void TearDownTestSuite() { delete dir_; }

    // What an application wrote, once it has written it.
    static std::string Seen(const std::string& name) {
        const std::string path = *dir_ / (name + ".seen");
        for (int waited = 0; waited < 500; ++waited) {
            auto bytes = test::Exists(path) ? test::ReadFile(path) : std::vector<std::uint8_t>();
            if (!bytes.empty()) {
                std::remove(path.c_str());
                return std::string(bytes.begin(), bytes.end());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "";
    }

    static test::TempDir* dir_;
};

test::TempDir* UriLauncher::dir_ = nullptr;

TEST_F(UriLauncher, TheHelpOpensAtItsAnchorInItsDirectoryAndAWebAddressInTheBrowser) {
    const test::TempDir& d = *dir_;
    const std::string help = d / "work/Vorlaxen Manual.html";
    test::WriteFile(help, "<html><body id=\"topic-60\"></body></html>");
    ASSERT_TRUE(OpenDocumentAt(help, "topic-60", d / "work"));
    EXPECT_EQ(Seen("browser"), d / "work" + " file://" + d.path() + "/work/Vorlaxen%20Manual.html#topic-60");

    ASSERT_TRUE(OpenDocumentAt(help, "", ""));
    EXPECT_EQ(Seen("browser").substr(0, 1), "/") << "started somewhere, not in a given directory";

    // An application that takes file names gets the file, without the anchor.
    const std::string text = d / "work/notes.txt";
    test::WriteFile(text, "plain text");
    ASSERT_TRUE(OpenDocumentAt(text, "topic-20", d / "work"));
    EXPECT_EQ(Seen("viewer"), d / "work" + " " + text);

    ASSERT_TRUE(OpenWebAddress("https://vorlaxen.org"));
    const std::string browsed = Seen("browser");
    EXPECT_TRUE(browsed.ends_with(" https://vorlaxen.org")) << browsed;
}

TEST_F(UriLauncher, NothingToOpenWithIsAFailure) {
    const test::TempDir& d = *dir_;
    test::WriteFile(d / "blob.bin", std::string("\x00\x01\x02\x7f", 4));
    EXPECT_FALSE(OpenDocumentAt(d / "blob.bin", "topic-20", ""));
    EXPECT_FALSE(OpenDocumentAt(d / "missing.html", "topic-20", ""));
    EXPECT_FALSE(OpenWebAddress("vorlaxen-test-nothing://vorlaxen.org"));
    EXPECT_FALSE(OpenWebAddress("no address at all"));
}

} // namespace
} // namespace vorlaxen
