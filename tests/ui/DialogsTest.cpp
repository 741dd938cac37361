// The Preferences dialog, the tip of the day and the About box, real and headless.

#include "support/FindChild.h"
#include "support/ModalAnswer.h"
#include "support/ModalScript.h"
#include "support/TempDir.h"
#include "support/WindowTest.h"
#include "ui/TMainWin.h"
#include "ui/TPreferences.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
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
    EXPECT_EQ(controls.method, MethodChoice::TripleDES);

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

class WindowDialogs : public test::WindowTest {};

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
