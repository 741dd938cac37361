#pragma once

#include <string>
#include <vector>

namespace vorlaxen {

// The crypt box: the names that the running operation is to process (in display form, without
// directory, in processing order, neither sorted nor deduplicated) and the directory they belong to.
class TKX_DirCryptor {
public:
    std::vector<std::string> WorkList;
    std::string WorkDirectory;

    // Takes the captions of a pane's selected entries, in display order, as the work list and the
    // directory the panes show as the work directory.
    void ReadSelection(std::vector<std::string> selectedCaptions, std::string shownDirectory);
};

} // namespace vorlaxen
