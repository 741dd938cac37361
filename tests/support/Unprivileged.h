#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vorlaxen::test {

// Runs `body` where file permissions bind, so that tests of unwritable directories and unreadable files
// test something under every user, the superuser of a CI machine included. An ordinary user runs it in
// place. The superuser runs it in a forked child that has become the user "nobody", after handing
// `paths`, and everything below them, to that user; the child's failures are printed as they happen and
// fail the calling test, whose fixture sees nothing of what the child changed in memory.
void RunWherePermissionsBind(const std::vector<std::string>& paths, const std::function<void()>& body);

} // namespace vorlaxen::test
