#pragma once

#include <string>
#include <vector>

namespace vorlaxen {

// The crypt box: the files that the running operation is to process (their names on disk, without
// directory, in processing order, neither sorted nor deduplicated) and the directory they belong to.
class TKX_DirCryptor {
public:
    std::vector<std::string> WorkList;
    std::string WorkDirectory;

    // Takes the files of a pane's selected entries, in display order, as the work list and the
    // directory the panes show as the work directory.
    void ReadSelection(std::vector<std::string> selectedFiles, std::string shownDirectory);
};

} // namespace vorlaxen
