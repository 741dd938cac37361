// The Preferences dialog, the tip of the day and the About box, and how the main window reaches them.

#include "ui/MainWinDialogs.h"

#include "ui/TMainWin.h"
#include "ui/TPreferences.h"

#include <QAction>

namespace vorlaxen {

MainWinDialogs::MainWinDialogs(TMainWin& window,
                               ProgramObjects& objects,
                               WindowOperations& operations,
                               const WindowPorts& ports)
    : window_(window)
    , preferencesDialog_(new TPreferences(&window))
    , preferences_(objects,
                   ProgramOptions{window.OnePerList, window.ShowCry, window.ShowTip, window.Method},
                   PreferencesPorts{*this, *this, operations.master(), ports.panes, ports.status, ports.expiry}) {}

bool MainWinDialogs::ShowPreferencesDialog(PreferencesControls& controls, const std::string& keyFilePath) {
    return preferencesDialog_->Ask(controls, keyFilePath);
}

void MainWinDialogs::SetDES() {
    window_.SetDES();
}

void MainWinDialogs::SetIDEA() {
    window_.SetIDEA();
}

void MainWinDialogs::SetTripleDES() {
    window_.SetTripleDES();
}

void TMainWin::ConnectDialogs() {
    optionsItem_->setEnabled(true);
    connect(optionsItem_, &QAction::triggered, this, [this] { dialogs_->preferences().ShowPreferences(); });
}

} // namespace vorlaxen
