#pragma once

#include "ports/WindowPorts.h"

namespace vorlaxen {

class TMainWin;

// The main window as the file operations and the password logic see it: its panes and tree, its
// progress area and timers, its dialogs and its settings, each behind the small interface the logic
// asks for.
class MainWinPorts : public WindowSettings,
                     public PaneView,
                     public ProgressArea,
                     public ExpiryControls,
                     public PromptDialogs,
                     public MasterPwdDialog,
                     public DelDialog {
public:
    explicit MainWinPorts(TMainWin& window)
        : window_(window) {}

    WindowPorts ports();

    // WindowSettings
    bool OnePerListOn() const override;
    bool ShowCryOn() const override;
    std::int32_t DefaultMethod() const override;

    // PaneView
    std::vector<std::string> SelectedCaptions(Pane pane) const override;
    void SelectAll(Pane pane) override;
    void ClearSelection(Pane pane) override;
    void UpdateFLists(const std::string& name, Direction direction, bool keep) override;
    void RemoveListEntry(Pane pane, const std::string& caption) override;
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
};

} // namespace vorlaxen
