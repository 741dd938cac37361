#pragma once

#include "support/TempDir.h"
#include "ui/TMainWin.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace vorlaxen::test {

// A real main window on settings of the test's own (passwords not stored on disk, so no master password
// is asked for at start), showing the directory `files`, which is the current directory while the test
// runs.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = QDir::currentPath();
        WriteFile(settings / "defaults.reg", SettingsWithoutKeyFile());
        QDir::setCurrent(QString::fromStdString(files.path()));
    }
    void TearDown() override { QDir::setCurrent(saved_); }

    std::unique_ptr<TMainWin> open() {
        auto window =
            std::make_unique<TMainWin>(SettingsStore::Locations{settings / "defaults.reg", settings / "user.reg"});
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }

    TempDir settings;
    TempDir files;

private:
    QString saved_;
};

} // namespace vorlaxen::test
