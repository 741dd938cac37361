// The window's command line and the watch on opened files: a command line that ends the program, and
// "Open" of the "Crypted files" pane with an application started from the tests' own desktop entry and
// the 200 ms timer encrypting the file again.

#include "engine/ContainerFormat.h"
#include "support/FindChild.h"
#include "support/ModalScript.h"
#include "support/TempDir.h"
#include "support/TestDesktop.h"
#include "support/WindowTest.h"
#include "ui/MainWinShell.h"
#include "ui/TMainWin.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

namespace vorlaxen {
namespace {

using Steps = std::vector<test::ModalScript::Step>;

test::ModalScript::Step TypePassword(const QString& password) {
    return [password](QWidget* dialog) {
        auto* box = test::Child<QLineEdit>(dialog, "MaskEdit1");
        QTest::keyClicks(box, password);
        QTest::keyClick(box, Qt::Key_Return);
    };
}

class OpenedFiles : public test::WindowTest {};

TEST_F(OpenedFiles, ACommandLineEncryptsWithTripleDesWithoutAPromptAndEndsTheProgram) {
    std::string sessionMode = test::SettingsWithoutKeyFile();
    const std::string off = "\"OnePassword\"=dword:00000000";
    sessionMode.replace(sessionMode.find(off), off.size(), "\"OnePassword\"=dword:00000001");
    test::WriteFile(settings / "defaults.reg", sessionMode);
    test::WriteFile(files / "notes.txt", "my notes");

    TMainWin window(SettingsStore::Locations{settings / "defaults.reg", settings / "user.reg"});
    std::vector<ProgramArgument> arguments(3);
    arguments[0].text = "/des";
    arguments[1].text = "/pass:";
    arguments[1].password = {'a', 'b', 'c', 'd', 'e', 'f'};
    arguments[2].text = "notes.txt";
    window.setCommandLine(HandedCommandLine{files.path(), std::move(arguments), {}});
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.startup().hasRun() && !window.isVisible(); }))
        << "the program ends with its command line";
    EXPECT_FALSE(test::Exists(files / "notes.txt"));
    const MethodInfo* method = MethodOfFile(files / "notes.txt.cry");
    ASSERT_NE(method, nullptr);
    EXPECT_EQ(method->code, CipherMethod::Des);
    EXPECT_EQ(window.Method, 4) << "the default method is what it was";
}

TEST_F(OpenedFiles, OpenFromThePaneIsWatchedByTheTimerAndTheFileGoesBackUnderItsPassword) {
    test::InstallTestDesktop();
    test::WriteFile(files / "diary.txt", "sleep\nDear diary");
    {
        TKX_Pwd maker;
        maker.SetPassword("diary-pw");
        ASSERT_EQ(maker.EncryptFile(files / "diary.txt", CipherMethod::Idea), ResultCode::Ok);
        ::unlink((files / "diary.txt").c_str());
    }
    auto window = open();
    window->shell().operations().watch().setQuickExit(std::chrono::milliseconds(50));
    auto* item = test::Child<QAction>(window.get(), "ReencryptOpened_Item");
    auto* menu = qobject_cast<QMenu*>(item->associatedObjects().value(0));
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> fileItems = menu->actions();
    ASSERT_GE(fileItems.size(), 3);
    EXPECT_EQ(fileItems[fileItems.size() - 3], item) << "above the separator before Exit";
    EXPECT_EQ(test::Child<QTimer>(window.get(), "NotifyOpenFiles_Timer")->interval(), 200);

    window->pane(Pane::Crypted).detailsView()->selectAll();
    test::ModalScript script(Steps{TypePassword("diary-pw")});
    auto* open2 = test::Child<QAction>(window.get(), "Open2");
    EXPECT_TRUE(open2->isEnabled() && test::Child<QAction>(window.get(), "Print1")->isEnabled());
    open2->trigger();
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(test::Exists(files / "diary.txt")) << "decrypted for its application";
    EXPECT_EQ(window->objects().prgState().OpFiles.Count, 1);
    window->objects().pwd().SetPassword("another one");
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->objects().prgState().OpFiles.Count == 0; }, 5000));
    EXPECT_FALSE(test::Exists(files / "diary.txt"));
    TKX_Pwd probe;
    probe.SetPassword("diary-pw");
    EXPECT_EQ(probe.VerifyFile(files / "diary.txt.cry"), ResultCode::Ok);
    EXPECT_EQ(window->fileLists().pane(Pane::Source).size(), 0u);
    EXPECT_EQ(window->fileLists().pane(Pane::Crypted).size(), 1u);
}

} // namespace
} // namespace vorlaxen
