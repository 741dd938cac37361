#pragma once

#include "desktop/FileLists.h"
#include "desktop/HandedCommandLine.h"
#include "desktop/PaneRefresh.h"
#include "desktop/ProgramArguments.h"
#include "desktop/ProgramObjects.h"
#include "desktop/ProgramSettings.h"
#include "desktop/StartupSequence.h"
#include "engine/CipherMethod.h"
#include "platform/SettingsStore.h"
#include "ports/MasterPasswordSource.h"
#include "ports/MessageBox.h"
#include "ports/PendingEvents.h"
#include "ports/StatusLine.h"
#include "ui/FilePaneView.h"
#include "ui/QtFileKinds.h"

#include <QMainWindow>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QToolBar;
class QToolButton;
class QTimer;
class QTreeView;

namespace vorlaxen {

class CoolBar;
class DirectoryTreeModel;
class MainWinDialogs;
class MainWinPorts;
class MainWinShell;
class MethodButton;
class PaneModel;
class PaneWatch;
class PasswordPrompt;
class StatusPanel;
class TComboChange;
class TDelDialog;
class TMasterPwd_Form;
class WindowOperations;

// The main window, the only window shown without being modal and the owner of everything else. Creating
// it creates the four program-wide objects in their order and reads the settings; its first activation
// runs the start-up steps once; destroying it writes the settings and then destroys the objects in their
// creation order. It shows the directory tree and the two file panes, the tool bar and the status area,
// and through it the program's logic shows messages and status, lets pending events run and asks for
// the master password.
//
// Its parts live in files of their own: TMainWin.cpp (life and settings), MainWinPanes.cpp (panes, drive
// box, directory tree), MainWinStatus.cpp (status area and method buttons), MainWinLayout.cpp (Reresize,
// the progress area, the Tab order, the smallest size and the fit into the screen), MainWinActions.cpp
// (menus, tool bar and the operations they start),
// MainWinShell (the command line, "Open" and "Print", the watch on opened files), MainWinDialogs.cpp
// (Preferences, the tip of the day, the About box and the help); the file operations and password rules
// reach it through MainWinPorts, which drives the controls it is handed.
class TMainWin : public QMainWindow,
                 public MessageBox,
                 public StatusLine,
                 public PendingEvents,
                 public MasterPasswordSource,
                 private FileListsObserver {
    Q_OBJECT

public:
    explicit TMainWin(SettingsStore::Locations settingsLocations = SettingsStore::DefaultLocations(),
                      QWidget* parent = nullptr);
    ~TMainWin() override;

    // MessageBox, StatusLine, PendingEvents, MasterPasswordSource
    MessageAnswer ShowMessage(MessageKind kind, const std::string& text, MessageButtons buttons) override;
    void ShowStatus(const std::string& text) override;
    void LetPendingEventsRun() override;
    void AskMasterPassword() override;

    ProgramObjects& objects() { return *objects_; }
    WindowOperations& operations() { return *operations_; }
    // The command line, "Open" and "Print", the watch on opened files (MainWinShell.cpp).
    MainWinShell& shell() { return *shell_; }
    // The program's own command line (its arguments, the password of VORLAXEN_PASSWORD and the directory
    // it was started in), for the start-up step that works through it.
    void setCommandLine(HandedCommandLine commandLine);
    // The command line of a later start of the program, which found this window: the window comes to the
    // front and runs it as its start-up runs its own, once it is free.
    void HandOver(HandedCommandLine commandLine);
    StartupSequence& startup() { return startup_; }
    FileLists& fileLists() { return *fileLists_; }
    FilePaneView& pane(Pane which) { return which == Pane::Source ? *sourceView_ : *cryptedView_; }
    MainWinDialogs& dialogs() { return *dialogs_; }

    // The status line, with its slide; every text shown passes through `statusSink` when one is set.
    void UpdateStatus(const std::string& message);
    void setStatusSink(std::function<void(const std::string&)> sink) { statusSink_ = std::move(sink); }
    std::string statusText() const;

    // The panes (the operations call these).
    void ReadFLists();
    void UpdateFLists(const std::string& fileName, Direction direction, bool keep);
    void RemoveListEntry(Pane which, const std::string& fileName);
    void SetListViewStyle(ViewStyle style);
    // Brings the panes up to date with what other programs changed in the shown directory.
    void RefreshPanes(const PaneRefresh::Changes& changes);
    PaneWatch& paneWatch() { return *paneWatch_; }
    // The directory the panes show (the process's current directory).
    std::string ShownDirectory() const;
    // Makes a directory the shown one: the tree moves to it and the panes are read again.
    void ShowDirectory(const QString& path);

    // Layout and the progress area.
    // Fits the window into its screen's available area: at its first showing the saved size, centred;
    // once its frame is known, the size and place it has, shrunk and moved inside where needed.
    void FitIntoScreen(bool centre);
    void Reresize();
    void UpdateWidths();
    void RenderGrid2Images();
    void RaiseLists();
    void DropLists();

    // Method selection.
    void SetDES();
    void SetIDEA();
    void SetTripleDES();
    void SetButtonsInStatus();
    void NotifyOfMethodChange();
    void SetPwdExpired();
    void SetStatusBars();

    // Program-wide settings without another home.
    bool OnePerList = false;
    bool ShowCry = false;
    bool ShowTip = false;
    std::int32_t Method = 0;
    std::string HelpFile;

protected:
    bool event(QEvent* e) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Construction, by concern.
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusArea();
    void CreateDirPanel();
    void CreateGrid();
    void CreatePopupMenus();
    void CreateDialogsAndTimers();
    void ConnectOperations();
    void ConnectDialogs();

    // The smallest sizes at which the tree, the panes and the status area can be used; the window's own
    // minimum follows from them.
    void SetMinimumSizes();
    void SetTabOrder();
    // The window has been framed and placed by the window manager: the fit is checked against the
    // real frame, and the start-up steps run.
    void WindowArrived();

    void ReadSettings();
    void WriteSettings();
    ProgramSettings CollectSettings() const;
    void ApplySettings(const ProgramSettings& settings);

    // Panes and directories.
    void PaneFocused(Pane which);
    void ShowActivePaneTitle();
    // The panes are read the first time the tree has the focus, or at start-up in a window that is not
    // active and so gives no widget the focus.
    void ReadPanesFirstTime();
    void DriveChosen(int index);
    void TreeDirectoryChanged();
    void FillDriveBox();
    void ScrollTreeToShownDirectory();
    static bool DriveReady(const QString& root);
    void SetMethod(CipherMethod method);
    void ShowMethodOnButtons();
    void OpenHelp();

    // FileListsObserver: keeps the views in step with the panes.
    PaneModel& modelOf(Pane which);
    void PaneAboutToReset(Pane pane) override;
    void PaneReset(Pane pane) override;
    void EntryAdded(Pane pane, std::size_t index) override;
    void EntryAboutToBeRemoved(Pane pane, std::size_t index) override;
    void EntryRemoved(Pane pane) override;
    void EntryChanged(Pane pane, std::size_t index) override;
    void PaneSorted(Pane pane, const std::vector<std::size_t>& order) override;
    void ShowSortOrder(Pane pane);

    static constexpr std::chrono::milliseconds kEventsInterval{20};
    std::chrono::steady_clock::time_point lastEvents_{};

    SettingsStore store_;
    std::unique_ptr<ProgramObjects> objects_;
    StartupSequence startup_;
    QtFileKinds kinds_;
    std::unique_ptr<FileLists> fileLists_;
    std::function<void(const std::string&)> statusSink_;
    std::unique_ptr<MainWinPorts> ports_;
    std::unique_ptr<WindowOperations> operations_;
    std::unique_ptr<MainWinDialogs> dialogs_;
    std::unique_ptr<MainWinShell> shell_;
    // The panes' models and views (Qt children of the window) and the watch that keeps the panes in step
    // with the shown directory use the members above: they go first, each view before the model it shows,
    // and leave their Qt parents as they go.
    std::unique_ptr<PaneModel> sourceModel_;
    std::unique_ptr<PaneModel> cryptedModel_;
    std::unique_ptr<FilePaneView> sourceView_;
    std::unique_ptr<FilePaneView> cryptedView_;
    std::unique_ptr<PaneWatch> paneWatch_;

    // The dialogs, created once and shown modally when needed.
    PasswordPrompt* encryptPrompt_ = nullptr;
    PasswordPrompt* decryptPrompt_ = nullptr;
    TDelDialog* delDialog_ = nullptr;
    TMasterPwd_Form* masterPwdForm_ = nullptr;

    // Starts the window a moment after its first showing when no activation came.
    QTimer* startupWait_ = nullptr;
    bool shownBefore_ = false;
    bool arrived_ = false;
    // The size the settings ask for; the screen may allow less.
    QSize wantedSize_;

    // The progress timer (50 ms while the engine runs) and the two expiry timers (1 s).
    QTimer* Process_Timer = nullptr;
    QTimer* PwdTimer = nullptr;
    QTimer* MasterPwd_Timer = nullptr;

    // Actions: tool bar buttons and menu items.
    QAction* Encrypt_Button = nullptr;
    QAction* Decrypt_Button = nullptr;
    QAction* MasterPwdExpire_Button = nullptr;
    QAction* PwdExpire_Button = nullptr;
    QAction* StopProcess_Button = nullptr;
    QAction* Help_Button = nullptr;
    QAction* encryptItem_ = nullptr;
    QAction* decryptItem_ = nullptr;
    QAction* optionsItem_ = nullptr;
    QAction* exitItem_ = nullptr;
    QActionGroup* viewStyles_ = nullptr;
    std::array<QAction*, 4> viewItems_{};
    QAction* statusBarsItem_ = nullptr;
    QAction* toolBarItem_ = nullptr;
    QAction* contentsItem_ = nullptr;
    QAction* tipsItem_ = nullptr;
    QAction* aboutItem_ = nullptr;
    QMenu* sourceMenu_ = nullptr;
    QMenu* cryptedMenu_ = nullptr;
    QMenu* treeMenu_ = nullptr;

    QToolBar* ToolBar1 = nullptr;
    CoolBar* Status_CoolBar = nullptr;
    QWidget* StatusBar1 = nullptr;
    QWidget* StatusBar2 = nullptr;
    std::array<StatusPanel*, 3> statusBar1Panels_{};
    std::array<StatusPanel*, 3> statusBar2Panels_{};
    StatusPanel* StatusBar3 = nullptr;
    QWidget* Method_Panel = nullptr;
    MethodButton* DES_Button = nullptr;
    MethodButton* TDES_Button = nullptr;
    MethodButton* IDEA_Button = nullptr;

    QSplitter* Splitter1 = nullptr;
    QWidget* Dir_Panel = nullptr;
    QComboBox* DriveComboBox1 = nullptr;
    QTreeView* User_DirectoryListBox = nullptr;
    DirectoryTreeModel* directories_ = nullptr;
    QTimer* treeScroll_ = nullptr;
    bool treeFollows_ = true; // the tree keeps the shown directory's row in view until the user moves it
    TComboChange* comboChange_ = nullptr;
    QString currentDrive_;

    QWidget* Grid_Panel = nullptr;
    Pane activePane_ = Pane::Source;
    QLabel* sourceTitle_ = nullptr;
    QLabel* cryptedTitle_ = nullptr;
    std::array<QLabel*, 2> sourcePictures_{}; // plain, highlighted
    std::array<QLabel*, 2> cryptedPictures_{};
    QProgressBar* ProgressBar1 = nullptr;
    QProgressBar* ProgressBar2 = nullptr;
};

} // namespace vorlaxen
