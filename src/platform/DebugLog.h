#pragma once

#include <string_view>

namespace vorlaxen {

// Says a line about the program's own workings on standard error, prefixed with "vorlaxen: ", when the
// environment variable VORLAXEN_DEBUG is set and not empty; otherwise says nothing. For what the user need
// not see but someone looking into the program's behaviour wants to know (a refused memory lock).
void DebugLog(std::string_view line) noexcept;

// Whether DebugLog writes anything.
bool DebugLogOn() noexcept;

} // namespace vorlaxen
