// The real main window's panes, status area and layout on the offscreen platform.

#include "desktop/EmphasisColours.h"
#include "support/FindChild.h"
#include "support/ModalAnswer.h"
#include "support/TempDir.h"
#include "support/WindowTest.h"
#include "ui/CoolBar.h"
#include "ui/EntryIconProvider.h"
#include "ui/TMainWin.h"
#include "ui/TPreferences.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vorlaxen {
namespace {

using Captions = std::vector<std::string>;

class Window : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        for (const auto& [name, size] : std::vector<std::pair<std::string, std::size_t>>{
                 {"alpha.txt", 30}, {"Beta.txt", 10}, {"gamma.bin", 20}, {"x.doc", 5}})
            test::WriteFile(files / name, std::string(size, 'x'));
        test::WriteFile(files / "letter.doc.cry", "KX98 rest of a container");
        test::WriteFile(files / "B.CRY", "KX9C");
    }

    static Captions captions(TMainWin& window, Pane which) {
        Captions out;
        for (const auto& e : window.fileLists().pane(which).entries())
            out.push_back(e.caption);
        return out;
    }

    template <class T> static T* find(TMainWin& window, const char* name) { return test::Child<T>(&window, name); }
};

TEST_F(Window, TheFirstActivationFillsBothPanesFromTheShownDirectory) {
    auto window = open();
    EXPECT_FALSE(window->objects().prgState().PanesUnread);
    EXPECT_EQ(window->ShownDirectory(), files.path());
    EXPECT_EQ(captions(*window, Pane::Source), (Captions{"alpha.txt", "Beta.txt", "gamma.bin", "x.doc"}));
    EXPECT_EQ(captions(*window, Pane::Crypted), (Captions{"B", "letter.doc"}));
    EXPECT_EQ(window->statusText(), "Idle.");
    EXPECT_EQ(find<QTreeView>(*window, "Source_ListView_Details")->model()->rowCount(), 4);
}

// The key file's dialog lists every file of the directory it shows, decrypted ones too: it tells a file's
// type from its name, never from its content, which Qt's own provider reads.
TEST_F(Window, TheKeyFilesDialogTellsTypesByNameWithoutReadingFiles) {
    const std::string pngStart = "\x89PNG\r\n\x1a\n";
    test::WriteFile(files / "picture", pngStart + std::string(100, 'p'));
    test::WriteFile(files / "notes.png", std::string(100, 'n'));
    const QFileInfo picture(QString::fromStdString(files / "picture"));
    const QFileInfo directory(QString::fromStdString(files.path()));
    ASSERT_EQ(QFileIconProvider().type(picture), "PNG image") << "Qt's own provider reads the file";
    const EntryIconProvider& provider = EntryIconProvider::Shared();
    EXPECT_NE(provider.type(picture), "PNG image");
    EXPECT_EQ(provider.type(QFileInfo(QString::fromStdString(files / "notes.png"))), "PNG image");
    EXPECT_EQ(provider.type(directory), QFileIconProvider().type(directory)) << "a directory is told as Qt tells it";

    TPreferences preferences(nullptr);
    const QAbstractFileIconProvider* used = nullptr;
    test::AnswerNextModal([&used](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog && dialog->objectName() == "SaveDialog1")
            used = dialog->iconProvider();
    });
    test::Child<QPushButton>(&preferences, "Browse")->click();
    EXPECT_EQ(used, &provider);
}

TEST_F(Window, AWindowThatIsNeverActivatedStartsAMomentAfterItIsFirstShown) {
    // As under a window manager that maps a new window without focusing it: shown, never activated.
    TMainWin window({settings / "defaults.reg", settings / "user.reg"});
    window.setAttribute(Qt::WA_DontShowOnScreen);
    int runs = 0;
    window.startup().Add([&runs] { ++runs; });
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&runs] { return runs == 1; }, 5000));
    EXPECT_FALSE(window.isActiveWindow());
    EXPECT_EQ(captions(window, Pane::Source), (Captions{"alpha.txt", "Beta.txt", "gamma.bin", "x.doc"}));
    EXPECT_EQ(captions(window, Pane::Crypted), (Captions{"B", "letter.doc"}));
    EXPECT_EQ(window.statusText(), "Idle.");
    EXPECT_TRUE(find<QToolButton>(window, "TDES_Button")->isChecked()) << "the method is marked";
    window.hide();
    window.show();
    QTest::qWait(2 * static_cast<int>(StartupSequence::kActivationWait.count()));
    EXPECT_EQ(runs, 1) << "once";
}

TEST_F(Window, StatusTextsSlideInThroughTheSink) {
    auto window = open();
    std::vector<std::string> shown;
    window->setStatusSink([&shown](const std::string& text) { shown.push_back(text); });
    window->UpdateStatus("Idle.");
    ASSERT_EQ(shown.size(), 26u);
    EXPECT_EQ(shown.front(), "    Idle.");
    EXPECT_EQ(shown[8], "    Idle.");
    EXPECT_EQ(shown.back(), "Idle.");
    EXPECT_EQ(window->statusText(), "Idle.");
}

TEST_F(Window, HeaderClicksSortBothWaysAndViewStylesKeepWidthsAndOrder) {
    auto window = open();
    QHeaderView* header = find<QTreeView>(*window, "Source_ListView_Details")->header();
    emit header->sectionClicked(1);
    EXPECT_EQ(captions(*window, Pane::Source), (Captions{"alpha.txt", "gamma.bin", "Beta.txt", "x.doc"}));
    header->resizeSection(0, 222);
    window->SetListViewStyle(ViewStyle::LargeIcons);
    EXPECT_EQ(window->pane(Pane::Source).viewStyle(), ViewStyle::LargeIcons);
    window->SetListViewStyle(ViewStyle::Details);
    EXPECT_EQ(header->sectionSize(0), 222);
    EXPECT_EQ(captions(*window, Pane::Source), (Captions{"alpha.txt", "gamma.bin", "Beta.txt", "x.doc"}));
    emit header->sectionClicked(0);
    EXPECT_EQ(captions(*window, Pane::Source), (Captions{"alpha.txt", "Beta.txt", "gamma.bin", "x.doc"}));
}

TEST_F(Window, UpdatesFollowEncryptionAndDecryptionAndKeepTheSelection) {
    auto window = open();
    auto& source = window->pane(Pane::Source);
    source.detailsView()->selectAll();
    ASSERT_EQ(source.SelectedFiles().size(), 4u);
    ASSERT_EQ(::rename("x.doc", "x.doc.cry"), 0);
    window->UpdateFLists("x.doc", Direction::Encrypt, false);
    ASSERT_EQ(captions(*window, Pane::Crypted), (Captions{"B", "letter.doc", "x.doc"}));
    EXPECT_EQ(source.SelectedFiles(), (Captions{"alpha.txt", "Beta.txt", "gamma.bin"}));
    EXPECT_EQ(window->fileLists().pane(Pane::Crypted)[2].typeText, "-") << "details read for the new entry";
    window->pane(Pane::Crypted).detailsView()->selectAll();
    EXPECT_EQ(window->pane(Pane::Crypted).SelectedFiles(), (Captions{"B.CRY", "letter.doc.cry", "x.doc.cry"}))
        << "a pane hands over its entries' own names, whatever their captions";
}

TEST_F(Window, ThePaneWithTheFocusDecidesWhichOperationIsOffered) {
    auto window = open();
    auto* encrypt = find<QAction>(*window, "Encrypt_Button");
    auto* decrypt = find<QAction>(*window, "Decrypt_Button");
    EXPECT_TRUE(encrypt->isEnabled());
    EXPECT_FALSE(decrypt->isEnabled());
    window->pane(Pane::Crypted).detailsView()->setFocus();
    EXPECT_TRUE(QTest::qWaitFor([decrypt] { return decrypt->isEnabled(); }));
    EXPECT_FALSE(encrypt->isEnabled());
    EXPECT_TRUE(decrypt->isEnabled());
    EXPECT_TRUE(find<QLabel>(*window, "Crypted_HighlightedPicture")->isVisible());
    EXPECT_FALSE(find<QLabel>(*window, "Source_HighlightedPicture")->isVisible());
    window->pane(Pane::Source).detailsView()->setFocus();
    EXPECT_TRUE(QTest::qWaitFor([encrypt] { return encrypt->isEnabled(); }));
    EXPECT_FALSE(decrypt->isEnabled());
}

TEST_F(Window, TheActiveTitleAndTheCurrentMethodStandOutOnALightThemeAndOnADarkOne) {
    auto window = open();
    auto* sourceTitle = find<QLabel>(*window, "Source_Title");
    auto* cryptedTitle = find<QLabel>(*window, "Crypted_Title");
    auto* current = find<QToolButton>(*window, "TDES_Button");
    auto* other = find<QToolButton>(*window, "DES_Button");
    auto text = [](QWidget* w, QPalette::ColorRole role) { return w->palette().color(QPalette::Active, role); };
    EXPECT_EQ(text(sourceTitle, QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(text(cryptedTitle, QPalette::WindowText), QColor(0, 0, 128)) << "navy";
    EXPECT_EQ(text(current, QPalette::ButtonText), QColor(Qt::blue));
    EXPECT_EQ(text(other, QPalette::ButtonText), QColor(Qt::black));

    // A dark theme chosen while the program runs: the theme's own colours, readable. The light one comes
    // back at the end, also for the tests after this one when this one fails.
    struct KeptPalette {
        QPalette palette = QApplication::palette();
        ~KeptPalette() { QApplication::setPalette(palette); }
    } light;
    QPalette dark = light.palette;
    for (auto [role, colour] : {std::pair{QPalette::Window, QColor(53, 53, 53)},
                                {QPalette::WindowText, QColor(Qt::white)},
                                {QPalette::Button, QColor(53, 53, 53)},
                                {QPalette::ButtonText, QColor(Qt::white)},
                                {QPalette::Link, QColor(42, 130, 218)},
                                {QPalette::Highlight, QColor(42, 130, 218)}})
        dark.setColor(role, colour);
    QApplication::setPalette(dark);
    auto contrast = [](const QColor& a, const QColor& b) {
        return ContrastRatio({a.red(), a.green(), a.blue()}, {b.red(), b.green(), b.blue()});
    };
    window->pane(Pane::Crypted).detailsView()->setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return text(sourceTitle, QPalette::WindowText) == QColor(Qt::white); }))
        << "the inactive title in the normal text colour";
    const QColor active = text(cryptedTitle, QPalette::WindowText);
    EXPECT_GE(contrast(active, dark.color(QPalette::Window)), 4.5);
    EXPECT_NE(active, QColor(Qt::white));
    EXPECT_GE(contrast(text(current, QPalette::ButtonText), dark.color(QPalette::Button)), 4.5);
    EXPECT_NE(text(current, QPalette::ButtonText), QColor(Qt::white));
    EXPECT_EQ(text(other, QPalette::ButtonText), QColor(Qt::white));
    QApplication::setPalette(light.palette);
    EXPECT_TRUE(QTest::qWaitFor([&] { return text(cryptedTitle, QPalette::WindowText) == QColor(Qt::blue); }));
    EXPECT_EQ(text(current, QPalette::ButtonText), QColor(Qt::blue));
}

TEST_F(Window, APaneAcceptsDragsOnlyFromTheOtherPane) {
    auto window = open();
    int drops = 0;
    QObject::connect(&window->pane(Pane::Crypted), &FilePaneView::droppedFromOtherPane, [&drops] { ++drops; });
    QWidget* target = window->pane(Pane::Crypted).detailsView()->viewport();
    for (const char* from : {"crypted", "source"}) {
        QMimeData data;
        data.setData("application/x-vorlaxen-pane", from);
        QDragEnterEvent enter({10, 10}, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        EXPECT_EQ(enter.isAccepted(), std::string(from) == "source") << from;
        QDropEvent drop({10, 10}, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
    }
    EXPECT_EQ(drops, 1);
    EXPECT_EQ(captions(*window, Pane::Source).size(), 4u) << "a drop itself moves nothing";
}

TEST_F(Window, TheLayoutLeavesRoomForProgressBarsWhileAFileIsProcessed) {
    auto window = open();
    auto* bar = find<QProgressBar>(*window, "ProgressBar1");
    auto& source = window->pane(Pane::Source);
    auto& crypted = window->pane(Pane::Crypted);
    auto* tree = find<QTreeView>(*window, "User_DirectoryListBox");
    window->Reresize();
    EXPECT_EQ(crypted.geometry().bottom(), tree->geometry().bottom());
    EXPECT_EQ(bar->geometry().bottom(), source.geometry().bottom()) << "idle: hidden behind the pane";

    // Moving the splitter changes widths alone: panes raised for their bars keep their heights.
    auto* grid = find<QWidget>(*window, "Grid_Panel");
    auto* splitter = find<QSplitter>(*window, "Splitter1");
    window->RaiseLists();
    const int raisedHeight = source.height();
    const QList<int> sizes = splitter->sizes();
    splitter->setSizes({sizes[0] + 30, sizes[1] - 30});
    ASSERT_TRUE(QTest::qWaitFor([&] { return source.width() == grid->width() - 12; })) << "the panes follow the panel";
    EXPECT_EQ(bar->width(), source.width());
    EXPECT_EQ(source.height(), raisedHeight);
    window->DropLists();

    // A new height lays everything out again, by the rules of a running operation.
    window->objects().prgState().SetBusy(TKX_PrgState::kEncrypting);
    window->RaiseLists();
    window->resize(window->width() + 40, window->height() + 30);
    ASSERT_TRUE(QTest::qWaitFor([&] { return crypted.geometry().bottom() == tree->geometry().bottom() - 14; }));
    EXPECT_EQ(source.width(), grid->width() - 12);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->y(), source.geometry().bottom() + 1 + 4) << "4 pixels below its pane";
    EXPECT_EQ(crypted.geometry().bottom(), tree->geometry().bottom() - 14);
    window->objects().prgState().ClearBusy(TKX_PrgState::kEncrypting);
    window->DropLists();
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(window->objects().prgState().ProgressShown);
}

TEST_F(Window, MethodButtonsShowTheMethodAndGiveTheNoticeOnEveryChoice) {
    auto window = open();
    EXPECT_EQ(window->Method, 4) << "as the settings have it";
    EXPECT_TRUE(find<QToolButton>(*window, "TDES_Button")->isChecked());
    EXPECT_EQ(window->statusText(), "Idle.") << "no notice at start";
    window->objects().pwd().Expired = false;
    find<QToolButton>(*window, "TDES_Button")->click();
    EXPECT_EQ(window->Method, 4);
    EXPECT_TRUE(window->objects().pwd().Expired) << "even the current method expires the session password";
    EXPECT_EQ(window->statusText(),
              "Since your default encryption method has changed, you will be prompted to assign a new password.");
    find<QToolButton>(*window, "DES_Button")->click();
    EXPECT_EQ(window->Method, 3);
    EXPECT_TRUE(find<QToolButton>(*window, "DES_Button")->isChecked());
    EXPECT_FALSE(find<QToolButton>(*window, "TDES_Button")->isChecked());
}

TEST_F(Window, HidingTheStatusAreaGivesThePanesItsHeight) {
    auto window = open();
    auto* tree = find<QTreeView>(*window, "User_DirectoryListBox");
    const int before = tree->height();
    find<QAction>(*window, "StatusBars_Item")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([tree, before] { return tree->height() > before; }));
    find<QAction>(*window, "StatusBars_Item")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([tree, before] { return tree->height() == before; }));
}

TEST_F(Window, TheBandLayoutSurvivesARestart) {
    std::array<BandLayout, 4> moved;
    {
        auto window = open();
        auto* bar = find<CoolBar>(*window, "Status_CoolBar");
        std::array<BandLayout, 4> layout = bar->CurrentLayout();
        std::swap(layout[0], layout[3]);
        layout[0].startsRow = true;
        layout[3].startsRow = true;
        layout[1].width = 150;
        bar->ApplyLayout(layout);
        moved = bar->CurrentLayout();
        window->close();
    }
    auto window = open();
    EXPECT_EQ(find<CoolBar>(*window, "Status_CoolBar")->CurrentLayout()[0].control, "Method_Panel");
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(find<CoolBar>(*window, "Status_CoolBar")->CurrentLayout()[i].control, moved[i].control);
        EXPECT_EQ(find<CoolBar>(*window, "Status_CoolBar")->CurrentLayout()[i].startsRow, moved[i].startsRow);
    }
}

TEST_F(Window, ADriveThatIsNotReadyAsksForAnother) {
    auto window = open();
    auto* drives = find<QComboBox>(*window, "DriveComboBox1");
    drives->addItem("/no/such/mount");
    QString caption;
    test::AnswerNextModal([&caption](QWidget* modal) {
        caption = modal->windowTitle();
        auto* box = test::Child<QComboBox>(modal, "ComboChange_DriveBox");
        box->setCurrentIndex(0); // the root, which is ready
        QMetaObject::invokeMethod(modal, "accept");
    });
    emit drives->activated(drives->count() - 1);
    EXPECT_EQ(caption, "Error!");
    EXPECT_EQ(drives->currentText(), QDir::rootPath());
}

} // namespace
} // namespace vorlaxen
