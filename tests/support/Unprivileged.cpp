#include "support/Unprivileged.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorlaxen::test {

namespace {

constexpr int kCannotDrop = 3;

void HandOver(const std::string& path, uid_t uid, gid_t gid) {
    std::error_code ignored;
    ::lchown(path.c_str(), uid, gid);
    for (auto it = std::filesystem::recursive_directory_iterator(path, ignored);
         it != std::filesystem::recursive_directory_iterator();
         it.increment(ignored))
        ::lchown(it->path().c_str(), uid, gid);
}

// Becomes `uid` for good, with no supplementary group left that could grant access.
bool BecomeUser(uid_t uid, gid_t gid) {
    return ::setgroups(0, nullptr) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0 && ::geteuid() == uid &&
           ::setuid(0) != 0;
}

} // namespace

void RunWherePermissionsBind(const std::vector<std::string>& paths, const std::function<void()>& body) {
    if (::geteuid() != 0) {
        body();
        return;
    }
    uid_t uid = 65534;
    gid_t gid = 65534;
    if (const passwd* nobody = ::getpwnam("nobody")) {
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
    }
    for (const std::string& path : paths)
        HandOver(path, uid, gid);

    std::fflush(nullptr);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0) << "cannot fork";
    if (pid == 0) {
        if (!BecomeUser(uid, gid)) {
            std::fprintf(stderr, "cannot become the user %u\n", static_cast<unsigned>(uid));
            ::_exit(kCannotDrop);
        }
        for (const std::string& path : paths) {
            if (::access(path.c_str(), F_OK) != 0) {
                std::fprintf(stderr, "the user %u cannot reach %s\n", static_cast<unsigned>(uid), path.c_str());
                ::_exit(kCannotDrop);
            }
        }
        try {
            body();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "exception: " << e.what();
        }
        std::fflush(nullptr);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the unprivileged child died";
    ASSERT_NE(WEXITSTATUS(status), kCannotDrop) << "the test could not run as an unprivileged user";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed as the user " << uid << " (see above)";
}

} // namespace vorlaxen::test
