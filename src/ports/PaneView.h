#pragma once

#include "ports/Direction.h"
#include "ports/Pane.h"

#include <string>
#include <vector>

namespace vorlaxen {

// The panes and the directory tree (`User_DirectoryListBox` with `DriveComboBox1`) as the operations see
// them. What the panes hand over are file names; what the operations tell them back are captions, names in
// display form, which the panes match. The window implements it; the tests implement it with a fake over
// a real directory.
class PaneView {
public:
    virtual ~PaneView() = default;

    // The file names (on disk, in the shown directory) of the pane's selected entries, in display order.
    virtual std::vector<std::string> SelectedFiles(Pane pane) const = 0;
    virtual void SelectAll(Pane pane) = 0;
    virtual void ClearSelection(Pane pane) = 0;

    // After one file: adds the target's entry to the other pane (Encrypt: the container's to "Crypted
    // files"; Decrypt: the plain file's to "Available for encryption") and sorts it, and unless `keep`
    // removes the entry `name` from the pane it came from.
    virtual void UpdateFLists(const std::string& name, Direction direction, bool keep) = 0;
    // Removes the first entry whose caption is exactly `caption` (CaptionNames); none: nothing.
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

} // namespace vorlaxen
