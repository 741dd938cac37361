#pragma once

#include <cstddef>
#include <functional>

namespace vorlaxen::test {

// Runs `body` in a forked child whose files cannot grow past `limit` bytes (a write that crosses the
// limit is cut short, the next one fails, as on a full disk) and returns what it returned (0 to 255),
// or -1 when the child died.
int RunWithFileSizeLimit(std::size_t limit, const std::function<int()>& body);

} // namespace vorlaxen::test
