#pragma once

#include <string>
#include <string_view>

namespace vorlaxen {

// The ".cry" naming rule, the one place that knows it: the engine names its outputs by it, the panes
// list and caption containers by it, the operations find a caption's files by it, and so do the tests'
// fakes. A container is its plain file's full name with ".cry" appended; decryption writes the
// container's name without its last four characters, whatever they are. A name is a container's when it
// ends in ".cry", letter case ignored (B.CRY is one).
//
// The "Crypted files" pane shows a container under its plain name, or, with the setting "ShowCry", under
// its own name; the captions below follow that setting.
inline constexpr std::string_view kContainerExtension = ".cry";

std::string ContainerPathOf(const std::string& plainPath);
std::string PlainPathOf(const std::string& containerPath);
// Whether a file name ends in ".cry", letter case ignored.
bool HasContainerExtension(const std::string& name) noexcept;

// The container of a plain name in a directory ("" is the current one): the name with ".cry" appended
// when that file exists, else a file whose name is the plain name followed by ".cry" in other letter case
// (B.CRY for B), as the panes list those too; the name with ".cry" when there is neither.
std::string ContainerFileFor(const std::string& directory, const std::string& plainName);

// The caption of the container `containerName` in "Crypted files".
std::string CryptedCaptionOf(const std::string& containerName, bool showCry);
// The caption in "Crypted files" of the container that encrypting `plainName` writes.
std::string CryptedCaptionForPlain(const std::string& plainName, bool showCry);
// The plain file that decrypting the container of a "Crypted files" caption writes.
std::string PlainNameOfCaption(const std::string& caption, bool showCry);
// The container of `directory` behind a "Crypted files" caption; a caption without ".cry" may stand for
// a container whose extension is in other letter case.
std::string ContainerNameOfCaption(const std::string& directory, const std::string& caption, bool showCry);

} // namespace vorlaxen
