// The password dialogs as a person uses them, and encryption and decryption of a directory tree from
// the real window with its prompts answered by the test.

#include "desktop/WindowOperations.h"
#include "support/FindChild.h"
#include "support/ModalScript.h"
#include "support/TempDir.h"
#include "support/WindowTest.h"
#include "ui/StatusPanel.h"
#include "ui/TMainWin.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vorlaxen {
namespace {

using Steps = std::vector<test::ModalScript::Step>;

QLineEdit* Box(QWidget* dialog, const char* name) {
    return test::Child<QLineEdit>(dialog, name);
}

// Answers a message box with the button of that text, remembering what it said.
test::ModalScript::Step Answer(const QString& button, std::vector<std::string>* said = nullptr) {
    return [button, said](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr) << modal->windowTitle().toStdString();
        if (said)
            said->push_back(box->text().toStdString());
        for (QAbstractButton* b : box->buttons())
            if (b->text().remove('&') == button) {
                b->click();
                return;
            }
        ADD_FAILURE() << "no button " << button.toStdString();
        box->reject();
    };
}

void Press(QWidget* widget, Qt::Key key) {
    QTest::keyClick(widget, key);
}

class Operations : public test::WindowTest {
protected:
    void prepareList(TMainWin& window, std::vector<std::string> names) {
        window.objects().dirCryptor().WorkList = std::move(names);
        window.objects().dirCryptor().WorkDirectory = files.path();
    }
};

// Types the text into the box: ASCII as keys, any other character as an input method commits it.
void Type(QLineEdit* box, const QString& text) {
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClicks(box, QString(c));
        else
            box->insert(QString(c));
    }
}

// A copy of a box's text shares the box's own storage, so it shows what the box leaves in memory.
bool Overwritten(const QString& kept, qsizetype length) {
    return kept.size() == length && kept == QString(length, QChar(u'\0'));
}

TEST_F(Operations, TheEncryptionPromptMovesOnWithEnterStaysOpenOnAMismatchAndLeavesNoTextBehind) {
    auto window = open();
    prepareList(*window, {"alpha.txt"});
    const QString typed = QString::fromUtf8("s\xC3\xAB"
                                            "cret-\xE2\x82\xAC"
                                            "\xF0\x9D\x84\x9E");
    std::vector<std::string> said;
    bool focusMoved = false;
    QString kept1;
    QString kept2;
    test::ModalScript script(Steps{[&](QWidget* dialog) {
                                       EXPECT_EQ(dialog->windowTitle(), "Encryption procedure");
                                       EXPECT_FALSE(test::Child<QPushButton>(dialog, "CancelAll")->isVisible())
                                           << "no list is running";
                                       Type(Box(dialog, "MaskEdit1"), typed);
                                       kept1 = Box(dialog, "MaskEdit1")->text();
                                       Press(Box(dialog, "MaskEdit1"), Qt::Key_Return);
                                       focusMoved = Box(dialog, "MaskEdit2")->hasFocus();
                                       QTest::keyClicks(Box(dialog, "MaskEdit2"), "secret-2");
                                       Press(Box(dialog, "MaskEdit2"), Qt::Key_Return);
                                   },
                                   Answer("OK", &said),
                                   [&](QWidget* dialog) {
                                       EXPECT_EQ(Box(dialog, "MaskEdit1")->text(), typed) << "the typed texts stay";
                                       Box(dialog, "MaskEdit2")->setText(typed);
                                       kept2 = Box(dialog, "MaskEdit2")->text();
                                       Press(Box(dialog, "MaskEdit2"), Qt::Key_Return);
                                   }});
    EXPECT_EQ(window->operations().prompts().PromptToEncrypt("alpha.txt"), PromptResult::GoOn);
    EXPECT_TRUE(focusMoved) << "Enter in the first box moves to the second without a message";
    EXPECT_EQ(said, std::vector<std::string>{"Verification failed."});
    TKX_Pwd probe;
    probe.SetPassword("s\xC3\xAB"
                      "cret-\xE2\x82\xAC"
                      "\xF0\x9D\x84\x9E");
    EXPECT_EQ(window->objects().pwd().Password, probe.Password) << "the UTF-8 bytes of what was typed";
    EXPECT_TRUE(Overwritten(kept1, typed.size())) << "the first box's text is left in memory";
    EXPECT_TRUE(Overwritten(kept2, typed.size())) << "the second box's text is left in memory";
    EXPECT_TRUE(script.finished());
}

TEST_F(Operations, TheDecryptionPromptSubmitsOnEnterAndOnAClickIntoItsBox) {
    auto window = open();
    test::WriteFile(files / "letter.doc.cry", "KX9B rest");
    prepareList(*window, {"letter.doc"});
    std::vector<std::string> said;
    test::ModalScript script(Steps{[](QWidget* dialog) {
                                       EXPECT_EQ(dialog->windowTitle(), "Decryption procedure");
                                       EXPECT_EQ(dialog->findChild<QLineEdit*>("MaskEdit2"), nullptr);
                                       QTest::keyClicks(Box(dialog, "MaskEdit1"), "abc");
                                       QTest::mouseClick(Box(dialog, "MaskEdit1"), Qt::LeftButton);
                                   },
                                   Answer("OK", &said),
                                   [](QWidget* dialog) {
                                       QTest::keyClicks(Box(dialog, "MaskEdit1"), "defghi");
                                       Press(Box(dialog, "MaskEdit1"), Qt::Key_Return);
                                   }});
    EXPECT_EQ(window->operations().prompts().PromptToDecrypt("letter.doc", "letter.doc.cry"), PromptResult::GoOn);
    EXPECT_EQ(said, std::vector<std::string>{"Too few characters in password."});
    EXPECT_EQ(window->objects().pwd().PasswordLength, 9);
}

TEST_F(Operations, CancelAndCancelAllAnswerThePrompt) {
    auto window = open();
    prepareList(*window, {"alpha.txt", "beta.txt"});
    window->operations().prompts().SetCancelAllVisible(Direction::Encrypt, true);
    test::ModalScript script(Steps{[](QWidget* dialog) { test::Child<QPushButton>(dialog, "Cancel_Button")->click(); },
                                   [](QWidget* dialog) {
                                       auto* list = test::Child<QCheckBox>(dialog, "OnePwdList_CheckBox");
                                       EXPECT_TRUE(list->isEnabled()) << "two files in the list";
                                       list->click();
                                       EXPECT_TRUE(Box(dialog, "MaskEdit1")->hasFocus())
                                           << "a check box hands the focus back";
                                       test::Child<QPushButton>(dialog, "CancelAll")->click();
                                   }});
    EXPECT_EQ(window->operations().prompts().PromptToEncrypt("alpha.txt"), PromptResult::Skip);
    EXPECT_EQ(window->operations().prompts().PromptToEncrypt("beta.txt"), PromptResult::CancelAll);
}

// A file manager's drag, as Qt delivers it to the widget under the pointer.
bool Drag(QWidget* over, const std::vector<std::string>& paths, bool drop) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : paths)
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    data.setUrls(urls);
    const QPoint middle = over->rect().center();
    QDragEnterEvent enter(middle, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(over, &enter);
    if (!enter.isAccepted() || !drop)
        return enter.isAccepted();
    QDropEvent dropped(middle, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(over, &dropped);
    EXPECT_EQ(dropped.dropAction(), Qt::CopyAction) << "the file manager keeps its files";
    return dropped.isAccepted();
}

// Files dropped from a file manager: plain files on "Crypted files" are encrypted, containers on
// "Available for encryption" decrypted, anything else on the window by its name, each where it is, with
// its directory named in the status line; what does not fit where it is dropped is passed over.
TEST_F(Operations, FilesDroppedFromAFileManagerAreProcessedWhereTheyAre) {
    test::TempDir elsewhere;
    test::WriteFile(elsewhere / "plain.txt", "plain text");
    test::WriteFile(elsewhere / "note.txt", "note");
    test::WriteFile(elsewhere / "sealed.txt", "sealed");
    TKX_Pwd maker;
    maker.SetPassword("sealed-pw");
    ASSERT_EQ(maker.EncryptFile(elsewhere / "sealed.txt", CipherMethod::Idea), ResultCode::Ok);
    ASSERT_EQ(::unlink((elsewhere / "sealed.txt").c_str()), 0);
    auto window = open();
    std::vector<std::string> statuses;
    window->setStatusSink([&statuses](const std::string& text) { statuses.push_back(text); });
    QWidget* source = window->pane(Pane::Source).detailsView()->viewport();
    QWidget* crypted = window->pane(Pane::Crypted).detailsView()->viewport();
    QWidget* tree = test::Child<QWidget>(window.get(), "User_DirectoryListBox");
    const std::string plain = elsewhere / "plain.txt";
    const std::string sealed = elsewhere / "sealed.txt.cry";

    EXPECT_FALSE(Drag(source, {plain}, false)) << "a plain file has no place on \"Available for encryption\"";
    EXPECT_FALSE(Drag(crypted, {sealed}, false)) << "nor a container on \"Crypted files\"";
    EXPECT_FALSE(Drag(crypted, {elsewhere.path()}, false)) << "nor a directory";

    const auto typePassword = [](const char* password, bool twice) {
        return [password, twice](QWidget* dialog) {
            // Each file of the list with its own password.
            if (auto* list = test::Child<QCheckBox>(dialog, "OnePwdList_CheckBox"); list->isChecked())
                list->click();
            QTest::keyClicks(Box(dialog, "MaskEdit1"), password);
            Press(Box(dialog, "MaskEdit1"), Qt::Key_Return);
            if (twice) {
                QTest::keyClicks(Box(dialog, "MaskEdit2"), password);
                Press(Box(dialog, "MaskEdit2"), Qt::Key_Return);
            }
        };
    };
    {
        test::ModalScript script(Steps{typePassword("drop-pw-1", true)});
        ASSERT_TRUE(Drag(crypted, {plain, sealed}, true));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !test::Exists(plain); }));
        EXPECT_TRUE(script.finished());
    }
    EXPECT_TRUE(test::Exists(plain + ".cry"));
    EXPECT_TRUE(test::Exists(sealed)) << "the container dropped with it is passed over";
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Dropped files in " + elsewhere.path()), statuses.end());
    {
        test::ModalScript script(Steps{typePassword("sealed-pw", false), typePassword("drop-pw-1", false)});
        ASSERT_TRUE(Drag(source, {sealed, plain + ".cry", elsewhere / "note.txt"}, true));
        ASSERT_TRUE(QTest::qWaitFor([&] { return test::Exists(plain) && test::Exists(elsewhere / "sealed.txt"); }));
        EXPECT_TRUE(script.finished());
    }
    const std::vector<std::uint8_t> back = test::ReadFile(plain);
    EXPECT_EQ(std::string(back.begin(), back.end()), "plain text");
    EXPECT_EQ(elsewhere.names(), (std::vector<std::string>{"note.txt", "plain.txt", "sealed.txt"}));
    {
        // Elsewhere on the window each file goes by its name.
        test::ModalScript script(Steps{typePassword("drop-pw-2", true)});
        ASSERT_TRUE(Drag(tree, {elsewhere / "note.txt"}, true));
        ASSERT_TRUE(QTest::qWaitFor([&] { return test::Exists(elsewhere / "note.txt.cry"); }));
        EXPECT_TRUE(script.finished());
    }
    EXPECT_TRUE(files.names().empty()) << "the shown directory is not touched";
    EXPECT_EQ(window->statusText(), "Idle.");
}

TEST_F(Operations, TheMasterPasswordDialogAcceptsAnyPasswordWithoutAKeyFileAndCanTurnTheTableOff) {
    auto window = open();
    auto& master = window->objects().pwdTable().MasterPass;
    master.UseKeyFile = true;
    master.KeyFilePath = files / "keys.001";
    QString kept1;
    QString kept2;
    test::ModalScript script(
        Steps{[&](QWidget* dialog) {
                  EXPECT_EQ(dialog->windowTitle(), "The Master password");
                  QTest::keyClicks(Box(dialog, "MaskEdit1"), "master-1");
                  Press(Box(dialog, "MaskEdit1"), Qt::Key_Return);
                  EXPECT_TRUE(Box(dialog, "MaskEdit2")->hasFocus());
                  QTest::keyClicks(Box(dialog, "MaskEdit2"), "master-1");
                  kept1 = Box(dialog, "MaskEdit1")->text();
                  kept2 = Box(dialog, "MaskEdit2")->text();
                  Press(Box(dialog, "MaskEdit2"), Qt::Key_Return);
              },
              [](QWidget* dialog) { test::Child<QPushButton>(dialog, "NotUse_Button")->click(); }});
    window->AskMasterPassword();
    EXPECT_TRUE(master.Valid);
    EXPECT_TRUE(Overwritten(kept1, 8) && Overwritten(kept2, 8)) << "the boxes' texts are left in memory";
    window->objects().prgState().SaveToTable = true;
    window->AskMasterPassword();
    EXPECT_FALSE(master.Valid);
    EXPECT_FALSE(master.UseKeyFile) << "\"Do not use at all\"";
    EXPECT_FALSE(window->objects().prgState().SaveToTable);
}

TEST_F(Operations, ADirectoryTreeIsEncryptedAndDecryptedFromTheWindow) {
    ::mkdir((files / "sub").c_str(), 0700);
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> plain = {
        {"a.txt", test::PatternBytes(1000, 1)},
        {"b.bin", test::PatternBytes(30000, 2)},
        {"sub/c.txt", test::PatternBytes(7, 3)}};
    for (const auto& [name, bytes] : plain)
        test::WriteFile(files / name, bytes);
    ASSERT_EQ(::chmod((files / "b.bin").c_str(), 0640), 0);

    auto window = open();
    {
        test::ModalScript script(Steps{Answer("Yes"), [](QWidget* dialog) {
                                           EXPECT_TRUE(test::Child<QPushButton>(dialog, "CancelAll")->isVisible());
                                           QTest::keyClicks(Box(dialog, "MaskEdit1"), "tree-secret");
                                           Press(Box(dialog, "MaskEdit1"), Qt::Key_Return);
                                           QTest::keyClicks(Box(dialog, "MaskEdit2"), "tree-secret");
                                           Press(Box(dialog, "MaskEdit2"), Qt::Key_Return);
                                       }});
        test::Child<QAction>(window.get(), "EncriptAll1")->trigger();
        EXPECT_TRUE(script.finished());
        EXPECT_EQ(script.seen().size(), 2u) << "one password for the whole run";
    }
    for (const auto& [name, bytes] : plain) {
        EXPECT_FALSE(test::Exists(files / name)) << name << " was wiped";
        EXPECT_TRUE(test::Exists(files / name + ".cry")) << name;
    }
    EXPECT_EQ(test::ModeOf(files / "b.bin.cry"), 0640);
    EXPECT_EQ(window->fileLists().pane(Pane::Crypted).size(), 2u) << "the panes show the top directory";
    EXPECT_FALSE(window->objects().prgState().IsBusy());
    // The bands end on the last file's figures, however short it took.
    auto panel = [&window](const char* name) { return test::Child<StatusPanel>(window.get(), name)->text(); };
    EXPECT_EQ(panel("StatusBar1_Panel1"), "Done: 0 KBytes");
    EXPECT_EQ(panel("StatusBar1_Panel2"), "Size: 0 Kbytes");
    EXPECT_TRUE(panel("StatusBar2_Panel2").endsWith(" bytes per second"));

    {
        test::ModalScript script(Steps{Answer("Yes"), [](QWidget* dialog) {
                                           QTest::keyClicks(Box(dialog, "MaskEdit1"), "tree-secret");
                                           Press(Box(dialog, "MaskEdit1"), Qt::Key_Return);
                                       }});
        test::Child<QAction>(window.get(), "Decriptall1")->trigger();
        EXPECT_TRUE(script.finished());
    }
    for (const auto& [name, bytes] : plain) {
        EXPECT_EQ(test::ReadFile(files / name), bytes) << name;
        EXPECT_FALSE(test::Exists(files / name + ".cry")) << name;
    }
    EXPECT_EQ(test::ModeOf(files / "b.bin"), 0640);
    EXPECT_EQ(window->fileLists().pane(Pane::Source).size(), 2u);
    EXPECT_EQ(window->statusText(), "Idle.");
}

} // namespace
} // namespace vorlaxen
