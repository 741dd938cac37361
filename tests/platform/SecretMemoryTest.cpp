#include "platform/FileInUse.h"
#include "platform/FileSystem.h"
#include "platform/PendingFile.h"
#include "platform/ProcessProtection.h"
#include "platform/SecureMemory.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vorlaxen {
namespace {

// The flags that /proc/self/smaps gives the mapping holding `address` ("lo": locked, "dd": left out of
// core dumps), as a list of words.
std::vector<std::string> MappingFlags(const void* address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        unsigned long start = 0;
        unsigned long end = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> start >> dash >> end && dash == '-' && line.find(' ') != std::string::npos &&
            std::isxdigit(static_cast<unsigned char>(line[0]))) {
            inside = start <= at && at < end;
            continue;
        }
        if (inside && line.rfind("VmFlags:", 0) == 0) {
            std::istringstream words(line.substr(8));
            std::vector<std::string> flags;
            for (std::string word; words >> word;)
                flags.push_back(word);
            return flags;
        }
    }
    return {};
}

bool Has(const std::vector<std::string>& flags, const char* flag) {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

bool AllZero(const void* data, std::size_t n) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return std::all_of(bytes, bytes + n, [](std::uint8_t b) { return b == 0; });
}

// AddressSanitizer replaces mlock with a call that locks nothing, so a sanitized build cannot see locked
// pages; what else the tests ask (kept out of dumps, zeroed, the limit kept) is checked there all the same.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLocksShow = false;
#else
constexpr bool kLocksShow = true;
#endif

std::size_t LockedKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmLck:", 0) == 0)
            return std::stoul(line.substr(6));
    return ~std::size_t{0};
}

// An object with a key schedule's alignment, made with new.
struct alignas(64) Schedule : SecretObject {
    std::uint8_t words[300];
};

// The types that hold secrets all take them from secret memory, whose pages are locked where the limit
// allows and kept out of core dumps; what is given back is zeroed there and handed out again zeroed.
TEST(SecretMemory, EveryTypeTakesLockedPagesKeptOutOfDumpsAndZeroedWhenGivenBack) {
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_MEMLOCK, &limit), 0);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < (rlim_t{4} << 20)) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, rlim_t{4} << 20);
        if (::geteuid() != 0 && limit.rlim_cur < (rlim_t{4} << 20))
            GTEST_SKIP() << "the lock limit leaves no room for the test";
        ASSERT_EQ(::setrlimit(RLIMIT_MEMLOCK, &limit), 0);
    }

    SecureBytes password(12, 'p');
    SecureBuffer chunk(10240);
    SecureBuffer reader(256 << 10);
    ZeroingArray<std::uint8_t, 24> key;
    auto schedule = std::make_unique<Schedule>();
    ASSERT_TRUE(chunk && reader);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(schedule.get()) % 64, 0u);
    for (const void* secret : {static_cast<const void*>(password.data()),
                               static_cast<const void*>(chunk.data()),
                               static_cast<const void*>(reader.data()),
                               static_cast<const void*>(key.data()),
                               static_cast<const void*>(schedule.get())}) {
        const auto flags = MappingFlags(secret);
        EXPECT_TRUE(!kLocksShow || Has(flags, "lo")) << "not locked";
        EXPECT_TRUE(Has(flags, "dd")) << "not kept out of core dumps";
    }
    EXPECT_TRUE(AllZero(chunk.data(), chunk.size()) && AllZero(reader.data(), reader.size()) &&
                AllZero(key.data(), key.size()));
    const SecretMemoryUse use = SecretMemoryInUse();
    EXPECT_GE(use.locked, std::size_t{256 + 12} << 10);
    EXPECT_LE(use.locked, use.mapped);
    EXPECT_FALSE(use.lockRefused);

    // Small blocks stay where they were when given back; large ones are taken again from where they were.
    std::uint8_t* small = password.data();
    std::memset(small, 'p', password.size());
    SecureBytes().swap(password);
    EXPECT_TRUE(AllZero(small, 12));
    auto* slot = static_cast<std::uint8_t*>(AllocateSecret(100, 4));
    std::memset(slot, 0xA5, 100);
    ReleaseSecret(slot, 100, 4);
    EXPECT_TRUE(AllZero(slot, 100));
    std::uint8_t* large = reader.data();
    std::memset(large, 0xA5, reader.size());
    reader.reallocate(256 << 10);
    EXPECT_EQ(reader.data(), large);
    EXPECT_TRUE(AllZero(reader.data(), reader.size()));
}

// Fails the child with a message on the standard error it had when it started.
[[noreturn]] void Fail(int said, const std::string& what) {
    (void)WriteFully(said, what.data(), what.size());
    std::_Exit(1);
}

// The body of the test below, in a child of its own: 0 when everything held.
int LockWithinALimitOfOneMiBAndThenNone() {
    const int said = ::dup(STDERR_FILENO);
    const int log = ::memfd_create("log", 0);
    ::dup2(log, STDERR_FILENO);
    ::setenv("VORLAXEN_DEBUG", "1", 1);
    rlimit limit{};
    ::getrlimit(RLIMIT_MEMLOCK, &limit);
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, rlim_t{1} << 20);
    if (::setrlimit(RLIMIT_MEMLOCK, &limit) != 0 || limit.rlim_cur < (rlim_t{1} << 20))
        Fail(said, "the lock limit cannot be set to 1 MiB\n");

    const std::size_t size = 400 << 10;
    void* blocks[3];
    for (void*& block : blocks) {
        block = AllocateSecret(size);
        if (!block)
            Fail(said, "no memory\n");
        std::memset(block, 0x5A, size);
    }
    if (kLocksShow && (!Has(MappingFlags(blocks[0]), "lo") || !Has(MappingFlags(blocks[1]), "lo")))
        Fail(said, "the first two blocks are not locked\n");
    if (Has(MappingFlags(blocks[2]), "lo") || !Has(MappingFlags(blocks[2]), "dd"))
        Fail(said, "the third block is locked beyond the limit, or not kept out of dumps\n");
    if (LockedKiB() > 1024 || SecretMemoryInUse().locked > (std::size_t{1} << 20) || !SecretMemoryInUse().lockRefused)
        Fail(said, "more than the limit is locked\n");

    limit.rlim_cur = 0;
    limit.rlim_max = 0;
    ::setrlimit(RLIMIT_MEMLOCK, &limit);
    const std::size_t other = 700 << 10;
    auto* unlocked = static_cast<std::uint8_t*>(AllocateSecret(other));
    if (!unlocked || Has(MappingFlags(unlocked), "lo") || !Has(MappingFlags(unlocked), "dd"))
        Fail(said, "a block without a lock limit is locked, or not kept out of dumps\n");
    std::memset(unlocked, 0x5A, other);
    ReleaseSecret(unlocked, other);
    auto* again = static_cast<std::uint8_t*>(AllocateSecret(other));
    if (again != unlocked || !AllZero(again, other))
        Fail(said, "an unlocked block is not zeroed when given back\n");

    std::string text(4096, '\0');
    text.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::pread(log, text.data(), text.size(), 0))));
    std::size_t times = 0;
    for (std::size_t at = 0; (at = text.find("could not be locked", at)) != std::string::npos; ++at)
        ++times;
    if (times != 1)
        Fail(said, "the refused lock is said " + std::to_string(times) + " times:\n" + text);
    return 0;
}

// Pages are locked only as far as the lock limit reaches, also for the superuser, whom the system would
// let lock more; beyond it and without it they are kept out of core dumps and zeroed all the same, which
// the debug log says once.
TEST(SecretMemoryDeathTest, LocksNoMoreThanTheLimitAllowsAndDegradesQuietlyWithoutIt) {
    EXPECT_EXIT(std::_Exit(LockWithinALimitOfOneMiBAndThenNone()), ::testing::ExitedWithCode(0), "");
}

// The body of the test below, in a process of its own whose secret memory is untouched: 0 when all held.
int BufferCiphertextInOrdinaryMemory(const test::TempDir& dir) {
    const auto mapped = [] { return SecretMemoryInUse().mapped; };
    if (mapped() != 0)
        return 2;
    // Small pieces stay in the buffer: nothing reaches the file before the flush.
    const std::string piece(100, 'c');
    PendingFile sealed(dir / "sealed");
    sealed.expectSize(std::size_t{64} << 10);
    sealed.holdsOnlyCiphertext();
    struct stat written {};
    if (!sealed.create() || !sealed.write(piece.data(), piece.size()) || !sealed.write(piece.data(), piece.size()) ||
        ::fstat(sealed.fd(), &written) != 0 || written.st_size != 0)
        return 3;
    if (mapped() != 0)
        return 4; // the ciphertext took secret memory
    PendingFile plain(dir / "plain");
    plain.expectSize(std::size_t{64} << 10);
    if (!plain.create() || !plain.write(piece.data(), piece.size()) || mapped() < (std::size_t{64} << 10))
        return 5; // what may be plain data did not
    if (sealed.commit() != PendingFile::Commit::Done || plain.commit() != PendingFile::Commit::Done ||
        test::ReadFile(dir / "sealed").size() != 2 * piece.size())
        return 6;
    return 0;
}

// An output that holds only ciphertext, an encryption's, is buffered in ordinary memory: secret memory,
// locked within a limit, is kept for what is secret, so that more files fit under the limit with -j.
TEST(SecretMemoryDeathTest, AnOutputOfCiphertextIsBufferedOutsideSecretMemory) {
    test::TempDir dir;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(BufferCiphertextInOrdinaryMemory(dir)), ::testing::ExitedWithCode(0), "");
}

// Started as after `ulimit -c unlimited`, the process protects itself: it writes no core file, cannot be
// made to again and is closed to other processes; it still sees itself under /proc/self, so that an unnamed
// output still gets its name, and it still sees the descriptors of the applications it starts.
void StartProtected(const test::TempDir& dir) {
    rlimit core{};
    ::getrlimit(RLIMIT_CORE, &core);
    core.rlim_cur = core.rlim_max;
    ::setrlimit(RLIMIT_CORE, &core);
    ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);

    ASSERT_TRUE(ProtectProcessMemory());
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    ASSERT_EQ(::getrlimit(RLIMIT_CORE, &core), 0);
    EXPECT_EQ(core.rlim_cur, 0u);
    EXPECT_EQ(core.rlim_max, 0u);
    core.rlim_cur = RLIM_INFINITY;
    core.rlim_max = RLIM_INFINITY;
    EXPECT_NE(::setrlimit(RLIMIT_CORE, &core), 0);

    EXPECT_EQ(::access("/proc/self/fd", X_OK), 0);
    char exe[4096];
    EXPECT_GT(::readlink("/proc/self/exe", exe, sizeof exe), 0);
    std::thread([&] {
        PendingFile out(dir / "output");
        ASSERT_TRUE(out.create());
        EXPECT_TRUE(out.unnamed());
        EXPECT_TRUE(out.write("data", 4));
        EXPECT_EQ(out.commit(), PendingFile::Commit::Done);
    }).join();
    EXPECT_EQ(test::ReadFile(dir / "output"), (std::vector<std::uint8_t>{'d', 'a', 't', 'a'}));

    // An application the program started, with the file open: spawned, it has run its own program once
    // posix_spawn returns.
    const std::string opened = dir / "opened";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 3, opened.c_str(), O_RDONLY, 0);
    char sleep[] = "sleep";
    char seconds[] = "30";
    char* argv[] = {sleep, seconds, nullptr};
    pid_t application = 0;
    ASSERT_EQ(::posix_spawnp(&application, "sleep", &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_TRUE(HeldOpenByAnotherProcess(opened)) << "the application's descriptors are not seen";
    ::kill(application, SIGKILL);
    ::waitpid(application, nullptr, 0);
}

TEST(ProcessProtectionDeathTest, ShutsOutCoreFilesAndOtherProcessesButNotProcSelf) {
    test::TempDir dir;
    test::WriteFile(dir / "opened", "plain");
    EXPECT_EXIT(
        {
            test::RunWherePermissionsBind({dir.path()}, [&] { StartProtected(dir); });
            std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0),
        "");
}

} // namespace
} // namespace vorlaxen
