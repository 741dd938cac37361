#include "engine/VectorIsa.h"

#include <algorithm>
#include <atomic>

namespace vorlaxen {

namespace {

VectorIsa Detect() noexcept {
    // A build with VORLAXEN_PORTABLE_DES runs what processors other than x86-64 run: no vector loops.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(VORLAXEN_PORTABLE_DES)
    // The compiler's run-time check also asks the system (XGETBV) whether it saves the registers.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl"))
        return VectorIsa::Avx512;
    if (__builtin_cpu_supports("avx2"))
        return VectorIsa::Avx2;
#endif
    return VectorIsa::Scalar;
}

std::atomic<VectorIsa> limit{VectorIsa::Avx512};

} // namespace

VectorIsa DetectedVectorIsa() noexcept {
    static const VectorIsa detected = Detect();
    return detected;
}

VectorIsa SupportedVectorIsa(VectorIsa wanted) noexcept {
    return std::min(wanted, DetectedVectorIsa());
}

VectorIsa DefaultVectorIsa() noexcept {
    return SupportedVectorIsa(limit.load(std::memory_order_relaxed));
}

void LimitVectorIsa(VectorIsa most) noexcept {
    limit.store(most, std::memory_order_relaxed);
}

const char* VectorIsaName(VectorIsa isa) noexcept {
    switch (isa) {
    case VectorIsa::Avx2:
        return "avx2";
    case VectorIsa::Avx512:
        return "avx512";
    case VectorIsa::Scalar:
        break;
    }
    return "scalar";
}

} // namespace vorlaxen
