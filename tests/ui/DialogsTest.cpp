// The Preferences dialog, the tip of the day and the About box, real and headless.

#include "desktop/TipOfTheDay.h"
#include "support/FindChild.h"
#include "support/ModalAnswer.h"
#include "support/ModalScript.h"
#include "support/TempDir.h"
#include "support/WindowTest.h"
#include "ui/MainWinDialogs.h"
#include "ui/TMainWin.h"
#include "ui/TPreferences.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

namespace vorlaxen {
namespace {

using test::Child;

bool Shown(QWidget* widget) {
    return widget->isVisible() && widget->isEnabled();
}

TEST(PreferencesDialog, RowsFollowTheirCheckBoxesAndSpinEditsHold0To600) {
    test::TempDir keys;
    TPreferences dialog(nullptr);
    QSignalSpy help(&dialog, &TPreferences::helpRequested);
    PreferencesControls controls;
    controls.onePerList = true;
    controls.expTime = 45;
    controls.path = keys / "old.key";

    test::AnswerNextModal([&](QWidget* modal) {
        ASSERT_EQ(modal, &dialog);
        EXPECT_EQ(dialog.windowTitle(), "Preferences");
        auto* onePwd = Child<QCheckBox>(&dialog, "OnePwd_CheckBox");
        auto* panel1 = Child<QWidget>(&dialog, "Panel1");
        auto* onePerList = Child<QCheckBox>(&dialog, "OnePerList_CheckBox");
        auto* storePanel = Child<QWidget>(&dialog, "StorePanel");
        auto* panel3 = Child<QWidget>(&dialog, "Panel3");
        auto* ok = Child<QPushButton>(&dialog, "Ok_Button");
        EXPECT_EQ(dialog.height(), ok->mapTo(&dialog, QPoint(0, ok->height())).y() + 35) << "the height rule";
        const QSize size = dialog.size();
        EXPECT_FALSE(Shown(panel1));
        EXPECT_TRUE(Shown(onePerList));
        EXPECT_TRUE(onePerList->isChecked());
        EXPECT_FALSE(Shown(storePanel));
        EXPECT_FALSE(Shown(panel3));
        EXPECT_TRUE(Child<QRadioButton>(&dialog, "IDEA_RadioButton")->isChecked());

        onePwd->click();
        EXPECT_TRUE(Shown(panel1));
        EXPECT_FALSE(Shown(onePerList));
        EXPECT_FALSE(onePerList->isChecked()) << "hidden and unchecked";
        onePwd->click();
        EXPECT_FALSE(Shown(panel1));
        EXPECT_TRUE(Shown(onePerList));
        EXPECT_FALSE(onePerList->isChecked()) << "brought back unchecked";
        onePwd->click();

        Child<QCheckBox>(&dialog, "Store_CheckBox")->click();
        EXPECT_TRUE(Shown(storePanel));
        EXPECT_FALSE(Shown(panel3));
        Child<QCheckBox>(&dialog, "MasterPwdExpires_CheckBox")->click();
        EXPECT_TRUE(Shown(panel3));
        EXPECT_EQ(dialog.size(), size) << "the dialog keeps its size while rows come and go";

        // The spin edits take 0 to 600; an emptied one reads as 0, "Never expires" sets 0.
        auto* spin = Child<QSpinBox>(&dialog, "ExpTime_SpinEdit");
        auto* masterSpin = Child<QSpinBox>(&dialog, "MasterPwdExpTime_SpinEdit");
        EXPECT_EQ(spin->value(), 45);
        EXPECT_EQ(spin->minimum(), 0);
        EXPECT_EQ(spin->maximum(), 600);
        auto* text = spin->findChild<QLineEdit*>();
        // Focus moves only within the active window, which a busy machine makes the dialog a moment later.
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        text->selectAll();
        QTest::keyClicks(text, "7000");
        EXPECT_LE(spin->cleanText().toInt(), 600) << "more than 600 cannot be typed";
        text->selectAll();
        QTest::keyClick(text, Qt::Key_Delete);
        text->setFocus();
        Child<QLineEdit>(&dialog, "Path_Edit")->setFocus();
        EXPECT_EQ(spin->value(), 0) << "an emptied spin edit is 0 once it is left";
        masterSpin->setValue(900);
        EXPECT_EQ(masterSpin->value(), 600);

        QTest::keyClick(&dialog, Qt::Key_F1);
        EXPECT_EQ(help.count(), 1);

        // "Set path..." through the save dialog, which starts at the key file and adds ".key".
        test::AnswerNextModal([&](QWidget* saveModal) {
            auto* save = qobject_cast<QFileDialog*>(saveModal);
            ASSERT_NE(save, nullptr);
            EXPECT_EQ(save->directory().absolutePath().toStdString(), keys.path());
            EXPECT_EQ(save->defaultSuffix(), "key");
            EXPECT_EQ(save->selectedFiles().value(0).toStdString(), keys / "old.key");
            // The user types a name of a new file without its extension.
            Child<QLineEdit>(save, "fileNameEdit")->setText("new");
            QMetaObject::invokeMethod(save, "accept");
        });
        Child<QPushButton>(&dialog, "Browse")->click();
        EXPECT_EQ(Child<QLineEdit>(&dialog, "Path_Edit")->text().toStdString(), keys / "new.key");
        Child<QRadioButton>(&dialog, "TDES_RadioButton")->click();
        ok->click();
    });
    ASSERT_TRUE(dialog.Ask(controls, keys / "old.key"));
    EXPECT_TRUE(controls.onePwd);
    EXPECT_TRUE(controls.panel1Shown);
    EXPECT_FALSE(controls.onePerList);
    EXPECT_EQ(controls.expTime, 0) << "an empty spin edit";
    EXPECT_TRUE(controls.store);
    EXPECT_TRUE(controls.masterPwdExpires);
    EXPECT_EQ(controls.masterPwdExpTime, 600);
    EXPECT_EQ(controls.path, keys / "new.key");
    EXPECT_EQ(controls.method, CipherMethod::TripleDes);

    // Cancel hands nothing back; "Never expires" of the store sets its minutes to 0.
    PreferencesControls before = controls;
    test::AnswerNextModal([&](QWidget*) {
        Child<QPushButton>(&dialog, "Button1")->click();
        EXPECT_EQ(Child<QSpinBox>(&dialog, "MasterPwdExpTime_SpinEdit")->value(), 0);
        Child<QPushButton>(&dialog, "Button2")->click();
    });
    EXPECT_FALSE(dialog.Ask(controls, controls.path));
    EXPECT_TRUE(controls == before);
}

class RecordingBrowser : public BrowserLauncher {
public:
    bool OpenDocumentAt(const std::string& path, const std::string& anchor, const std::string&) override {
        documents.push_back(path + "#" + anchor);
        return true;
    }
    bool OpenWebAddress(const std::string& address) override {
        addresses.push_back(address);
        return works;
    }
    bool works = true;
    std::vector<std::string> documents;
    std::vector<std::string> addresses;
};

class WindowDialogs : public test::WindowTest {
protected:
    // The installed help file is not there for the tests: one of the test's own takes its place.
    void useBrowser(TMainWin& window) {
        test::WriteFile(help, "<html></html>");
        window.HelpFile = help;
        window.dialogs().setBrowser(&browser);
    }
    void settingsWith(const std::string& from, const std::string& to) {
        std::string text;
        auto bytes = test::ReadFile(settings / "defaults.reg");
        text.assign(bytes.begin(), bytes.end());
        ASSERT_NE(text.find(from), std::string::npos) << from;
        text.replace(text.find(from), from.size(), to);
        test::WriteFile(settings / "defaults.reg", text);
    }
    std::string tipText(QWidget* modal) {
        return Child<QPlainTextEdit>(modal, "TIP_Memo")->toPlainText().toStdString();
    }

    test::TempDir docs;
    std::string help = docs / "Vorlaxen.html";
    RecordingBrowser browser;
};

TEST_F(WindowDialogs, TheTipComesAfterTheMasterPasswordAndOkUncheckedShowsNoTipAtTheNextStart) {
    settingsWith("\"ShowTIP\"=dword:00000100", "\"ShowTIP\"=dword:00000001");
    settingsWith("\"Store\"=dword:00000000", "\"Store\"=dword:00000001");
    const SettingsStore::Locations locations{settings / "defaults.reg", settings / "user.reg"};
    std::string first;
    {
        test::ModalScript script({
            [](QWidget* modal) {
                EXPECT_EQ(modal->windowTitle(), "The Master password");
                test::RejectModal(modal);
            },
            [&](QWidget* modal) {
                EXPECT_EQ(modal->windowTitle(), "Tip of the day");
                auto* box = Child<QCheckBox>(modal, "Show_CheckBox");
                EXPECT_TRUE(box->isChecked());
                first = tipText(modal);
                EXPECT_NE(first, kTips[0].text) << "never tip 0 first";
                Child<QPushButton>(modal, "NextTip_Button")->click();
                EXPECT_NE(tipText(modal), first);
                box->click();
                Child<QPushButton>(modal, "OK_Button")->click();
            },
        });
        TMainWin window(locations);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&script] { return script.finished(); }));
        ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }));
        EXPECT_FALSE(window.ShowTip);
        EXPECT_EQ(script.seen(), (std::vector<std::string>{"The Master password", "Tip of the day"}));
        EXPECT_FALSE(first.empty());
    }
    // The next start asks for the master password and shows no tip.
    auto window = std::make_unique<TMainWin>(locations);
    {
        test::ModalScript script({[](QWidget* modal) {
            EXPECT_EQ(modal->windowTitle(), "The Master password");
            test::RejectModal(modal);
        }});
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&script] { return script.finished(); }));
        ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }));
        EXPECT_TRUE(window->startup().hasRun());
        EXPECT_FALSE(window->ShowTip);
    }

    // "&Tips" shows it anyway, with the box unchecked; checking it turns the tip on again, and Escape
    // closes the tip as "OK" does.
    bool closedByEscape = false;
    test::AnswerNextModal([&closedByEscape](QWidget* modal) {
        auto* box = Child<QCheckBox>(modal, "Show_CheckBox");
        EXPECT_FALSE(box->isChecked());
        box->click();
        QTest::keyClick(modal, Qt::Key_Escape);
        closedByEscape = !modal->isVisible();
    });
    Child<QAction>(window.get(), "Tips_Item")->trigger();
    EXPECT_TRUE(closedByEscape);
    EXPECT_TRUE(window->ShowTip);
}

TEST_F(WindowDialogs, TheTipWindowIsLaidOutByItsRuleAndMoreInfoOpensTheTipsTopic) {
    auto window = open();
    useBrowser(*window);
    test::AnswerNextModal([&](QWidget* modal) {
        auto* ok = Child<QPushButton>(modal, "OK_Button");
        auto* memo = Child<QPlainTextEdit>(modal, "TIP_Memo");
        auto* group = Child<QWidget>(modal, "GroupBox1");
        EXPECT_EQ(modal->height(), ok->geometry().bottom() + 1 + 35);
        EXPECT_EQ(memo->width(), modal->width() - 75);
        EXPECT_EQ(memo->height(), group->height() - 35);
        EXPECT_TRUE(memo->isReadOnly());
        for (int press = 0; press < 500 && tipText(modal) != kTips[10].text; ++press)
            Child<QPushButton>(modal, "NextTip_Button")->click();
        ASSERT_EQ(tipText(modal), kTips[10].text);
        Child<QPushButton>(modal, "MoreInfo_Button")->click();
        ok->click();
    });
    Child<QAction>(window.get(), "Tips_Item")->trigger();
    EXPECT_EQ(browser.documents, std::vector<std::string>{help + "#topic-60"});

    // The help key of the main window, "&Contents", the "Help" button, and the help key in Preferences.
    // The help keys are shortcuts of their windows: they reach a window once the application has made it
    // the active one, which follows the closing of a dialog only after a while under load.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == window.get(); }));
    QTest::keyClick(window.get(), Qt::Key_F1);
    Child<QAction>(window.get(), "Contents_Item")->trigger();
    Child<QAction>(window.get(), "Help_Button")->trigger();
    test::AnswerNextModal([](QWidget* modal) {
        ASSERT_TRUE(QTest::qWaitFor([modal] { return QApplication::activeWindow() == modal; }));
        QTest::keyClick(modal, Qt::Key_F1);
        Child<QPushButton>(modal, "Button2")->click();
    });
    Child<QAction>(window.get(), "Options_Item")->trigger();
    EXPECT_EQ(
        browser.documents,
        (std::vector<std::string>{help + "#topic-60", help + "#topic-20", help + "#", help + "#", help + "#topic-80"}));
    EXPECT_EQ(window->statusText(), "Idle.");
}

TEST_F(WindowDialogs, TheAboutBoxShowsTheSystemIsLaidOutByItsRuleAndReportsAMissingBrowser) {
    auto window = open();
    useBrowser(*window);
    browser.works = false;
    window->dialogs().about().setHomePage("https://example.org/vorlaxen");
    QString error;
    test::AnswerNextModal([&](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle(), "About Vorlaxen 95");
        auto* os = Child<QLabel>(modal, "OS_Label");
        EXPECT_FALSE(os->text().isEmpty());
        bool digits = false;
        Child<QLabel>(modal, "Memory_Label")->text().toULongLong(&digits);
        EXPECT_TRUE(digits);
        auto* ok = Child<QPushButton>(modal, "OKButton");
        auto* memory = Child<QLabel>(modal, "MemoryCaption");
        auto* bevel = Child<QWidget>(modal, "Bevel1");
        auto* area = Child<QWidget>(modal, "Panel1");
        EXPECT_EQ(modal->width(), bevel->width() + 107);
        EXPECT_EQ(area->geometry().bottom() + 1, memory->mapTo(modal, QPoint(0, 0)).y() + 32);
        EXPECT_EQ(ok->y(), area->geometry().bottom() + 1 + 8);
        EXPECT_LE(std::abs(ok->x() + ok->width() / 2 - modal->width() / 2), 1) << "centred";
        EXPECT_EQ(modal->height(), ok->geometry().bottom() + 1 + 30);
        test::AnswerNextModal([&error](QWidget* box) {
            if (auto* message = qobject_cast<QMessageBox*>(box))
                error = message->text();
        });
        auto* link = Child<QLabel>(modal, "HomePage_Label");
        EXPECT_TRUE(link->isVisible());
        emit link->linkActivated("https://example.org/vorlaxen");
        ok->click();
    });
    Child<QAction>(window.get(), "About_Item")->trigger();
    EXPECT_EQ(browser.addresses, std::vector<std::string>{"https://example.org/vorlaxen"});
    EXPECT_EQ(error, "Couldn't launch the HTML browser.");

    // Without a web page the box has no link, and the credits name the licence.
    window->dialogs().about().setHomePage("");
    test::AnswerNextModal([&](QWidget* modal) {
        EXPECT_FALSE(Child<QLabel>(modal, "HomePage_Label")->isVisible());
        EXPECT_TRUE(Child<QLabel>(modal, "Comments")->text().contains("GPL-3.0-or-later"));
        EXPECT_EQ(modal->width(), Child<QWidget>(modal, "Bevel1")->width() + 107);
        Child<QPushButton>(modal, "OKButton")->click();
    });
    Child<QAction>(window.get(), "About_Item")->trigger();
}

TEST_F(WindowDialogs, OptionsOpensThePreferencesAndOkShowsTheCryExtensions) {
    test::WriteFile(files / "letter.doc.cry", "KX98");
    auto window = open();
    auto* options = Child<QAction>(window.get(), "Options_Item");
    ASSERT_TRUE(options->isEnabled());
    test::AnswerNextModal([](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle(), "Preferences");
        Child<QCheckBox>(modal, "ShowCry_CheckBox")->click();
        Child<QPushButton>(modal, "Ok_Button")->click();
    });
    options->trigger();
    EXPECT_TRUE(window->ShowCry);
    ASSERT_EQ(window->fileLists().pane(Pane::Crypted).entries().size(), 1u);
    EXPECT_EQ(window->fileLists().pane(Pane::Crypted).entries()[0].caption, "letter.doc.cry");
}

} // namespace
} // namespace vorlaxen
