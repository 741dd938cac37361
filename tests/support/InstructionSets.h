#pragma once

#include "engine/DesBlocksSse2.h"
#include "engine/IdeaSerial.h"
#include "engine/VectorIsa.h"

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace vorlaxen {

// A set by its name in the tests' output.
inline void PrintTo(VectorIsa isa, std::ostream* out) {
    *out << VectorIsaName(isa);
}

} // namespace vorlaxen

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

// Which forms of the block loops the engine's tests run in this build on this processor, and which they
// do not, for the tests to say so: a run on a processor without AVX-512 covers no AVX-512 loop. The
// portable C++ always runs (IDEA's parallel scalar loop, DES single blocks); DES's x86-64 loops, with
// their SSE2 permutations, in every build but one with VORLAXEN_PORTABLE_DES; IDEA's x86-64 chaining
// rounds likewise, and not in a sanitizer's build; each vector set where the processor has it.
inline std::string BlockLoopsRunHere() {
    std::string ran = "portable";
    std::string notRun;
    const auto add = [](std::string& list, const char* name) {
        list += list.empty() ? name : std::string(", ") + name;
    };
#ifdef VORLAXEN_DES_SSE2
    add(ran, "SSE2");
#else
    add(notRun, "SSE2");
#endif
#ifdef VORLAXEN_IDEA_X86
    add(ran, "x86-64 IDEA chaining");
#else
    add(notRun, "x86-64 IDEA chaining");
#endif
    for (const auto& [isa, name] : {std::pair{VectorIsa::Avx2, "AVX2"}, std::pair{VectorIsa::Avx512, "AVX-512"}})
        add(SupportedVectorIsa(isa) == isa ? ran : notRun, name);
    return "block loops run here: " + ran + "; not run: " + (notRun.empty() ? "none" : notRun);
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
