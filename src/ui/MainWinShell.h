#pragma once

#include "desktop/HandedCommandLine.h"
#include "desktop/ShellOperations.h"
#include "desktop/SystemLauncher.h"
#include "ports/CommandLineHost.h"
#include "ports/WatchControls.h"

#include <QObject>
#include <memory>

class QAction;
class QSocketNotifier;
class QTimer;

namespace vorlaxen {

class TMainWin;

// The main window's part in the command line (its own and those that later starts hand over), "Open" and
// "Print" and the watch on opened files: the 200 ms timer `NotifyOpenFiles_Timer`, the File menu's "Re-encrypt opened
// files", the pop-up items "Open" and "Print" of both panes, and the notice of the watched directories. The rules are
// ShellOperations'; this wires them to the window.
class MainWinShell : public QObject, public WatchControls, public CommandLineHost {
public:
    MainWinShell(TMainWin& window, ProgramObjects& objects, WindowOperations& operations, const WindowPorts& ports);
    ~MainWinShell() override;

    ShellOperations& operations() { return *shell_; }

    void setCommandLine(HandedCommandLine commandLine);
    // The start-up step.
    void ProcessParameters();
    // A command line that a later start handed over: it runs once the window is free for it.
    void HandOver(HandedCommandLine commandLine);
    // The close request: true when the window may close.
    bool FormCloseQuery();

    // WatchControls, CommandLineHost
    void EnableNotifyOpenFilesTimer(bool on) override;
    void EnableReencryptItem(bool on) override;
    void SetDefaultMethod(std::int32_t method) override;
    void CloseMainWindow() override;

private:
    void CreateMenuItem();
    void ConnectPopupItems();

    TMainWin& window_;
    SystemLauncher launcher_;
    std::unique_ptr<ShellOperations> shell_;
    QTimer* NotifyOpenFiles_Timer = nullptr;
    QTimer* handOverTimer_ = nullptr; // ticks while handed command lines wait for the window
    QAction* reencryptItem_ = nullptr;
    QSocketNotifier* directoryNotice_ = nullptr;
};

} // namespace vorlaxen
