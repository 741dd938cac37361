// Whole-file encryption and decryption through the engine's file entry points, for each method, on a
// 256 MiB file: reading, chaining, checksum, writing, and the flush to disk before the rename all count.
// The files live in a fresh directory under $TMPDIR (else /tmp), made once per benchmark and removed
// with everything in it afterwards. Time is wall-clock time, since much of the cost is waiting on I/O.

#include "engine/ResultCode.h"
#include "engine/TKX_Pwd.h"

#include <benchmark/benchmark.h>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kFileSize = std::int64_t{256} << 20;
constexpr char kPassword[] = "file-bench";

// A private directory under the temporary directory, removed with its contents when it goes.
class ScratchDirectory {
public:
    ScratchDirectory() {
        const char* tmpdir = std::getenv("TMPDIR");
        const fs::path base = tmpdir && *tmpdir ? fs::path(tmpdir) : fs::path("/tmp");
        std::string pattern = (base / "vorlaxen-file-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
        else
            failure_ = "cannot create a directory under " + base.string() + ": " + std::strerror(errno);
    }
    ~ScratchDirectory() {
        if (!path_.empty()) {
            std::error_code ignored;
            fs::remove_all(path_, ignored);
        }
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& failure() const { return failure_; }
    std::string file(const char* name) const { return (path_ / name).string(); }

private:
    fs::path path_;
    std::string failure_;
};

// Writes `size` bytes of a cheap pseudo-random pattern to a new file and flushes it; false with errno on
// failure.
bool WritePlainFile(const std::string& path, std::uint64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::vector<std::uint8_t> chunk(1u << 20);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    bool ok = true;
    for (std::uint64_t left = size; ok && left > 0;) {
        for (auto& byte : chunk) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            byte = static_cast<std::uint8_t>(state >> 32);
        }
        const std::size_t want = left < chunk.size() ? static_cast<std::size_t>(left) : chunk.size();
        std::size_t done = 0;
        while (ok && done < want) {
            const ssize_t n = ::write(fd, chunk.data() + done, want - done);
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            if (ok)
                done += static_cast<std::size_t>(n);
        }
        left -= want;
    }
    // On disk before any timing starts, so that its writeback does not compete with the run's own.
    if (ok && ::fsync(fd) != 0)
        ok = false;
    const int saved = errno;
    if (::close(fd) != 0 && ok)
        return false;
    errno = saved;
    return ok;
}

std::string Failure(const char* what, vorlaxen::ResultCode code) {
    return std::string(what) + " failed with code " + std::to_string(static_cast<int>(code));
}

// The scratch directory's plain file of kFileSize bytes; "" (the benchmark skipped with the reason)
// when it cannot be made.
std::string PreparePlainFile(benchmark::State& state, const ScratchDirectory& directory) {
    if (!directory.ok()) {
        state.SkipWithError(directory.failure().c_str());
        return {};
    }
    const std::string plain = directory.file("plain.bin");
    if (!WritePlainFile(plain, static_cast<std::uint64_t>(kFileSize))) {
        state.SkipWithError(("cannot write " + plain + ": " + std::strerror(errno)).c_str());
        return {};
    }
    return plain;
}

void FileEncrypt(benchmark::State& state, vorlaxen::CipherMethod method) {
    ScratchDirectory directory;
    const std::string plain = PreparePlainFile(state, directory);
    if (plain.empty())
        return;
    const std::string container = plain + ".cry";

    vorlaxen::TKX_Pwd engine;
    engine.SetPassword(kPassword);
    engine.Valid = true;
    for (auto _ : state) {
        // The previous container is deleted outside the timing, so that replacing it is not counted.
        state.PauseTiming();
        std::error_code ignored;
        fs::remove(container, ignored);
        state.ResumeTiming();
        const vorlaxen::ResultCode result = engine.EncryptFile(plain, method);
        if (result != vorlaxen::ResultCode::Ok) {
            state.SkipWithError(Failure("EncryptFile", result).c_str());
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}

void FileDecrypt(benchmark::State& state, vorlaxen::CipherMethod method) {
    ScratchDirectory directory;
    const std::string plain = PreparePlainFile(state, directory);
    if (plain.empty())
        return;
    vorlaxen::TKX_Pwd engine;
    engine.SetPassword(kPassword);
    engine.Valid = true;
    if (const vorlaxen::ResultCode made = engine.EncryptFile(plain, method); made != vorlaxen::ResultCode::Ok) {
        state.SkipWithError(Failure("EncryptFile (setup)", made).c_str());
        return;
    }
    // The container gets a name of its own so that every run writes a fresh plain file beside it.
    const std::string container = directory.file("sealed.cry");
    const std::string output = directory.file("sealed");
    std::error_code error;
    fs::rename(plain + ".cry", container, error);
    if (!error)
        fs::remove(plain, error);
    if (error) {
        state.SkipWithError(("cannot prepare the container: " + error.message()).c_str());
        return;
    }

    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ignored;
        fs::remove(output, ignored);
        state.ResumeTiming();
        const vorlaxen::ResultCode result = engine.DecryptFile(container);
        if (result != vorlaxen::ResultCode::Ok) {
            state.SkipWithError(Failure("DecryptFile", result).c_str());
            break;
        }
    }
    if (fs::file_size(output, error) != static_cast<std::uintmax_t>(kFileSize) && !error && state.iterations() > 0)
        state.SkipWithError("the decrypted file has the wrong size");
    state.SetBytesProcessed(state.iterations() * kFileSize);
}

BENCHMARK_CAPTURE(FileEncrypt, IDEA, vorlaxen::CipherMethod::Idea)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(FileDecrypt, IDEA, vorlaxen::CipherMethod::Idea)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(FileEncrypt, DES, vorlaxen::CipherMethod::Des)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(FileDecrypt, DES, vorlaxen::CipherMethod::Des)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(FileEncrypt, 3xDES, vorlaxen::CipherMethod::TripleDes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(FileDecrypt, 3xDES, vorlaxen::CipherMethod::TripleDes)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
