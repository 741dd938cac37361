#pragma once

#include "desktop/FilePane.h"
#include "desktop/TKX_PrgState.h"
#include "engine/TKX_Pwd.h"
#include "ports/Direction.h"
#include "ports/FileKindSource.h"
#include "ports/FileListsObserver.h"
#include "ports/Pane.h"

#include <string>
#include <vector>

namespace vorlaxen {

// The two panes: "Available for encryption" lists the files of the shown directory that are not
// containers, "Crypted files" the containers (extension ".cry", letter case ignored), under their
// plain names unless "ShowCry" is on. Entries are named by their file names, relative to the process's
// current directory, which is the shown directory; captions are made from them for display only.
class FileLists {
public:
    FileLists(FileKindSource& kinds, TKX_PrgState& state, const TKX_Pwd& pwd, const bool& showCry);

    void setObserver(FileListsObserver* observer) { observer_ = observer; }
    const FilePane& pane(Pane which) const { return which == Pane::Source ? source_ : crypted_; }
    SortState& sort() { return sort_; }

    // Empties both panes and fills them from the file names of the shown directory, in their order,
    // then sorts each once.
    void ReadFLists(const std::vector<std::string>& names);
    // Appends the entry of the file `fileName` with its icon and details, unless a whole-directory run
    // with one password for the list or the session is going on: then with its caption alone.
    void AddListEntry(Pane which, const std::string& fileName);
    // Reads the details of the entry at `index`; a file that cannot be opened or examined gets none.
    void GetFileInfo(Pane which, std::size_t index);
    // Deletes the entry of the file `fileName`, if it has one.
    void RemoveListEntry(Pane which, const std::string& fileName);
    // After the file `fileName` was encrypted (a plain file) or decrypted (a container): adds the entry
    // of the file written in sorted position and, unless `keep`, removes the source's entry. A target already listed
    // (the panes followed the directory meanwhile) keeps its one entry, with its details read again.
    void UpdateFLists(const std::string& fileName, Direction direction, bool keep);
    // Brings both panes in step with the file names the shown directory holds now, without emptying
    // them, so that selections stay: entries whose file is gone go, files without an entry get one in
    // sorted position, and the entries of the `changed` names (of all, with `everything`) have their
    // details read again. Returns whether any entry came or went.
    bool Refresh(const std::vector<std::string>& names, const std::vector<std::string>& changed, bool everything);
    // A click on a column header: ignored while entries lack details; otherwise the column becomes the
    // sort column, the direction flips, and the clicked pane is sorted.
    void ColumnClick(Pane which, PaneColumn column);
    void SortPane(Pane which);

private:
    // An entry with its icon and details, or with its caption alone during a whole-directory run with one
    // password for the list or the session; keeps the full-details flag.
    PaneEntry NewEntry(Pane which, const std::string& fileName);
    FilePane& mutablePane(Pane which) { return which == Pane::Source ? source_ : crypted_; }

    FileKindSource& kinds_;
    TKX_PrgState& state_;
    const TKX_Pwd& pwd_;
    const bool& showCry_;
    FileListsObserver* observer_ = nullptr;
    FilePane source_;
    FilePane crypted_;
    SortState sort_;
};

// The details of one file as the panes show them: `rightPane` takes the method from the container's
// fourth byte instead of asking for the type name. False when the file cannot be opened or examined.
bool ReadFileDetails(const std::string& path, bool rightPane, FileKindSource& kinds, PaneEntry& entry);

// Permission bits as ls shows them: "rw-r--r--".
std::string PermissionText(unsigned mode);

} // namespace vorlaxen
