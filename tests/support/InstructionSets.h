#pragma once

#include "engine/VectorIsa.h"

#include <vector>

namespace vorlaxen::test {

// Every instruction set this processor has for the engine's parallel loops, the scalar one first; the
// tests run each of them.
inline std::vector<VectorIsa> InstructionSetsHere() {
    std::vector<VectorIsa> sets;
    for (VectorIsa isa : {VectorIsa::Scalar, VectorIsa::Avx2, VectorIsa::Avx512})
        if (SupportedVectorIsa(isa) == isa)
            sets.push_back(isa);
    return sets;
}

// Caps the instruction set of the chains the engine makes for as long as it lives.
class LimitedVectorIsa {
public:
    explicit LimitedVectorIsa(VectorIsa most) { LimitVectorIsa(most); }
    ~LimitedVectorIsa() { LimitVectorIsa(VectorIsa::Avx512); }
    LimitedVectorIsa(const LimitedVectorIsa&) = delete;
    LimitedVectorIsa& operator=(const LimitedVectorIsa&) = delete;
};

} // namespace vorlaxen::test
