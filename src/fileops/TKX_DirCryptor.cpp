#include "fileops/TKX_DirCryptor.h"

#include <filesystem>

namespace vorlaxen {

void TKX_DirCryptor::ReadSelection(const PaneSelection& pane) {
    WorkList = pane.SelectedCaptions();
    std::error_code error;
    WorkDirectory = std::filesystem::current_path(error).string();
}

} // namespace vorlaxen
