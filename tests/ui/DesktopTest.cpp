// What users of a desktop file tool expect of the real main window, on the offscreen platform: keys, the
// panes following other programs, rows of one height, icons that tell types apart, columns and panels
// that reach the window's edge, sort arrows, texts cut with "…", fixed dialog borders and exact captions,
// and a tree that shows a deep directory at start.

#include "desktop/WindowOperations.h"
#include "support/FindChild.h"
#include "support/ModalAnswer.h"
#include "support/TempDir.h"
#include "support/WindowTest.h"
#include "ui/DirectoryTreeModel.h"
#include "ui/PaneModel.h"
#include "ui/PaneWatch.h"
#include "ui/QtFileKinds.h"
#include "ui/StatusPanel.h"
#include "ui/TMainWin.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextDocument>
#include <QTreeView>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {
namespace {

using Captions = std::vector<std::string>;

// What a tooltip shows, markup taken as markup.
std::string AsPlainText(const QString& tip) {
    QTextDocument shown;
    shown.setHtml(tip);
    return shown.toPlainText().toStdString();
}

class Desktop : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        for (const char* name : {"alpha.txt", "Beta.txt", "gamma.bin", "x.doc"})
            test::WriteFile(files / name, "plain");
        test::WriteFile(files / "letter.doc.cry", "KX98 rest of a container");
    }

    static bool Lists(TMainWin& window, Pane which, const std::string& caption) {
        const auto& entries = window.fileLists().pane(which).entries();
        return std::any_of(entries.begin(), entries.end(), [&](const PaneEntry& e) { return e.caption == caption; });
    }
    // Selects the entry with this caption alone and gives its pane the focus, in the active window (a modal
    // dialog closed by the test leaves no window active on the offscreen platform).
    static void SelectOnly(TMainWin& window, Pane which, const std::string& caption) {
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QTreeView* view = window.pane(which).detailsView();
        const auto& entries = window.fileLists().pane(which).entries();
        const auto at =
            std::find_if(entries.begin(), entries.end(), [&](const PaneEntry& e) { return e.caption == caption; });
        ASSERT_NE(at, entries.end()) << caption;
        const QModelIndex index = view->model()->index(static_cast<int>(at - entries.begin()), 0);
        view->setCurrentIndex(index);
        view->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        view->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([view] { return view->hasFocus(); }));
    }
    static bool FixedBorder(const QWidget* dialog) {
        const Qt::WindowFlags flags = dialog->windowFlags();
        return dialog->minimumSize() == dialog->maximumSize() &&
               !(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    }
};

TEST_F(Desktop, KeysActOnTheFocusedPaneAndTheWindowWithFixedDialogsAndExactCaptions) {
    auto window = open();
    EXPECT_EQ(window->windowTitle(), "Vorlaxen 95 ( IDEA )");

    // Enter: the focused pane's operation, in a dialog of fixed border under its own caption.
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        SelectOnly(*window, Pane::Source, "x.doc");
        QString caption;
        bool fixed = false;
        test::AnswerNextModal([&](QWidget* modal) {
            caption = modal->windowTitle();
            fixed = FixedBorder(modal);
        });
        QTest::keyClick(window->pane(Pane::Source).detailsView(), key);
        EXPECT_EQ(caption, "Encryption procedure") << key;
        EXPECT_TRUE(fixed);
    }
    SelectOnly(*window, Pane::Crypted, "letter.doc");
    QString caption;
    test::AnswerNextModal([&caption](QWidget* modal) { caption = modal->windowTitle(); });
    QTest::keyClick(window->pane(Pane::Crypted).detailsView(), Qt::Key_Return);
    EXPECT_EQ(caption, "Decryption procedure");

    // Delete: the specified question, answered Cancel, deletes nothing.
    SelectOnly(*window, Pane::Crypted, "letter.doc");
    bool fixed = false;
    test::AnswerNextModal([&](QWidget* modal) {
        caption = modal->windowTitle();
        fixed = FixedBorder(modal);
    });
    QTest::keyClick(window->pane(Pane::Crypted).detailsView(), Qt::Key_Delete);
    EXPECT_EQ(caption, "Please confirm this action");
    EXPECT_TRUE(fixed);
    EXPECT_TRUE(test::Exists(files / "letter.doc.cry"));
    for (QDialog* dialog : window->findChildren<QDialog*>())
        EXPECT_FALSE(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint))
            << dialog->windowTitle().toStdString();

    // F5 reads the panes at once, but not while an operation works on them.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    test::WriteFile(files / "late.txt", "plain");
    window->objects().prgState().SetBusy(TKX_PrgState::kDeleting);
    QTest::keyClick(window.get(), Qt::Key_F5);
    EXPECT_EQ(window->statusText(), "Please wait until the process is finished.");
    EXPECT_FALSE(Lists(*window, Pane::Source, "late.txt"));
    // Ctrl+Q closes as "Exit" does: refused while the operation runs.
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(window->isVisible());
    window->objects().prgState().ClearBusy(TKX_PrgState::kDeleting);
    QTest::keyClick(window.get(), Qt::Key_F5);
    EXPECT_TRUE(Lists(*window, Pane::Source, "late.txt"));
    EXPECT_EQ(window->statusText(), "Idle.");
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(Desktop, AKeyboardUserReachesEveryControlInScreenOrderAndEveryCommand) {
    auto window = open();
    auto* drive = test::Child<QWidget>(window.get(), "DriveComboBox1");
    auto* tree = test::Child<QTreeView>(window.get(), "User_DirectoryListBox");
    QTreeView* source = window->pane(Pane::Source).detailsView();
    QTreeView* crypted = window->pane(Pane::Crypted).detailsView();
    auto* tdes = test::Child<QWidget>(window.get(), "TDES_Button");
    auto* idea = test::Child<QWidget>(window.get(), "IDEA_Button");

    // Tab follows the screen and enters the method buttons on the current one (3xDES here).
    drive->setFocus();
    std::vector<QWidget*> seen;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(seen, (std::vector<QWidget*>{tree, source, crypted, tdes, drive}));
    // The arrow keys choose among the three, as with radio buttons; Tab still leaves from the current.
    tdes->setFocus();
    QTest::keyClick(tdes, Qt::Key_Right);
    EXPECT_EQ(window->Method, 1);
    EXPECT_EQ(QApplication::focusWidget(), idea);
    QTest::keyClick(idea, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), drive);
    QTest::keyClick(drive, Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), idea) << "back onto the current method";

    // Tabbing into a pane makes a row current without selecting it: Enter acts on that row.
    window->pane(Pane::Source).ClearSelection();
    crypted->setFocus();
    QTest::keyClick(crypted, Qt::Key_Backtab);
    ASSERT_EQ(QApplication::focusWidget(), source);
    source->selectionModel()->setCurrentIndex(source->model()->index(3, 0), QItemSelectionModel::NoUpdate);
    ASSERT_TRUE(source->selectionModel()->selectedRows().isEmpty());
    QString file;
    test::AnswerNextModal([&file](QWidget* modal) { file = test::Child<QLabel>(modal, "FName_Label")->text(); });
    QTest::keyClick(source, Qt::Key_Return);
    EXPECT_TRUE(file.endsWith("/x.doc")) << file.toStdString();

    // The menu key opens a pop-up menu at the current row of the tree and of a pane.
    for (QTreeView* view : {tree, source}) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        view->setFocus();
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0), view->mapToGlobal(QPoint(0, 0)));
        QApplication::sendEvent(view, &key);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr) << view->objectName().toStdString();
        const QRect row(view->viewport()->mapToGlobal(view->visualRect(view->currentIndex()).topLeft()),
                        view->visualRect(view->currentIndex()).size());
        EXPECT_LE(std::abs(menu->pos().y() - row.bottom()), 2) << view->objectName().toStdString();
        EXPECT_GE(menu->pos().x(), row.left()) << view->objectName().toStdString();
        menu->close();
        ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }));
    }

    // The tool bar's three buttons for a running operation and held passwords are File menu items with
    // keys; Escape during an operation asks the stop question.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    source->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([source] { return source->hasFocus(); }));
    auto* stop = test::Child<QAction>(window.get(), "StopProcess_Button");
    window->objects().prgState().SetBusy(TKX_PrgState::kEncrypting);
    stop->setEnabled(true);
    QString asked;
    test::AnswerNextModal([&asked](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        asked = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    QTest::keyClick(source, Qt::Key_Escape);
    EXPECT_EQ(asked, "Do you really want to cancel the process?");
    EXPECT_TRUE(window->objects().prgState().AbortFlag);
    window->objects().prgState().ClearBusy(TKX_PrgState::kEncrypting);
    window->objects().prgState().AbortFlag = false;
    stop->setEnabled(false);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ASSERT_TRUE(QTest::qWaitFor([source] { return source->hasFocus(); }));
    TKX_Pwd& pwd = window->objects().pwd();
    pwd.Expired = false;
    test::Child<QAction>(window.get(), "PwdExpire_Button")->setEnabled(true);
    QTest::keyClick(source, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(pwd.Expired);
    auto* master = test::Child<QAction>(window.get(), "MasterPwdExpire_Button");
    master->setEnabled(true);
    window->objects().pwdTable().MasterPass.Expired = false;
    QTest::keyClick(source, Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(window->objects().pwdTable().MasterPass.Expired);
    QMenu* fileMenu = window->menuBar()->actions().first()->menu();
    for (const char* name : {"StopProcess_Button", "PwdExpire_Button", "MasterPwdExpire_Button"})
        EXPECT_TRUE(fileMenu->actions().contains(test::Child<QAction>(window.get(), name))) << name;

    // Every item of the menus has an Alt letter of its own within its menu.
    std::vector<QMenu*> menus;
    for (QAction* top : window->menuBar()->actions())
        menus.push_back(top->menu());
    for (std::size_t i = 0; i < menus.size(); ++i) {
        QSet<QChar> letters;
        for (QAction* item : menus[i]->actions()) {
            if (item->isSeparator())
                continue;
            if (item->menu())
                menus.push_back(item->menu());
            const QKeySequence mnemonic = QKeySequence::mnemonic(item->text());
            EXPECT_FALSE(mnemonic.isEmpty()) << item->text().toStdString();
            const QChar letter = item->text().at(item->text().indexOf('&') + 1).toLower();
            EXPECT_FALSE(letters.contains(letter)) << item->text().toStdString();
            letters.insert(letter);
        }
    }
}

TEST_F(Desktop, ThePanesFollowOtherProgramsWithOneRefillForABurstAndKeepTheSelection) {
    auto window = open();
    const PaneWatch& watch = window->paneWatch();
    const int before = watch.refreshes();
    SelectOnly(*window, Pane::Source, "Beta.txt");

    test::WriteFile(files / "from elsewhere.txt", "hello");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Lists(*window, Pane::Source, "from elsewhere.txt"); }, 10000));
    EXPECT_EQ(watch.refreshes(), before + 1);

    // A thousand files come, one goes and one grows, all before the window looks again.
    for (int i = 0; i < 1000; ++i)
        test::WriteFile(files / ("burst " + std::to_string(i) + ".txt"), "x");
    test::WriteFile(files / "gamma.bin", std::string(77, 'g'));
    ASSERT_EQ(::unlink((files / "alpha.txt").c_str()), 0);
    const std::size_t expected = 4 + 1 + 1000 - 1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->fileLists().pane(Pane::Source).size() == expected; }, 20000));
    EXPECT_EQ(watch.refreshes(), before + 2) << "one refill for the whole burst";
    EXPECT_FALSE(Lists(*window, Pane::Source, "alpha.txt"));
    for (const PaneEntry& e : window->fileLists().pane(Pane::Source).entries()) {
        if (e.caption == "gamma.bin") {
            EXPECT_EQ(e.sizeText, "77");
        }
    }
    EXPECT_EQ(window->pane(Pane::Source).SelectedFiles(), Captions{"Beta.txt"}) << "the selection stays";
    EXPECT_EQ(window->fileLists().pane(Pane::Crypted).size(), 1u);
}

// A file's name may look like markup: the prompt, the messages, the pane's and the status line's tooltips
// show it as written.
TEST_F(Desktop, ANameThatLooksLikeMarkupIsShownAsWritten) {
    const std::string name = "<h1>BIG <font color=red>red.txt";
    test::WriteFile(files / name, "plain");
    auto window = open();
    const QAbstractItemModel* model = window->pane(Pane::Source).detailsView()->model();
    bool listed = false;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (index.data(Qt::DisplayRole).toString().toStdString() == name) {
            listed = true;
            EXPECT_EQ(AsPlainText(index.data(Qt::ToolTipRole).toString()), name);
        }
    }
    EXPECT_TRUE(listed);
    window->UpdateStatus("Encrypting file " + name + " ...");
    EXPECT_EQ(AsPlainText(test::Child<StatusPanel>(window.get(), "StatusBar3")->toolTip()),
              "Encrypting file " + name + " ...");

    test::AnswerNextModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        box->accept();
    });
    (void)window->ShowMessage(MessageKind::Error, "File " + name + " not found.", MessageButtons::Ok);
    window->objects().dirCryptor().WorkDirectory = files.path();
    test::AnswerNextModal([&name](QWidget* dialog) {
        auto* label = test::Child<QLabel>(dialog, "FName_Label");
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_TRUE(label->text().endsWith(QString::fromStdString(name))) << label->text().toStdString();
        qobject_cast<QDialog*>(dialog)->reject();
    });
    EXPECT_EQ(window->operations().prompts().PromptToEncrypt(name), PromptResult::Skip);
}

TEST_F(Desktop, ADirectoryWhoseNameIsNotUtf8IsListedAndFollowed) {
    // Its name in the file system's own bytes, which no QString gives back.
    const std::string odd = files / "caf\xe9 \xff";
    ASSERT_EQ(::mkdir(odd.c_str(), 0700), 0);
    test::WriteFile(odd + "/inside.txt", "plain");
    ASSERT_EQ(::chdir(odd.c_str()), 0);
    auto window = open();
    EXPECT_TRUE(Lists(*window, Pane::Source, "inside.txt"));
    EXPECT_EQ(window->ShownDirectory(), odd);
    EXPECT_EQ(window->paneWatch().directory(), odd);
    test::WriteFile(odd + "/from elsewhere.txt", "hello");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Lists(*window, Pane::Source, "from elsewhere.txt"); }, 10000));
}

TEST_F(Desktop, EveryRowIsAsTallAsTheOthersAndTypesAreToldApartByTheirIcons) {
    auto window = open();
    QTreeView* details = window->pane(Pane::Source).detailsView();
    // Icons as large as a high-resolution screen draws them, which text alone never fills.
    details->setIconSize({32, 32});
    auto iconName = [&](int row) {
        return details->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>().name();
    };
    const QString text = iconName(0);     // alpha.txt
    const QString binary = iconName(2);   // gamma.bin
    const QString document = iconName(3); // x.doc
    EXPECT_FALSE(text.isEmpty());
    EXPECT_NE(text, document);
    EXPECT_NE(text, binary);

    // A whole-directory run with one password adds entries without icons, here the first ones.
    window->objects().prgState().SetBusy(TKX_PrgState::kWholeDirectory);
    window->objects().pwd().ListMode = true;
    window->ReadFLists();
    window->objects().prgState().ClearBusy(TKX_PrgState::kWholeDirectory);
    window->objects().pwd().ListMode = false;
    test::WriteFile(files / "zeta.txt", "plain");
    window->fileLists().AddListEntry(Pane::Source, "zeta.txt");
    ASSERT_EQ(window->fileLists().pane(Pane::Source)[0].image, 0);
    ASSERT_NE(window->fileLists().pane(Pane::Source)[4].image, 0);
    QCoreApplication::processEvents();
    const int rows = details->model()->rowCount();
    for (int row = 0; row < rows; ++row)
        EXPECT_GE(details->visualRect(details->model()->index(row, 0)).height(), 32) << row;
    window->SetListViewStyle(ViewStyle::List);
    auto* list = window->pane(Pane::Source).currentView();
    list->setIconSize({32, 32});
    QCoreApplication::processEvents();
    for (int row = 0; row < rows; ++row)
        EXPECT_GE(list->visualRect(list->model()->index(row, 0)).height(), 32) << row;
}

TEST_F(Desktop, ColumnsAndPanelsReachTheEdgeArrowsShowTheOrderAndLongTextsAreCut) {
    auto window = open();
    auto& source = window->pane(Pane::Source);
    QHeaderView* header = source.detailsView()->header();
    const std::array<StatusPanel*, 3> panels = {test::Child<StatusPanel>(window.get(), "StatusBar2_Panel0"),
                                                test::Child<StatusPanel>(window.get(), "StatusBar2_Panel1"),
                                                test::Child<StatusPanel>(window.get(), "StatusBar2_Panel2")};
    const int savedLast = source.columnWidths()[4];
    for (int width : {1280, 700, 1100}) {
        window->resize(width, 600);
        // The header reaches the view's right edge, or past it when the columns need more room.
        ASSERT_TRUE(QTest::qWaitFor([&] {
            int own = savedLast;
            for (int section = 0; section < 4; ++section)
                own += header->sectionSize(section);
            return header->length() == std::max(source.detailsView()->viewport()->width(), own) &&
                   std::abs(panels[2]->geometry().right() - panels[2]->parentWidget()->width()) < 8;
        })) << width;
        EXPECT_LE(std::abs(panels[0]->width() - panels[2]->width()), 2) << "three equal panels";
        EXPECT_EQ(source.columnWidths()[4], savedLast) << "the width saved is the column's own";
    }

    // Arrows: Name ascending at start; the first click on Size sorts descending, in the clicked pane.
    auto click = [&](QHeaderView* on, int section) {
        QTest::mouseClick(on->viewport(), Qt::LeftButton, {}, QPoint(on->sectionViewportPosition(section) + 5, 5));
    };
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    click(header, 1);
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    QHeaderView* other = window->pane(Pane::Crypted).detailsView()->header();
    EXPECT_EQ(other->sortIndicatorSection(), 0) << "the other pane is not sorted yet";
    click(header, 0);
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder) << "every click flips the direction";
    window->objects().prgState().FullDetails = false;
    click(header, 2);
    EXPECT_EQ(header->sortIndicatorSection(), 0) << "an ignored click leaves the arrow";

    // The status line cuts what does not fit with "…"; its tooltip is the whole text.
    const std::string notice =
        "Since your default encryption method has changed, you will be prompted to assign a new password.";
    auto* line = test::Child<StatusPanel>(window.get(), "StatusBar3");
    window->resize(700, 600);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->width() == 700; }));
    window->UpdateStatus(notice);
    EXPECT_EQ(window->statusText(), notice);
    EXPECT_EQ(AsPlainText(line->toolTip()), notice);
    EXPECT_TRUE(line->shownText().endsWith(QStringLiteral("…"))) << line->shownText().toStdString();
    EXPECT_LT(line->minimumSizeHint().width(), 100) << "a long text never widens the band";
    window->UpdateStatus("Idle.");
    EXPECT_EQ(line->shownText(), "Idle.");
}

TEST_F(Desktop, TheInstalledBandsShowTheUsualMessagesWholeOnAWindow1280PixelsWide) {
    const std::vector<std::uint8_t> installed = test::ReadFile(VORLAXEN_PACKAGING "/defaults.reg.in");
    std::string defaults(installed.begin(), installed.end());
    const std::string tip = "\"ShowTIP\"=dword:00000001";
    defaults.replace(defaults.find(tip), tip.size(), "\"ShowTIP\"=dword:00000000");
    test::WriteFile(settings / "defaults.reg", defaults);
    auto window = open();
    window->resize(1280, 700);
    auto* line = test::Child<StatusPanel>(window.get(), "StatusBar3");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->width() == 1280; }));
    for (const char* message :
         {"Since your default encryption method has changed, you will be prompted to assign a new password.",
          "Encrypting file Backup of the photos of the summer holidays.tar ...",
          "Encrypt All: /home/someone/Documents/Letters to the bank and the insurance"}) {
        window->UpdateStatus(message);
        EXPECT_EQ(line->shownText().toStdString(), message);
    }
    EXPECT_TRUE(test::Child<QWidget>(window.get(), "IDEA_Button")->isVisible());
}

// Types by name alone, once for each name (and once for all containers): a text file that starts like a
// PDF is still a text file, and reading the directory again looks nothing up.
TEST_F(Desktop, TypesAreFoundByNameOnceEach) {
    test::WriteFile(files / "report.txt", "%PDF-1.4 a text that starts like a PDF");
    QtFileKinds kinds;
    const std::string text = kinds.TypeName(files / "alpha.txt");
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(kinds.TypeName(files / "report.txt"), text) << "never by the contents";
    const int icon = kinds.GetImageIndex(files / "report.txt");
    EXPECT_EQ(icon, kinds.GetImageIndex(files / "alpha.txt"));
    EXPECT_EQ(kinds.lookups(), 2u);
    EXPECT_NE(kinds.GetImageIndex(files / "letter.doc.cry"), icon);
    EXPECT_EQ(kinds.GetImageIndex(files / "other.pdf.CRY"), kinds.GetImageIndex(files / "letter.doc.cry"));
    EXPECT_EQ(kinds.lookups(), 3u);
    EXPECT_FALSE(kinds.icon(icon).isNull());
}

TEST_F(Desktop, ASizeTooLargeForTheScreenIsFittedIntoItAndTheSmallestWindowKeepsEveryControlUsable) {
    test::WriteFile(settings / "user.reg",
                    "Windows Registry Editor Version 5.00\n\n"
                    "[HKEY_CLASSES_ROOT\\crypt file\\Settings\\MainWin]\n"
                    "\"Width\"=dword:00000578\n\"Height\"=dword:000003e8\n");
    auto window = open();
    const QRect area = window->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(window->frameGeometry())) << "no larger than the screen, and inside it";
    EXPECT_GT(window->width(), area.width() - 50) << "but using most of it";
    EXPECT_GT(window->height(), area.height() - 50);

    // The smallest window: each pane shows its header and two rows, and one while a file is processed;
    // the status area and the method buttons are whole; it fits a 1280 by 800 screen at twice the scale.
    window->resize(300, 200);
    ASSERT_TRUE(QTest::qWaitFor([&window] { return window->size() == window->minimumSize(); }));
    EXPECT_LE(window->width(), 640);
    EXPECT_LE(window->height(), 370);
    auto visibleRows = [&window](Pane which) {
        QTreeView* view = window->pane(which).detailsView();
        const QRect first = view->visualRect(view->model()->index(0, 0));
        return first.isValid() ? view->viewport()->height() / first.height() : 0;
    };
    for (Pane which : {Pane::Source, Pane::Crypted})
        EXPECT_GE(visibleRows(which), 2) << static_cast<int>(which);
    window->objects().prgState().SetBusy(TKX_PrgState::kEncrypting);
    window->Reresize();
    window->RaiseLists();
    for (Pane which : {Pane::Source, Pane::Crypted})
        EXPECT_GE(visibleRows(which), 1) << "busy " << static_cast<int>(which);
    window->DropLists();
    window->objects().prgState().ClearBusy(TKX_PrgState::kEncrypting);
    for (const char* name : {"DES_Button", "TDES_Button", "IDEA_Button", "StatusBar3", "StatusBar1_Panel2"}) {
        QWidget* control = test::Child<QWidget>(window.get(), name);
        const QRect onWindow(control->mapTo(window.get(), QPoint(0, 0)), control->size());
        EXPECT_TRUE(window->rect().contains(onWindow)) << name;
        EXPECT_TRUE(control->isVisible()) << name;
    }
}

TEST_F(Desktop, TheTreeShowsADeepShownDirectoryAtStart) {
    // Many directories beside the way down, so that the shown one lies far below the tree's first rows.
    for (int i = 0; i < 60; ++i)
        ASSERT_EQ(::mkdir((files / ("sibling " + std::to_string(100 + i))).c_str(), 0755), 0);
    std::string deep = files / "sibling 159";
    for (const char* level : {"a", "b", "c", "d"}) {
        deep += std::string("/") + level;
        ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0);
    }
    QDir::setCurrent(QString::fromStdString(deep));
    TMainWin window(SettingsStore::Locations{settings / "defaults.reg", settings / "user.reg"});
    auto* tree = test::Child<QTreeView>(&window, "User_DirectoryListBox");
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(window.ShownDirectory(), deep);
    QCoreApplication::processEvents();
    const QRect row = tree->visualRect(tree->currentIndex());
    EXPECT_TRUE(row.isValid() && row.top() >= 0 && row.bottom() < tree->viewport()->height())
        << row.top() << " in " << tree->viewport()->height();

    // It reads the directories on the way down, not the shown one until it is opened, and follows the
    // directories that come and go there; the files are never rows, and hidden directories not either.
    auto* model = qobject_cast<DirectoryTreeModel*>(tree->model());
    ASSERT_NE(model, nullptr);
    EXPECT_TRUE(model->canFetchMore(tree->currentIndex()));
    const QModelIndex above = tree->currentIndex().parent();
    const std::string aboveDir = deep.substr(0, deep.rfind('/'));
    const int rows = model->rowCount(above);
    const std::size_t watched = model->watchedCount();
    ASSERT_EQ(::mkdir((aboveDir + "/e").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((aboveDir + "/.hidden").c_str(), 0755), 0);
    for (int i = 0; i < 50; ++i)
        test::WriteFile(aboveDir + "/file-" + std::to_string(i), "x");
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(above) == rows + 1; }));
    EXPECT_EQ(model->filePath(model->index(rows, 0, above)).toStdString(), aboveDir + "/e");
    ASSERT_EQ(::rmdir((aboveDir + "/e").c_str()), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(above) == rows; }));
    EXPECT_EQ(model->watchedCount(), watched);
    tree->expand(tree->currentIndex());
    EXPECT_EQ(model->watchedCount(), watched + 1);
    EXPECT_EQ(model->rowCount(tree->currentIndex()), 0);
}

} // namespace
} // namespace vorlaxen
