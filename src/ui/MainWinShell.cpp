// The command line, "Open" and "Print" and the watch on opened files, wired to the main window.

#include "ui/MainWinShell.h"

#include "ui/TMainWin.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSocketNotifier>
#include <QTimer>

namespace vorlaxen {

MainWinShell::MainWinShell(TMainWin& window,
                           ProgramObjects& objects,
                           WindowOperations& operations,
                           const WindowPorts& ports)
    : QObject(&window)
    , window_(window) {
    NotifyOpenFiles_Timer = new QTimer(this);
    NotifyOpenFiles_Timer->setObjectName("NotifyOpenFiles_Timer");
    NotifyOpenFiles_Timer->setInterval(FileWatch::kTimerInterval);
    CreateMenuItem();
    shell_ = std::make_unique<ShellOperations>(objects, operations, ports, ShellPorts{launcher_, *this, *this});
    connect(NotifyOpenFiles_Timer, &QTimer::timeout, this, [this] { shell_->watch().NotifyOpenFiles(); });
    handOverTimer_ = new QTimer(this);
    handOverTimer_->setInterval(100);
    connect(handOverTimer_, &QTimer::timeout, this, [this] {
        HandOverQueue& handOvers = shell_->handOvers();
        handOvers.RunWaiting(window_.startup().hasRun() && !QApplication::activeModalWidget());
        if (!handOvers.waiting())
            handOverTimer_->stop();
    });
    if (shell_->watch().directoryWatchFd() >= 0) {
        directoryNotice_ = new QSocketNotifier(shell_->watch().directoryWatchFd(), QSocketNotifier::Read, this);
        connect(directoryNotice_, &QSocketNotifier::activated, this, [this] { shell_->watch().DirectoryChanged(); });
    }
    ConnectPopupItems();
}

MainWinShell::~MainWinShell() = default;

// "Re-encrypt opened files" goes into the File menu above the separator before "Exit".
void MainWinShell::CreateMenuItem() {
    reencryptItem_ = new QAction("&Re-encrypt opened files", this);
    reencryptItem_->setObjectName("ReencryptOpened_Item");
    reencryptItem_->setEnabled(false);
    connect(reencryptItem_, &QAction::triggered, this, [this] { shell_->watch().ReencryptOpenedFiles(); });
    auto* exit = window_.findChild<QAction*>("Exit_Item");
    for (QObject* owner : exit->associatedObjects()) {
        auto* menu = qobject_cast<QMenu*>(owner);
        if (!menu)
            continue;
        const QList<QAction*> items = menu->actions();
        const qsizetype at = items.indexOf(exit);
        menu->insertAction(at > 0 && items[at - 1]->isSeparator() ? items[at - 1] : exit, reencryptItem_);
    }
}

void MainWinShell::ConnectPopupItems() {
    OpenAndPrint& openAndPrint = shell_->openAndPrint();
    const std::array<std::pair<const char*, std::function<void()>>, 4> items = {{
        {"Open1", [&openAndPrint] { openAndPrint.ProcessCmd(LaunchVerb::Open); }},
        {"Print1", [&openAndPrint] { openAndPrint.ProcessCmd(LaunchVerb::Print); }},
        {"Open2", [&openAndPrint] { openAndPrint.DecrCmdFromPane(LaunchVerb::Open); }},
        {"Print2", [&openAndPrint] { openAndPrint.DecrCmdFromPane(LaunchVerb::Print); }},
    }};
    for (const auto& [name, handler] : items) {
        auto* item = window_.findChild<QAction*>(name);
        item->setEnabled(true);
        connect(item, &QAction::triggered, this, handler);
    }
}

void MainWinShell::setCommandLine(HandedCommandLine commandLine) {
    shell_->commandLine().setCommandLine(std::move(commandLine));
}

void MainWinShell::ProcessParameters() {
    shell_->commandLine().ProcessParameters();
}

void MainWinShell::HandOver(HandedCommandLine commandLine) {
    shell_->handOvers().Add(std::move(commandLine));
    handOverTimer_->start();
}

bool MainWinShell::FormCloseQuery() {
    return shell_->watch().FormCloseQuery();
}

void MainWinShell::EnableNotifyOpenFilesTimer(bool on) {
    if (!on)
        NotifyOpenFiles_Timer->stop();
    else if (!NotifyOpenFiles_Timer->isActive())
        NotifyOpenFiles_Timer->start();
}

void MainWinShell::EnableReencryptItem(bool on) {
    reencryptItem_->setEnabled(on);
}

void MainWinShell::SetDefaultMethod(std::int32_t method) {
    window_.Method = method;
}

// The program ends: the start-up steps still to come (the master password, the tip of the day) would
// only open dialogs that close at once. Command lines that later starts handed over meanwhile run first.
void MainWinShell::CloseMainWindow() {
    window_.startup().EndEarly();
    if (!shell_->handOvers().DeferClose())
        window_.close();
}

} // namespace vorlaxen
