// Each method's block loop with its chaining over a 16 MiB buffer, encrypting and decrypting, with and
// without the data checksum that the engine accumulates alongside.

#include "engine/BlockChain.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <vector>

namespace {

constexpr std::size_t kBufferSize = 16u << 20;

void CipherLoop(benchmark::State& state, int method, vorlaxen::CipherDirection direction, bool withChecksum) {
    const std::size_t keyLength = method == 1 ? 16 : method == 4 ? 24 : 8;
    std::vector<std::uint8_t> key(keyLength);
    for (std::size_t i = 0; i < keyLength; ++i)
        key[i] = static_cast<std::uint8_t>(0x31 + 7 * i);
    std::vector<std::uint8_t> buffer(kBufferSize);
    for (std::size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<std::uint8_t>(i * 131 + 7);
    const std::atomic<bool> never{false};
    for (auto _ : state) {
        auto chain = vorlaxen::MakeBlockChain(method, key.data(), direction);
        std::uint32_t checksum = 0;
        chain->run(buffer.data(), buffer.size() / 8, withChecksum ? buffer.size() : 0, checksum, never);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::DoNotOptimize(checksum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
}

using vorlaxen::CipherDirection;

BENCHMARK_CAPTURE(CipherLoop, IDEA_encrypt, 1, CipherDirection::Encrypt, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, IDEA_decrypt, 1, CipherDirection::Decrypt, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, DES_encrypt, 3, CipherDirection::Encrypt, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, DES_decrypt, 3, CipherDirection::Decrypt, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, 3xDES_encrypt, 4, CipherDirection::Encrypt, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, 3xDES_decrypt, 4, CipherDirection::Decrypt, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, IDEA_encrypt_checksum, 1, CipherDirection::Encrypt, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, IDEA_decrypt_checksum, 1, CipherDirection::Decrypt, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, DES_encrypt_checksum, 3, CipherDirection::Encrypt, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, DES_decrypt_checksum, 3, CipherDirection::Decrypt, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, 3xDES_encrypt_checksum, 4, CipherDirection::Encrypt, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, 3xDES_decrypt_checksum, 4, CipherDirection::Decrypt, true)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
