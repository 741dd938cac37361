#pragma once

#include "ports/Direction.h"
#include "ports/Pane.h"

#include <string>
#include <vector>

namespace vorlaxen {

// The panes and the directory tree (`User_DirectoryListBox` with `DriveComboBox1`) as the operations see
// them. Entries are named by their file names both ways; captions, names in display form, are the panes'
// own. The window implements it; the tests implement it with a fake over
// a real directory.
class PaneView {
public:
    virtual ~PaneView() = default;

    // The file names (on disk, in the shown directory) of the pane's selected entries, in display order.
    virtual std::vector<std::string> SelectedFiles(Pane pane) const = 0;
    virtual void SelectAll(Pane pane) = 0;
    virtual void ClearSelection(Pane pane) = 0;

    // After the file `fileName` was done: adds the entry of the file written to the other pane (Encrypt:
    // the container's to "Crypted files"; Decrypt: the plain file's to "Available for encryption") and
    // sorts it, and unless `keep` removes the entry of `fileName` from the pane it came from.
    virtual void UpdateFLists(const std::string& fileName, Direction direction, bool keep) = 0;
    // Removes the entry of the file `fileName`; none: nothing.
    virtual void RemoveListEntry(Pane pane, const std::string& fileName) = 0;
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
