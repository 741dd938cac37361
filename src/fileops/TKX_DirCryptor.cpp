#include "fileops/TKX_DirCryptor.h"

#include <filesystem>

namespace vorlaxen {

void TKX_DirCryptor::ReadSelection(std::vector<std::string> selectedCaptions) {
    WorkList = std::move(selectedCaptions);
    std::error_code error;
    WorkDirectory = std::filesystem::current_path(error).string();
}

} // namespace vorlaxen
