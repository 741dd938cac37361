#pragma once

#include "ports/WindowPorts.h"

#include <array>

class QAction;
class QComboBox;
class QProgressBar;
class QTimer;
class QTreeView;

namespace vorlaxen {

class DirectoryTreeModel;
class PasswordPrompt;
class StatusPanel;
class TDelDialog;
class TMainWin;
class TMasterPwd_Form;

// The parts of the main window that the ports drive, handed over by the window, which owns them.
struct MainWinControls {
    QTreeView& directoryTree; // User_DirectoryListBox
    DirectoryTreeModel& directories;
    QComboBox& driveBox;      // DriveComboBox1
    QProgressBar& sourceBar;  // ProgressBar1
    QProgressBar& cryptedBar; // ProgressBar2
    const std::array<StatusPanel*, 3>& statusBar1Panels;
    const std::array<StatusPanel*, 3>& statusBar2Panels;
    QAction& stopButton;            // StopProcess_Button
    QAction& pwdExpireButton;       // PwdExpire_Button
    QAction& masterPwdExpireButton; // MasterPwdExpire_Button
    QTimer& processTimer;           // Process_Timer
    QTimer& pwdTimer;               // PwdTimer
    QTimer& masterPwdTimer;         // MasterPwd_Timer
    PasswordPrompt& encryptPrompt;
    PasswordPrompt& decryptPrompt;
    TMasterPwd_Form& masterPwdForm;
    TDelDialog& delDialog;
};

// The main window as the file operations and the password logic see it: its panes and tree, its
// progress area and timers, its dialogs and its settings, each behind the small interface the logic
// asks for. It reaches the window through its public functions and drives the controls it is given.
class MainWinPorts : public WindowSettings,
                     public PaneView,
                     public ProgressArea,
                     public ExpiryControls,
                     public PromptDialogs,
                     public MasterPwdDialog,
                     public DelDialog {
public:
    MainWinPorts(TMainWin& window, const MainWinControls& controls)
        : window_(window)
        , controls_(controls) {}

    WindowPorts Ports();

    // WindowSettings
    bool OnePerListOn() const override;
    bool ShowCryOn() const override;
    std::int32_t DefaultMethod() const override;

    // PaneView
    std::vector<std::string> SelectedFiles(Pane pane) const override;
    void SelectAll(Pane pane) override;
    void ClearSelection(Pane pane) override;
    void UpdateFLists(const std::string& fileName, Direction direction, bool keep) override;
    void RemoveListEntry(Pane pane, const std::string& fileName) override;
    void ReadFLists() override;
    std::string ShownDirectory() const override;
    std::string HighlightedDirectory() const override;
    bool ShowDirectory(const std::string& directory) override;
    void EnableDirectoryTree(bool on) override;

    // ProgressArea
    void RaiseLists() override;
    void DropLists() override;
    void SetProgressBars(int sourceBar, int cryptedBar) override;
    void StartProcessTimer(int intervalMilliseconds) override;
    void StopProcessTimer() override;
    void ShowStatistics(const ProgressStatistics& statistics) override;
    void EnableStopButton(bool on) override;

    // ExpiryControls
    void EnablePwdTimer(bool on) override;
    void EnablePwdExpireButton(bool on) override;
    void EnableMasterPwdTimer(bool on) override;
    void EnableMasterPwdExpireButton(bool on) override;

    // PromptDialogs, MasterPwdDialog, DelDialog
    PromptAnswer ShowEncryptPrompt(const PromptSetup& setup, const SubmitCheck& submit) override;
    PromptAnswer ShowDecryptPrompt(const PromptSetup& setup, const SubmitCheck& submit) override;
    DialogResult ShowMasterPwdForm(const SubmitCheck& submit, const std::function<void()>& notUseAtAll) override;
    DelAnswer ShowDelDialog(const std::string& question) override;

private:
    TMainWin& window_;
    MainWinControls controls_;
};

} // namespace vorlaxen
