#include "ui/MainWinPorts.h"

#include "ui/DirectoryTreeModel.h"
#include "ui/PasswordDialog.h"
#include "ui/StatusPanel.h"
#include "ui/TDelDialog.h"
#include "ui/TMainWin.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QProgressBar>
#include <QTimer>
#include <QTreeView>
#include <unistd.h>

namespace vorlaxen {

WindowPorts MainWinPorts::Ports() {
    return WindowPorts{window_, window_, window_, *this, *this, *this, *this, *this, *this, *this};
}

bool MainWinPorts::OnePerListOn() const {
    return window_.OnePerList;
}

bool MainWinPorts::ShowCryOn() const {
    return window_.ShowCry;
}

std::int32_t MainWinPorts::DefaultMethod() const {
    return window_.Method;
}

std::vector<std::string> MainWinPorts::SelectedFiles(Pane pane) const {
    return window_.pane(pane).SelectedFiles();
}

void MainWinPorts::SelectAll(Pane pane) {
    window_.pane(pane).detailsView()->selectAll();
}

void MainWinPorts::ClearSelection(Pane pane) {
    window_.pane(pane).ClearSelection();
}

void MainWinPorts::UpdateFLists(const std::string& fileName, Direction direction, bool keep) {
    window_.UpdateFLists(fileName, direction, keep);
}

void MainWinPorts::RemoveListEntry(Pane pane, const std::string& fileName) {
    window_.RemoveListEntry(pane, fileName);
}

void MainWinPorts::ReadFLists() {
    window_.ReadFLists();
}

std::string MainWinPorts::ShownDirectory() const {
    return window_.ShownDirectory();
}

std::string MainWinPorts::HighlightedDirectory() const {
    const QString path = controls_.directories.filePath(controls_.directoryTree.currentIndex());
    return QFile::encodeName(path).toStdString();
}

bool MainWinPorts::ShowDirectory(const std::string& directory) {
    if (::access(directory.c_str(), X_OK) != 0)
        return false;
    window_.ShowDirectory(QFile::decodeName(QByteArray::fromStdString(directory)));
    return ShownDirectory() == directory || ::chdir(directory.c_str()) == 0;
}

void MainWinPorts::EnableDirectoryTree(bool on) {
    controls_.directoryTree.setEnabled(on);
    controls_.driveBox.setEnabled(on);
}

void MainWinPorts::RaiseLists() {
    window_.RaiseLists();
}

void MainWinPorts::DropLists() {
    window_.DropLists();
}

void MainWinPorts::SetProgressBars(int sourceBar, int cryptedBar) {
    controls_.sourceBar.setValue(sourceBar);
    controls_.cryptedBar.setValue(cryptedBar);
}

void MainWinPorts::StartProcessTimer(int intervalMilliseconds) {
    controls_.processTimer.start(intervalMilliseconds);
}

void MainWinPorts::StopProcessTimer() {
    controls_.processTimer.stop();
}

void MainWinPorts::ShowStatistics(const ProgressStatistics& s) {
    const std::array<const std::string*, 3> bar1 = {&s.estimated, &s.done, &s.size};
    const std::array<const std::string*, 3> bar2 = {&s.elapsed, &s.remaining, &s.throughput};
    for (std::size_t i = 0; i < 3; ++i) {
        controls_.statusBar1Panels[i]->setText(QString::fromStdString(*bar1[i]));
        controls_.statusBar2Panels[i]->setText(QString::fromStdString(*bar2[i]));
    }
}

void MainWinPorts::EnableStopButton(bool on) {
    controls_.stopButton.setEnabled(on);
}

void MainWinPorts::EnablePwdTimer(bool on) {
    if (on)
        controls_.pwdTimer.start();
    else
        controls_.pwdTimer.stop();
}

void MainWinPorts::EnablePwdExpireButton(bool on) {
    controls_.pwdExpireButton.setEnabled(on);
}

void MainWinPorts::EnableMasterPwdTimer(bool on) {
    if (on)
        controls_.masterPwdTimer.start();
    else
        controls_.masterPwdTimer.stop();
}

void MainWinPorts::EnableMasterPwdExpireButton(bool on) {
    controls_.masterPwdExpireButton.setEnabled(on);
}

PromptAnswer MainWinPorts::ShowEncryptPrompt(const PromptSetup& setup, const SubmitCheck& submit) {
    return controls_.encryptPrompt.Ask(setup, submit);
}

PromptAnswer MainWinPorts::ShowDecryptPrompt(const PromptSetup& setup, const SubmitCheck& submit) {
    return controls_.decryptPrompt.Ask(setup, submit);
}

DialogResult MainWinPorts::ShowMasterPwdForm(const SubmitCheck& submit, const std::function<void()>& notUseAtAll) {
    return controls_.masterPwdForm.Ask(submit, notUseAtAll);
}

DelAnswer MainWinPorts::ShowDelDialog(const std::string& question) {
    return controls_.delDialog.Ask(question);
}

} // namespace vorlaxen
