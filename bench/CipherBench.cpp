// Each method's block loop with its chaining over a 16 MiB buffer, encrypting and decrypting, with and
// without the data checksum that the engine accumulates alongside, and the checksum on its own: its
// serial chain is the ceiling of every loop that takes it. Clock measures the processor's clock.
//
// Each figure is labelled with the instruction set its loop ran in (see VectorIsa.h). The environment
// variable VORLAXEN_VECTOR_ISA (scalar, avx2, avx512) caps it, to compare the loops of one processor.

#include "engine/BlockChain.h"
#include "engine/Checksum.h"
#include "engine/VectorIsa.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kBufferSize = 16u << 20;

std::vector<std::uint8_t> Pattern() {
    std::vector<std::uint8_t> buffer(kBufferSize);
    for (std::size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<std::uint8_t>(i * 131 + 7);
    return buffer;
}

void CipherLoop(benchmark::State& state,
                vorlaxen::CipherMethod method,
                vorlaxen::CipherDirection direction,
                bool withChecksum) {
    const std::size_t keyLength = vorlaxen::InfoOf(method).keyLength;
    std::vector<std::uint8_t> key(keyLength);
    for (std::size_t i = 0; i < keyLength; ++i)
        key[i] = static_cast<std::uint8_t>(0x31 + 7 * i);
    std::vector<std::uint8_t> buffer = Pattern();
    const std::atomic<bool> never{false};
    vorlaxen::VectorIsa isa = vorlaxen::VectorIsa::Scalar;
    for (auto _ : state) {
        auto chain = vorlaxen::MakeBlockChain(method, key.data(), direction);
        isa = chain->isa();
        std::uint32_t checksum = 0;
        chain->run(buffer.data(), buffer.size() / 8, withChecksum ? buffer.size() : 0, checksum, never);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::DoNotOptimize(checksum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
    state.SetLabel(vorlaxen::VectorIsaName(isa));
}

void Checksum(benchmark::State& state) {
    const std::vector<std::uint8_t> buffer = Pattern();
    for (auto _ : state) {
        std::uint32_t checksum = vorlaxen::UpdateChecksum(0, buffer.data(), buffer.size());
        benchmark::DoNotOptimize(checksum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferSize));
    state.SetLabel("scalar");
}

// The processor's clock as the loops see it: a chain of dependent XORs, one cycle each on every x86-64
// processor, timed like the loops (processor time) and reported as the counter cycles_per_second.
// bench/compare.sh turns the cycles per byte that the IDEA chain's critical path allows into MiB/s with
// it, where the processor's own cycle counter is out of reach (a virtual machine). Elsewhere it skips.
void Clock(benchmark::State& state) {
#if defined(__x86_64__) && defined(__GNUC__)
    constexpr int kRounds = 1 << 16;
    constexpr int kXorsPerRound = 32;
    const std::uint64_t operand = 0x5A5A5A5A5A5A5A5Aull;
    std::uint64_t x = 1;
    for (auto _ : state) {
        for (int i = 0; i < kRounds; ++i)
            asm volatile(".rept 32\n\txor %1, %0\n\t.endr" : "+r"(x) : "r"(operand));
        benchmark::DoNotOptimize(x);
    }
    state.counters["cycles_per_second"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kRounds * kXorsPerRound, benchmark::Counter::kIsRate);
    state.SetLabel("xor chain");
#else
    state.SkipWithError("no one-cycle chain is known for this processor");
#endif
}

using vorlaxen::CipherDirection;
using vorlaxen::CipherMethod;

BENCHMARK_CAPTURE(CipherLoop, IDEA_encrypt, CipherMethod::Idea, CipherDirection::Encrypt, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, IDEA_decrypt, CipherMethod::Idea, CipherDirection::Decrypt, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, DES_encrypt, CipherMethod::Des, CipherDirection::Encrypt, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, DES_decrypt, CipherMethod::Des, CipherDirection::Decrypt, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, 3xDES_encrypt, CipherMethod::TripleDes, CipherDirection::Encrypt, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, 3xDES_decrypt, CipherMethod::TripleDes, CipherDirection::Decrypt, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, IDEA_encrypt_checksum, CipherMethod::Idea, CipherDirection::Encrypt, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, IDEA_decrypt_checksum, CipherMethod::Idea, CipherDirection::Decrypt, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, DES_encrypt_checksum, CipherMethod::Des, CipherDirection::Encrypt, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, DES_decrypt_checksum, CipherMethod::Des, CipherDirection::Decrypt, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, 3xDES_encrypt_checksum, CipherMethod::TripleDes, CipherDirection::Encrypt, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CipherLoop, 3xDES_decrypt_checksum, CipherMethod::TripleDes, CipherDirection::Decrypt, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(Checksum)->Unit(benchmark::kMillisecond);
BENCHMARK(Clock)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (const char* wanted = std::getenv("VORLAXEN_VECTOR_ISA")) {
        for (auto isa : {vorlaxen::VectorIsa::Scalar, vorlaxen::VectorIsa::Avx2, vorlaxen::VectorIsa::Avx512})
            if (std::strcmp(wanted, vorlaxen::VectorIsaName(isa)) == 0)
                vorlaxen::LimitVectorIsa(isa);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
