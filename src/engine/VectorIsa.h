#pragma once

namespace vorlaxen {

// The instruction sets that the parallel block loops (cipher block chaining decryption, blocks each
// alone) can use, from the least to the most. Every chain also has a scalar loop, the only one on other
// processors; the vector loops give byte for byte the same results.
enum class VectorIsa {
    Scalar, // no vector loop
    Avx2,   // 256-bit registers
    Avx512, // 512-bit registers with AVX-512 F, BW and VL
};

// The most this processor and its system support (the system must save the wider registers).
VectorIsa DetectedVectorIsa() noexcept;

// What chains use when they are not told: the detected set, capped by LimitVectorIsa.
VectorIsa DefaultVectorIsa() noexcept;

// Caps the instruction set of chains made from now on, so that tests and benchmarks can run every loop
// this processor has; VectorIsa::Avx512 lifts the cap.
void LimitVectorIsa(VectorIsa most) noexcept;

// `wanted` capped at what this processor supports.
VectorIsa SupportedVectorIsa(VectorIsa wanted) noexcept;

// "scalar", "avx2" or "avx512".
const char* VectorIsaName(VectorIsa isa) noexcept;

} // namespace vorlaxen
