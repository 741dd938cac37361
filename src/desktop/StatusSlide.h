#pragma once

#include <string>
#include <vector>

namespace vorlaxen {

// The texts the status line shows, in order, when a message arrives: the message slides in from the
// right and swings with shrinking amplitude (five, four, three, two and one spaces) before it comes to
// rest, 26 texts in all, the last being the message itself. Only leading spaces are ever removed, so
// the message always shows whole.
std::vector<std::string> StatusSlideSteps(const std::string& message);

} // namespace vorlaxen
