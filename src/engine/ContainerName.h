#pragma once

#include <string>
#include <string_view>

namespace vorlaxen {

// The ".cry" naming rule, the one place that knows it: the engine names its outputs by it, the panes
// list and caption containers by it, and so do the tests' fakes. A container is its plain file's full name with ".cry"
// appended; decryption writes the container's name without its last four characters, whatever they are. A name is a
// container's when it ends in ".cry", letter case ignored (B.CRY is one).
//
// The "Crypted files" pane shows a container under its plain name, or, with the setting "ShowCry", under
// its own name; the captions below follow that setting.
inline constexpr std::string_view kContainerExtension = ".cry";

std::string ContainerPathOf(const std::string& plainPath);
std::string PlainPathOf(const std::string& containerPath);
// Whether a file name ends in ".cry", letter case ignored.
bool HasContainerExtension(const std::string& name) noexcept;

// The caption of the container `containerName` in "Crypted files".
std::string CryptedCaptionOf(const std::string& containerName, bool showCry);

} // namespace vorlaxen
