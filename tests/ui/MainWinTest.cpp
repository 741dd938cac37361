// The real main window on the offscreen platform, against settings fixtures.

#include "support/ModalAnswer.h"
#include "support/TempDir.h"
#include "ui/TMainWin.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>
#include <utility>

namespace vorlaxen {
namespace {

std::string Fixture(const std::string& name) {
    return test::ReadFixture("settings/" + name);
}

class MainWindow : public ::testing::Test {
protected:
    SettingsStore::Locations settings(const std::string& fixture) {
        test::WriteFile(dir / "defaults.reg", Fixture(fixture));
        return {dir / "defaults.reg", dir / "user.reg"};
    }

    ProgramSettings reread() {
        SettingsStore store({dir / "defaults.reg", dir / "user.reg"});
        store.load();
        ProgramSettings s;
        EXPECT_TRUE(ReadSettings(store, s)) << store.problems();
        return s;
    }

    test::TempDir dir;
};

TEST_F(MainWindow, StartsWithItsCaptionAndWritesBackItsNewSize) {
    // Passwords are stored on disk in these settings: the first activation asks for the master password.
    QString asked;
    test::AnswerNextModal([&asked](QWidget* modal) {
        asked = modal->windowTitle();
        QMetaObject::invokeMethod(modal, "reject");
    });
    {
        TMainWin window(settings("complete.reg"));
        EXPECT_EQ(window.windowTitle(), "Vorlaxen 95 ( IDEA )");
        EXPECT_EQ(window.size(), QSize(800, 600));
        EXPECT_EQ(window.Method, 4);
        EXPECT_TRUE(window.objects().pwdTable().MasterPass.UseKeyFile);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.resize(700, 500);
        ASSERT_TRUE(QTest::qWaitFor([&window] { return window.size() == QSize(700, 500); }));
        window.close();
    }
    EXPECT_EQ(asked, "The Master password");
    ProgramSettings s = reread();
    EXPECT_EQ(s.windowWidth, 700);
    EXPECT_EQ(s.windowHeight, 500);
    EXPECT_EQ(s.method, 4) << "everything else comes back as it was";
    EXPECT_EQ(s.dir, "/home/user/My \"keys\"\\xwords.001");
}

TEST_F(MainWindow, AnIncompleteInstallationIsReportedOnceAndTheProgramGoesOn) {
    QString shown;
    int boxes = 0;
    test::AnswerNextModal([&](QWidget* modal) {
        ++boxes;
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            shown = box->text();
    });
    {
        TMainWin window(settings("options-without-method.reg"));
        EXPECT_EQ(shown, "The program has not been installed correctly!");
        EXPECT_EQ(boxes, 1);
        EXPECT_EQ(window.Method, 0);
        EXPECT_FALSE(window.objects().pwdTable().MasterPass.UseKeyFile) << "never read";
    }
    ProgramSettings s = reread();
    EXPECT_EQ(s.method, 0) << "the missing value is written at exit";
}

TEST_F(MainWindow, NeitherABrokenUserFileNorMissingDefaultsStopTheProgram) {
    const std::string broken = "Windows Registry Editor Version 5.00\n[HKEY_CLASSES_ROOT\\crypt file";
    test::WriteFile(dir / "user.reg", broken);
    test::AnswerNextModal([](QWidget*) {});
    {
        TMainWin window({dir / "no-defaults.reg", dir / "user.reg"});
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    auto kept = test::ReadFile(dir / "user.reg");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), broken);
}

TEST_F(MainWindow, StartupStepsRunOnceOnTheFirstActivation) {
    TMainWin window(settings("complete.reg"));
    int masterAsks = 0;
    test::AnswerNextModal([&masterAsks](QWidget* modal) {
        if (modal->windowTitle() == "The Master password")
            ++masterAsks;
        QMetaObject::invokeMethod(modal, "reject");
    });
    int runs = 0;
    window.startup().Add([&runs] { ++runs; });
    EXPECT_EQ(runs, 0) << "nothing runs before the window is active";
    window.show();
    window.activateWindow();
    // The start-up steps open the master password dialog from within the activation: wait for them.
    ASSERT_TRUE(QTest::qWaitFor([&runs, &masterAsks] { return runs == 1 && masterAsks == 1; }));
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; })) << "the dialog closed";
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(masterAsks, 1) << "passwords are stored on disk: the master password is asked for once";

    int boxes = 0;
    test::AnswerNextModal([&boxes](QWidget*) { ++boxes; });
    window.ShowMessage(MessageKind::Information, "A modal box takes the focus and gives it back.", MessageButtons::Ok);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&window] { return window.isActiveWindow(); }));
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(runs, 1);
}

TEST_F(MainWindow, MessageBoxesOfferTheirButtonsAndReportTheAnswer) {
    TMainWin window(settings("complete.reg"));
    struct Case {
        MessageButtons buttons;
        QStringList captions;
    };
    for (const Case& c : {Case{MessageButtons::Ok, {"OK"}},
                          Case{MessageButtons::OkCancel, {"OK", "Cancel"}},
                          Case{MessageButtons::OkAll, {"OK", "All"}},
                          Case{MessageButtons::YesNoCancel, {"Yes", "No", "Cancel"}},
                          Case{MessageButtons::OkCancelAll, {"OK", "Cancel All"}}}) {
        QStringList seen;
        test::AnswerNextModal([&seen](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr) << modal->windowTitle().toStdString();
            for (QAbstractButton* b : box->buttons())
                seen << b->text().remove('&');
            box->buttons().last()->click();
        });
        MessageAnswer answer = window.ShowMessage(MessageKind::Confirmation, "Question?", c.buttons);
        seen.sort();
        QStringList expected = c.captions;
        expected.sort();
        EXPECT_EQ(seen, expected);
        (void)answer;
    }
    test::AnswerNextModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr) << modal->windowTitle().toStdString();
        for (QAbstractButton* b : box->buttons())
            if (b->text() == "All")
                b->click();
    });
    EXPECT_EQ(window.ShowMessage(MessageKind::Error, "Invalid password", MessageButtons::OkAll), MessageAnswer::All);
    for (const auto& [key, expected] :
         {std::pair{Qt::Key_Escape, MessageAnswer::Ok}, std::pair{Qt::Key_Return, MessageAnswer::Ok}}) {
        test::AnswerNextModal([key = key](QWidget* modal) { QTest::keyClick(modal, key); });
        EXPECT_EQ(window.ShowMessage(MessageKind::Error, "The disk may be full", MessageButtons::OkCancelAll), expected)
            << "a key goes on with the list";
    }
    test::AnswerNextModal([](QWidget* modal) {
        for (QAbstractButton* b : qobject_cast<QMessageBox*>(modal)->buttons())
            if (b->text() == "Cancel All")
                b->click();
    });
    EXPECT_EQ(window.ShowMessage(MessageKind::Error, "The disk may be full", MessageButtons::OkCancelAll),
              MessageAnswer::CancelAll);
}

} // namespace
} // namespace vorlaxen
