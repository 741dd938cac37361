// Handing a file to the desktop's application for its type, with a desktop entry and a mimeapps.list of
// the test's own.

#include "platform/Launcher.h"

#include "support/TempDir.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace vorlaxen {
namespace {

class Launcher : public ::testing::Test {
protected:
    void SetUp() override {
        ::mkdir((dir / "data").c_str(), 0700);
        ::mkdir((dir / "data/applications").c_str(), 0700);
        ::mkdir((dir / "config").c_str(), 0700);
        ::mkdir((dir / "work").c_str(), 0700);
        test::WriteFile(dir / "data/applications/vorlaxen-test-opener.desktop",
                        "[Desktop Entry]\nType=Application\nName=Test opener\n"
                        "Exec=/bin/sh -c 'pwd > \"$0.opened-in\"' %f\nMimeType=text/html;\n");
        test::WriteFile(dir / "config/mimeapps.list",
                        "[Default Applications]\ntext/html=vorlaxen-test-opener.desktop\n");
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        const char* system = std::getenv("XDG_DATA_DIRS");
        ::setenv("XDG_DATA_DIRS",
                 ((dir / "data") + ":" + (system && *system ? system : "/usr/local/share:/usr/share")).c_str(),
                 1);
    }

    test::TempDir dir;
};

TEST_F(Launcher, OpensAFileWithItsTypesApplicationInTheGivenDirectoryAndWatchesIt) {
    const std::string page = dir / "page.html";
    test::WriteFile(page, "<html></html>");
    const pid_t pid = OpenWithDefaultApplication(page, dir / "work", true);
    ASSERT_GT(pid, 0);
    for (int waited = 0; ProcessRunning(pid) && waited < 500; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(ProcessRunning(pid)) << "ended and reaped";
    auto seen = test::ReadFile(page + ".opened-in");
    EXPECT_EQ(std::string(seen.begin(), seen.end()), dir / "work" + "\n");
}

TEST_F(Launcher, AFileWithoutAnApplicationIsNotOpened) {
    const std::string unknown = dir / "blob.vorlaxen-test-unknown-type";
    test::WriteFile(unknown, std::string("\x00\x01\x02\x03", 4));
    EXPECT_EQ(OpenWithDefaultApplication(unknown, "", true), 0);
    EXPECT_EQ(OpenWithDefaultApplication(dir / "missing.html", "", true), 0) << "nor is a file that is not there";
}

} // namespace
} // namespace vorlaxen
