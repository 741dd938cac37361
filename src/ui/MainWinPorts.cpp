#include "ui/MainWinPorts.h"

#include "ui/PasswordDialog.h"
#include "ui/TDelDialog.h"
#include "ui/TMainWin.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QTreeView>
#include <climits>
#include <unistd.h>

namespace vorlaxen {

WindowPorts MainWinPorts::ports() {
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

std::vector<std::string> MainWinPorts::SelectedCaptions(Pane pane) const {
    return window_.pane(pane).SelectedCaptions();
}

void MainWinPorts::SelectAll(Pane pane) {
    window_.pane(pane).detailsView()->selectAll();
}

void MainWinPorts::ClearSelection(Pane pane) {
    window_.pane(pane).clearSelection();
}

void MainWinPorts::UpdateFLists(const std::string& name, Direction direction, bool keep) {
    window_.UpdateFLists(name, static_cast<int>(direction), keep);
}

void MainWinPorts::RemoveListEntry(Pane pane, const std::string& caption) {
    window_.RemoveListEntry(pane, caption);
}

void MainWinPorts::ReadFLists() {
    window_.ReadFLists();
}

std::string MainWinPorts::ShownDirectory() const {
    char path[PATH_MAX];
    return ::getcwd(path, sizeof path) ? std::string(path) : std::string();
}

std::string MainWinPorts::HighlightedDirectory() const {
    const QString path = window_.directories_->filePath(window_.User_DirectoryListBox->currentIndex());
    return QFile::encodeName(path).toStdString();
}

bool MainWinPorts::ShowDirectory(const std::string& directory) {
    if (::access(directory.c_str(), X_OK) != 0)
        return false;
    window_.showDirectory(QFile::decodeName(QByteArray::fromStdString(directory)));
    return ShownDirectory() == directory || ::chdir(directory.c_str()) == 0;
}

void MainWinPorts::EnableDirectoryTree(bool on) {
    window_.User_DirectoryListBox->setEnabled(on);
    window_.DriveComboBox1->setEnabled(on);
}

void MainWinPorts::RaiseLists() {
    window_.RaiseLists();
}

void MainWinPorts::DropLists() {
    window_.DropLists();
}

void MainWinPorts::SetProgressBars(int sourceBar, int cryptedBar) {
    window_.ProgressBar1->setValue(sourceBar);
    window_.ProgressBar2->setValue(cryptedBar);
}

void MainWinPorts::StartProcessTimer(int intervalMilliseconds) {
    window_.Process_Timer->start(intervalMilliseconds);
}

void MainWinPorts::StopProcessTimer() {
    window_.Process_Timer->stop();
}

void MainWinPorts::ShowStatistics(const ProgressStatistics& s) {
    const std::array<const std::string*, 3> bar1 = {&s.estimated, &s.done, &s.size};
    const std::array<const std::string*, 3> bar2 = {&s.elapsed, &s.remaining, &s.throughput};
    for (std::size_t i = 0; i < 3; ++i) {
        window_.statusBar1Panels_[i]->setText(QString::fromStdString(*bar1[i]));
        window_.statusBar2Panels_[i]->setText(QString::fromStdString(*bar2[i]));
    }
}

void MainWinPorts::EnableStopButton(bool on) {
    window_.StopProcess_Button->setEnabled(on);
}

void MainWinPorts::EnablePwdTimer(bool on) {
    if (on)
        window_.PwdTimer->start();
    else
        window_.PwdTimer->stop();
}

void MainWinPorts::EnablePwdExpireButton(bool on) {
    window_.PwdExpire_Button->setEnabled(on);
}

void MainWinPorts::EnableMasterPwdTimer(bool on) {
    if (on)
        window_.MasterPwd_Timer->start();
    else
        window_.MasterPwd_Timer->stop();
}

void MainWinPorts::EnableMasterPwdExpireButton(bool on) {
    window_.MasterPwdExpire_Button->setEnabled(on);
}

PromptAnswer MainWinPorts::ShowEncryptPrompt(const PromptSetup& setup, const SubmitCheck& submit) {
    return window_.encryptPrompt_->ask(setup, submit);
}

PromptAnswer MainWinPorts::ShowDecryptPrompt(const PromptSetup& setup, const SubmitCheck& submit) {
    return window_.decryptPrompt_->ask(setup, submit);
}

DialogResult MainWinPorts::ShowMasterPwdForm(const SubmitCheck& submit, const std::function<void()>& notUseAtAll) {
    return window_.masterPwdForm_->ask(submit, notUseAtAll);
}

DelAnswer MainWinPorts::ShowDelDialog(const std::string& question) {
    return window_.delDialog_->ask(question);
}

} // namespace vorlaxen
