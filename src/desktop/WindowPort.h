#pragma once

#include "desktop/FileLists.h"
#include "fileops/TKX_DirCryptor.h"
#include "passwords/PasswordPorts.h"
#include "platform/Host.h"

#include <string>
#include <vector>

namespace vorlaxen {

// What the file operations need from the main window beyond the host and the password dialogs: the
// two panes with the directory tree, the progress area with the stop button, and the delete dialog.
// The window implements these; the tests implement them with fakes over a real directory.

// The panes and the directory tree (`User_DirectoryListBox` with `DriveComboBox1`). The panes are
// `Source_ListView` ("Available for encryption") and `Crypted_ListView` ("Crypted files"); captions are
// names in display form.
class PaneView {
public:
    virtual ~PaneView() = default;

    // Captions of the pane's selected entries, in display order.
    virtual std::vector<std::string> SelectedCaptions(Pane pane) const = 0;
    virtual void SelectAll(Pane pane) = 0;
    virtual void ClearSelection(Pane pane) = 0;

    // After one file: adds the target's entry to the other pane (Encrypt: the container's to "Crypted
    // files"; Decrypt: the plain file's to "Available for encryption") and sorts it, and unless `keep`
    // removes the entry `name` from the pane it came from.
    virtual void UpdateFLists(const std::string& name, Direction direction, bool keep) = 0;
    // Removes the first entry whose caption equals `caption`, letter case ignored; none: nothing.
    virtual void RemoveListEntry(Pane pane, const std::string& caption) = 0;
    // Reads the shown directory's files again and fills both panes from them.
    virtual void ReadFLists() = 0;

    // The directory the panes show, in the form the process's current directory has (getcwd): the
    // operations compare it with their work directory as strings.
    virtual std::string ShownDirectory() const = 0;
    // The directory of the entry highlighted in the tree, which may differ from the shown one.
    virtual std::string HighlightedDirectory() const = 0;
    // Makes `directory` the shown one: the process's current directory, the tree's choice and both panes
    // re-read. False, with nothing changed, when it cannot be entered.
    virtual bool ShowDirectory(const std::string& directory) = 0;
    // Enables or disables the directory tree and the drive box together.
    virtual void EnableDirectoryTree(bool on) = 0;
};

// One pane's selection as the crypt box reads it.
class PaneSelectionOf : public PaneSelection {
public:
    PaneSelectionOf(const PaneView& panes, Pane pane)
        : panes_(panes)
        , pane_(pane) {}
    std::vector<std::string> SelectedCaptions() const override { return panes_.SelectedCaptions(pane_); }

private:
    const PaneView& panes_;
    Pane pane_;
};

// The statistics of the file being processed, as the progress timer writes them.
struct ProgressStatistics {
    std::string estimated;  // StatusBar1 panel 0
    std::string done;       // StatusBar1 panel 1
    std::string size;       // StatusBar1 panel 2
    std::string elapsed;    // StatusBar2 panel 0
    std::string remaining;  // StatusBar2 panel 1
    std::string throughput; // StatusBar2 panel 2
};

// The progress area under the panes (`ProgressBar1` under the source pane, `ProgressBar2` under the
// crypted pane, range 0 to 100), the progress timer `Process_Timer`, the two statistics bars and the
// stop button `StopProcess_Button`.
class ProgressArea {
public:
    virtual ~ProgressArea() = default;

    // RaiseLists: both panes 16 pixels shorter, both bars at 0 and shown. DropLists: the panes 16 pixels
    // taller again, both bars hidden.
    virtual void RaiseLists() = 0;
    virtual void DropLists() = 0;
    virtual void SetProgressBars(int sourceBar, int cryptedBar) = 0;

    // Starts or stops the progress timer; each tick calls Process_TimerTimer of the logic.
    virtual void StartProcessTimer(int intervalMilliseconds) = 0;
    virtual void StopProcessTimer() = 0;
    virtual void ShowStatistics(const ProgressStatistics& statistics) = 0;

    // Its clicks call Button1Click of the logic.
    virtual void EnableStopButton(bool on) = 0;
};

// The answers of `TDelDialog` ("Please confirm this action").
enum class DelAnswer {
    Delete,    // "&Delete" (default button)
    DeleteAll, // "Delete &All"
    Cancel,    // "&Cancel" (Escape)
    CancelAll, // "Ca&ncel All"
};

// `TDelDialog`: "Are you sure to delete the file" above FName_Label in bold.
class DelDialog {
public:
    virtual ~DelDialog() = default;
    // `question` is the file's full path followed by "?", for FName_Label.
    virtual DelAnswer ShowDelDialog(const std::string& question) = 0;
};

// Every port the window logic reaches, handed over together.
struct WindowPorts {
    Host& host;
    const WindowSettings& settings;
    PaneView& panes;
    ProgressArea& progress;
    ExpiryControls& expiry;
    PromptDialogs& prompts;
    MasterPwdDialog& masterDialog;
    DelDialog& delDialog;
};

} // namespace vorlaxen
