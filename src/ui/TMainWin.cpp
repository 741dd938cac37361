#include "ui/TMainWin.h"

#include "desktop/WindowOperations.h"
#include "engine/Messages.h"
#include "ui/CoolBar.h"
#include "ui/MainWinDialogs.h"
#include "ui/MainWinPorts.h"
#include "ui/MainWinShell.h"
#include "ui/PaneModel.h"
#include "ui/PaneWatch.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>

// The pictures are compiled into the library; a static library's resources must be registered by hand.
static void InitResources() {
    Q_INIT_RESOURCE(resources);
}

namespace vorlaxen {

namespace {

// The window definition's client area; the saved size replaces it.
constexpr int kDefinedWidth = 583;
constexpr int kDefinedHeight = 433;

} // namespace

TMainWin::TMainWin(SettingsStore::Locations settingsLocations, QWidget* parent)
    : QMainWindow(parent)
    , store_(std::move(settingsLocations)) {
    InitResources();
    setObjectName("MainWin");
    setWindowTitle("Vorlaxen 95 ( IDEA )");
    setWindowIcon(QIcon(":/icons/vorlaxen.svg"));

    objects_ = std::make_unique<ProgramObjects>(*this, *this, *this);
    fileLists_ = std::make_unique<FileLists>(kinds_, objects_->prgState(), objects_->pwd(), ShowCry);
    fileLists_->setObserver(this);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusArea();
    CreateDirPanel();
    CreateGrid();
    CreatePopupMenus();
    CreateDialogsAndTimers();
    SetTabOrder();
    SetMinimumSizes();
    resize(kDefinedWidth, kDefinedHeight);

    ports_ = std::make_unique<MainWinPorts>(*this,
                                            MainWinControls{*User_DirectoryListBox,
                                                            *directories_,
                                                            *DriveComboBox1,
                                                            *ProgressBar1,
                                                            *ProgressBar2,
                                                            statusBar1Panels_,
                                                            statusBar2Panels_,
                                                            *StopProcess_Button,
                                                            *PwdExpire_Button,
                                                            *MasterPwdExpire_Button,
                                                            *Process_Timer,
                                                            *PwdTimer,
                                                            *MasterPwd_Timer,
                                                            *encryptPrompt_,
                                                            *decryptPrompt_,
                                                            *masterPwdForm_,
                                                            *delDialog_});
    operations_ = std::make_unique<WindowOperations>(*objects_, ports_->Ports());
    ConnectOperations();
    shell_ = std::make_unique<MainWinShell>(*this, *objects_, *operations_, ports_->Ports());
    dialogs_ = std::make_unique<MainWinDialogs>(*this, *objects_, *operations_, ports_->Ports());
    ConnectDialogs();

    ReadSettings();

    // The start-up steps this window knows; later parts of the program add theirs.
    startup_.Add([this] { SetButtonsInStatus(); });
    startup_.Add([this] { SetStatusBars(); });
    startup_.Add([this] {
        Reresize();
        ScrollTreeToShownDirectory();
    });
    startup_.Add([this] {
        User_DirectoryListBox->setFocus(Qt::OtherFocusReason);
        ReadPanesFirstTime();
    });
    startup_.Add([this] { shell_->ProcessParameters(); });
    startup_.Add([this] { operations_->master().AskAtStartup(); });
    startup_.Add([this] { dialogs_->tips().ShowAtStartup(); });
    startupWait_ = new QTimer(this);
    startupWait_->setObjectName("MainWin_StartupWait");
    startupWait_->setSingleShot(true);
    startupWait_->setInterval(StartupSequence::kActivationWait);
    connect(startupWait_, &QTimer::timeout, this, &TMainWin::WindowArrived);
}

// The members go in the reverse order of their declarations, each before what it uses; the Qt children
// that no member holds go last, with the window.
TMainWin::~TMainWin() {
    WriteSettings();
    // No model is told of a change to the panes from here on.
    fileLists_->setObserver(nullptr);
}

void TMainWin::setCommandLine(HandedCommandLine commandLine) {
    shell_->setCommandLine(std::move(commandLine));
}

void TMainWin::HandOver(HandedCommandLine commandLine) {
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    shell_->HandOver(std::move(commandLine));
}

// While an operation runs the window does not close: the operation holds the files and the objects
// it works on. With files still watched, the user decides (FormCloseQuery).
void TMainWin::closeEvent(QCloseEvent* event) {
    if (objects_->prgState().IsBusy()) {
        UpdateStatus(kPleaseWait);
        event->ignore();
        return;
    }
    if (!shell_->FormCloseQuery()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool TMainWin::event(QEvent* e) {
    bool handled = QMainWindow::event(e);
    if (e->type() == QEvent::WindowActivate) {
        startupWait_->stop();
        WindowArrived();
    }
    return handled;
}

// A new theme (a palette or a style chosen while the program runs) gets the emphasis in its own colours.
void TMainWin::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        ShowActivePaneTitle();
        if (MethodOfSetting(Method))
            ShowMethodOnButtons();
    }
}

void TMainWin::WindowArrived() {
    if (!arrived_) {
        arrived_ = true;
        FitIntoScreen(false);
    }
    startup_.RunOnce();
}

void TMainWin::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownBefore_ || event->spontaneous())
        return;
    shownBefore_ = true;
    FitIntoScreen(true);
    if (!startup_.hasRun())
        startupWait_->start();
}

void TMainWin::ReadSettings() {
    store_.load();
    ProgramSettings settings = CollectSettings();
    const bool complete = vorlaxen::ReadSettings(store_, settings);
    ApplySettings(settings);
    if (!complete)
        ShowMessage(MessageKind::Error, "The program has not been installed correctly!", MessageButtons::Ok);
}

void TMainWin::WriteSettings() {
    vorlaxen::WriteSettings(store_, CollectSettings());
    if (!store_.save())
        qWarning("Vorlaxen: the settings could not be saved: %s", store_.problems().c_str());
}

ProgramSettings TMainWin::CollectSettings() const {
    ProgramSettings s;
    s.windowWidth = width();
    s.windowHeight = height();
    s.sourceColumns = sourceView_->columnWidths();
    s.cryptedColumns = cryptedView_->columnWidths();
    s.bands = Status_CoolBar->CurrentLayout();
    s.helpFile = HelpFile;
    const TKX_Pwd& pwd = objects_->pwd();
    s.onePassword = pwd.SessionMode;
    s.expire = pwd.ExpiryMinutes;
    const TKX_MasterPass& master = objects_->pwdTable().MasterPass;
    s.store = master.UseKeyFile;
    s.dir = master.KeyFilePath;
    s.expires = master.ExpiryOn;
    s.expTime = master.ExpiryMinutes;
    s.onePerList = OnePerList;
    s.showCry = ShowCry;
    s.showTip = ShowTip;
    s.method = Method;
    return s;
}

void TMainWin::ApplySettings(const ProgramSettings& s) {
    // A stored size too small to use (a hand-edited 0, say) gives way to the window's minimum; one too
    // large for the screen is fitted into it when the window is shown.
    wantedSize_ = QSize(s.windowWidth, s.windowHeight);
    resize(wantedSize_.expandedTo(minimumSize()));
    sourceView_->setColumnWidths(s.sourceColumns);
    cryptedView_->setColumnWidths(s.cryptedColumns);
    Status_CoolBar->ApplyLayout(s.bands);
    HelpFile = s.helpFile;
    TKX_Pwd& pwd = objects_->pwd();
    pwd.SessionMode = s.onePassword;
    pwd.ExpiryMinutes = s.expire;
    OnePerList = s.onePerList;
    ShowCry = s.showCry;
    ShowTip = s.showTip;
    Method = s.method;
    TKX_MasterPass& master = objects_->pwdTable().MasterPass;
    master.UseKeyFile = s.store;
    master.KeyFilePath = s.dir;
    master.ExpiryOn = s.expires;
    master.ExpiryMinutes = s.expTime;
}

MessageAnswer TMainWin::ShowMessage(MessageKind kind, const std::string& text, MessageButtons buttons) {
    QMessageBox box(this);
    box.setWindowTitle("Vorlaxen 95");
    // Messages name files, whose names may look like markup: shown as written.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(text));
    switch (kind) {
    case MessageKind::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageKind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        break;
    }
    QPushButton* all = nullptr;
    QPushButton* cancelAll = nullptr;
    switch (buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MessageButtons::OkAll:
        box.setStandardButtons(QMessageBox::Ok);
        all = box.addButton("All", QMessageBox::DestructiveRole);
        break;
    case MessageButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MessageButtons::YesNotYet:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.button(QMessageBox::No)->setText("&Not yet");
        box.setEscapeButton(QMessageBox::No);
        break;
    case MessageButtons::OkCancelAll:
        box.setStandardButtons(QMessageBox::Ok);
        cancelAll = box.addButton("Cancel All", QMessageBox::RejectRole);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok); // Esc goes on with the list, as OK does
        break;
    }
    box.exec();
    if (all && box.clickedButton() == all)
        return MessageAnswer::All;
    if (cancelAll && box.clickedButton() == cancelAll)
        return MessageAnswer::CancelAll;
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
        return MessageAnswer::Ok;
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    default:
        return MessageAnswer::Cancel;
    }
}

void TMainWin::ShowStatus(const std::string& text) {
    UpdateStatus(text);
}

// The engine asks after every chunk of a file, and a pass of the events (with the painting it brings)
// costs more than the encryption of a small file: a pass comes when the last is kEventsInterval ago, often
// enough for the window to answer at once and to show every change.
void TMainWin::LetPendingEventsRun() {
    if (std::chrono::steady_clock::now() - lastEvents_ < kEventsInterval)
        return;
    QCoreApplication::processEvents();
    lastEvents_ = std::chrono::steady_clock::now();
}

void TMainWin::AskMasterPassword() {
    operations_->master().AskMasterPassword();
}

// --- FileListsObserver ---------------------------------------------------------------------------------

PaneModel& TMainWin::modelOf(Pane which) {
    return which == Pane::Source ? *sourceModel_ : *cryptedModel_;
}

void TMainWin::PaneAboutToReset(Pane pane) {
    modelOf(pane).AboutToReset();
}

void TMainWin::PaneReset(Pane pane) {
    modelOf(pane).Reset();
    ShowSortOrder(pane);
}

void TMainWin::EntryAdded(Pane pane, std::size_t index) {
    modelOf(pane).Added(index);
}

// A run removes the entries of the files it has done one after another, the current one among them.
void TMainWin::EntryAboutToBeRemoved(Pane pane, std::size_t index) {
    if (objects().prgState().ListRunning)
        this->pane(pane).LetGoOfRow(static_cast<int>(index));
    modelOf(pane).AboutToRemove(index);
}

void TMainWin::EntryRemoved(Pane pane) {
    modelOf(pane).Removed();
}

void TMainWin::EntryChanged(Pane pane, std::size_t index) {
    modelOf(pane).Changed(index);
}

void TMainWin::PaneSorted(Pane pane, const std::vector<std::size_t>& order) {
    modelOf(pane).Sorted(order);
    ShowSortOrder(pane);
}

// A pane sorts with the shared state when it is sorted; until then its arrow stays where it was.
void TMainWin::ShowSortOrder(Pane pane) {
    const SortState& sort = fileLists_->sort();
    this->pane(pane).ShowSortOrder(sort.column, sort.descending);
}

} // namespace vorlaxen
