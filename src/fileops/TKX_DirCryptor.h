#pragma once

#include <string>
#include <vector>

namespace vorlaxen {

// What an operation needs of a file pane: the captions of its selected entries in display order.
class PaneSelection {
public:
    virtual ~PaneSelection() = default;
    virtual std::vector<std::string> SelectedCaptions() const = 0;
};

// The crypt box: the names that the running operation is to process (in display form, without
// directory, in processing order, neither sorted nor deduplicated) and the directory they belong to.
class TKX_DirCryptor {
public:
    std::vector<std::string> WorkList;
    std::string WorkDirectory;

    // Takes the selection of a pane as the work list and the process's current directory, which the
    // directory tree keeps equal to the directory the panes show, as the work directory.
    void ReadSelection(const PaneSelection& pane);
};

} // namespace vorlaxen
