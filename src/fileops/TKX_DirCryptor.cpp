#include "fileops/TKX_DirCryptor.h"

namespace vorlaxen {

void TKX_DirCryptor::ReadSelection(std::vector<std::string> selectedFiles, std::string shownDirectory) {
    WorkList = std::move(selectedFiles);
    WorkDirectory = std::move(shownDirectory);
}

} // namespace vorlaxen
