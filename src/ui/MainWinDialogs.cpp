// The Preferences dialog, the tip of the day, the About box and the help, and how the main window
// reaches them.

#include "ui/MainWinDialogs.h"

#include "platform/UriLauncher.h"
#include "ui/TAbout.h"
#include "ui/TMainWin.h"
#include "ui/TPreferences.h"
#include "ui/TTIP_Form.h"

#include <QAction>
#include <QShortcut>

namespace vorlaxen {

MainWinDialogs::MainWinDialogs(TMainWin& window,
                               ProgramObjects& objects,
                               WindowOperations& operations,
                               const WindowPorts& ports)
    : window_(window)
    , aboutDialog_(new TAbout(&window))
    , preferencesDialog_(new TPreferences(&window))
    , tipForm_(new TTIP_Form(&window))
    , help_(window.HelpFile, *this, ports.status)
    , preferences_(objects,
                   ProgramOptions{window.OnePerList, window.ShowCry, window.ShowTip, window.Method},
                   PreferencesPorts{*this, *this, operations.master(), ports.panes, ports.status, ports.expiry})
    , tips_(window.ShowTip, *this, help_)
    , about_(*this, *this, ports.messages) {
    QObject::connect(
        preferencesDialog_, &TPreferences::helpRequested, &window, [this] { help_.OpenHelp(kPreferencesHelpTopic); });
}

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

std::optional<bool>
MainWinDialogs::ShowTipWindow(const std::string& tip, bool showNextTime, const TipWindowCalls& calls) {
    return tipForm_->Ask(tip, showNextTime, calls);
}

void MainWinDialogs::ShowAboutWindow(const AboutContents& contents, const std::function<void()>& homePageClicked) {
    aboutDialog_->Ask(contents, homePageClicked);
}

bool MainWinDialogs::OpenDocumentAt(const std::string& path,
                                    const std::string& anchor,
                                    const std::string& workingDirectory) {
    if (browser_)
        return browser_->OpenDocumentAt(path, anchor, workingDirectory);
    return vorlaxen::OpenDocumentAt(path, anchor, workingDirectory);
}

bool MainWinDialogs::OpenWebAddress(const std::string& address) {
    if (browser_)
        return browser_->OpenWebAddress(address);
    return vorlaxen::OpenWebAddress(address);
}

void TMainWin::ConnectDialogs() {
    optionsItem_->setEnabled(true);
    connect(optionsItem_, &QAction::triggered, this, [this] { dialogs_->preferences().ShowPreferences(); });
    connect(tipsItem_, &QAction::triggered, this, [this] { dialogs_->tips().Tips_ItemClick(); });
    connect(aboutItem_, &QAction::triggered, this, [this] { dialogs_->about().About_ItemClick(); });
    // The help key of the main window opens its topic; a dialog open over it has its own.
    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    helpKey->setObjectName("MainWin_HelpKey");
    helpKey->setContext(Qt::WindowShortcut);
    connect(helpKey, &QShortcut::activated, this, [this] { dialogs_->help().OpenHelp(kMainWindowHelpTopic); });
}

// "&Contents" and the "Help" tool button: the help file from its start.
void TMainWin::OpenHelp() {
    dialogs_->help().OpenHelp();
}

} // namespace vorlaxen
