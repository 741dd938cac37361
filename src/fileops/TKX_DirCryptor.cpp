#include "fileops/TKX_DirCryptor.h"

namespace vorlaxen {

void TKX_DirCryptor::ReadSelection(std::vector<std::string> selectedCaptions, std::string shownDirectory) {
    WorkList = std::move(selectedCaptions);
    WorkDirectory = std::move(shownDirectory);
}

} // namespace vorlaxen
