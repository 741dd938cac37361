#pragma once

#include "desktop/FileLists.h"
#include "desktop/FilePane.h"
#include "desktop/WindowOperations.h"
#include "engine/ContainerName.h"
#include "fileops/DirectoryListing.h"
#include "fileops/MakePath.h"
#include "passwords/PasswordFakes.h"
#include "support/FakeHost.h"
#include "support/TempDir.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

namespace vorlaxen::test {

// The panes and the tree over a real directory: showing a directory makes it current and reads its
// files, as the window does. The entries are a real FileLists, filled from the real listing
// (ListDirectoryFiles), so that adding, moving, sorting and removing entries follow the window's own
// rules; the fake adds only what the views hold: which entries are selected.
class FakePanes : public PaneView {
public:
    FakePanes(const FakeSettings& settings, TKX_PrgState& state, const TKX_Pwd& pwd)
        : lists_(kinds_, state, pwd, settings.showCry) {}

    std::vector<std::string> SelectedFiles(Pane pane) const override {
        std::vector<std::string> files;
        for (const PaneEntry& entry : lists_.pane(pane).entries())
            if (selected(pane).count(entry.fileName))
                files.push_back(entry.fileName);
        return files;
    }
    void SelectAll(Pane pane) override {
        for (const PaneEntry& entry : lists_.pane(pane).entries())
            selected(pane).insert(entry.fileName);
    }
    void ClearSelection(Pane pane) override { selected(pane).clear(); }
    void UpdateFLists(const std::string& fileName, Direction direction, bool keep) override {
        lists_.UpdateFLists(fileName, direction, keep);
        if (!keep) // a view's removed row takes its selection with it
            selected(direction == Direction::Encrypt ? Pane::Source : Pane::Crypted).erase(fileName);
    }
    void RemoveListEntry(Pane pane, const std::string& fileName) override {
        lists_.RemoveListEntry(pane, fileName);
        selected(pane).erase(fileName);
    }
    void ReadFLists() override {
        ++reads;
        ClearSelection(Pane::Source);
        ClearSelection(Pane::Crypted);
        lists_.ReadFLists(ListDirectoryFiles("."));
    }
    std::string ShownDirectory() const override { return shown; }
    std::string HighlightedDirectory() const override { return highlighted.empty() ? shown : highlighted; }
    bool ShowDirectory(const std::string& directory) override {
        if (::chdir(directory.c_str()) != 0)
            return false;
        shown = std::filesystem::current_path().string();
        visited.push_back(shown);
        ReadFLists();
        return true;
    }
    void EnableDirectoryTree(bool on) override { treeEnabled = on; }

    // Selects the entries with these captions and no others.
    void Select(Pane pane, const std::vector<std::string>& captions) {
        ClearSelection(pane);
        for (const PaneEntry& entry : lists_.pane(pane).entries())
            if (std::find(captions.begin(), captions.end(), entry.caption) != captions.end())
                selected(pane).insert(entry.fileName);
    }
    // The captions of a pane, sorted byte by byte, to be compared as a set.
    std::vector<std::string> Captions(Pane pane) const {
        std::vector<std::string> captions;
        for (const PaneEntry& entry : lists_.pane(pane).entries())
            captions.push_back(entry.caption);
        std::sort(captions.begin(), captions.end());
        return captions;
    }
    // The entries match what the shown directory holds.
    void ExpectMatchesDisk() {
        auto source_ = Captions(Pane::Source);
        auto crypted_ = Captions(Pane::Crypted);
        ReadFLists();
        EXPECT_EQ(source_, Captions(Pane::Source)) << "Available for encryption";
        EXPECT_EQ(crypted_, Captions(Pane::Crypted)) << "Crypted files";
    }

    // The regular files of a directory (links followed), sorted: what a test expects to find on disk.
    static std::vector<std::string> FilesOf(const std::string& directory) {
        std::vector<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(directory))
            if (item.is_regular_file())
                names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string shown;
    std::string highlighted;
    std::vector<std::string> visited;
    bool treeEnabled = true;
    int reads = 0;

private:
    // No icons and no type names: the tests read neither.
    struct NoKinds : FileKindSource {
        int GetImageIndex(const std::string&) override { return 0; }
        std::string TypeName(const std::string&) override { return {}; }
    };

    std::set<std::string>& selected(Pane pane) { return selected_[pane == Pane::Source ? 0 : 1]; }
    const std::set<std::string>& selected(Pane pane) const { return selected_[pane == Pane::Source ? 0 : 1]; }

    NoKinds kinds_;
    FileLists lists_;
    std::array<std::set<std::string>, 2> selected_;
};

class FakeProgress : public ProgressArea {
public:
    void RaiseLists() override {
        ++raised;
        shownBars = true;
        bars = {0, 0};
    }
    void DropLists() override {
        ++dropped;
        shownBars = false;
    }
    void SetProgressBars(int sourceBar, int cryptedBar) override { bars = {sourceBar, cryptedBar}; }
    void StartProcessTimer(int intervalMilliseconds) override {
        timerRunning = true;
        interval = intervalMilliseconds;
    }
    void StopProcessTimer() override { timerRunning = false; }
    void ShowStatistics(const ProgressStatistics& shown) override { statistics = shown; }
    void EnableStopButton(bool on) override { stopButton = on; }

    int raised = 0;
    int dropped = 0;
    bool shownBars = false;
    std::pair<int, int> bars{-1, -1};
    bool timerRunning = false;
    int interval = 0;
    ProgressStatistics statistics;
    bool stopButton = false;
};

class FakeDelDialog : public DelDialog {
public:
    DelAnswer ShowDelDialog(const std::string& question) override {
        questions.push_back(question);
        if (answers.empty())
            return DelAnswer::Cancel;
        DelAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<DelAnswer> answers;
    std::vector<std::string> questions;
};

// The window logic over fakes of every port, working in a fresh directory that the panes show. The key
// file lives in a directory of its own, so that it never shows in the panes.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() {
        saved_ = std::filesystem::current_path();
        host.onAskMasterPassword = [this] { ops.master().AskMasterPassword(); };
        objects.pwdTable().MasterPass.KeyFilePath = keyDir / "xwords.001";
        panes.ShowDirectory(root.path());
        home = panes.shown;
    }
    ~WindowTest() override { std::filesystem::current_path(saved_); }

    std::string path(const std::string& name) const { return MakePath(home, name); }
    void write(const std::string& name, const std::string& text) { WriteFile(path(name), text); }
    std::string read(const std::string& name) const {
        auto bytes = ReadFile(path(name));
        return std::string(bytes.begin(), bytes.end());
    }
    std::vector<std::string> names() const { return FakePanes::FilesOf(home); }
    // Re-reads the panes, as after a directory change, and selects `captions` in one of them.
    void select(Pane pane, const std::vector<std::string>& captions) {
        panes.ReadFLists();
        panes.Select(pane, captions);
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const auto& message : host.messages)
            texts.push_back(message.text);
        return texts;
    }
    // Whether the container decrypts with `password`, checked without writing anything.
    static bool OpensWith(const std::string& container, const std::string& password) {
        TKX_Pwd probe;
        probe.SetPassword(password);
        return probe.VerifyFile(container) == ResultCode::Ok;
    }
    TKX_Pwd& pwd() { return objects.pwd(); }
    TKX_PrgState& state() { return objects.prgState(); }
    TKX_MasterPass& masterPass() { return objects.pwdTable().MasterPass; }
    BatchProcessing& batch() { return ops.batch(); }
    FileOperations& files() { return ops.files(); }

    TempDir root;
    TempDir keyDir;
    std::string home;
    FakeHost host;
    FakeSettings settings;
    FakeExpiry expiry;
    FakePromptDialogs prompts;
    FakeMasterDialog masterDialog;
    ProgramObjects objects{host, host, host};
    FakePanes panes{settings, objects.prgState(), objects.pwd()};
    FakeProgress progress;
    FakeDelDialog delDialog;
    WindowPorts ports{host, host, host, settings, panes, progress, expiry, prompts, masterDialog, delDialog};
    WindowOperations ops{objects, ports};

private:
    std::filesystem::path saved_;
};

} // namespace vorlaxen::test
