#include "engine/BlockChain.h"

#include "engine/Des.h"
#include "engine/Idea.h"

namespace vorlaxen {

const std::atomic<bool>& NeverAbort() noexcept {
    static const std::atomic<bool> never{false};
    return never;
}

void BlockChain::run(std::uint8_t* data, std::size_t blocks) {
    std::uint32_t unused = 0;
    (void)run(data, blocks, 0, unused, NeverAbort());
}

std::unique_ptr<BlockChain>
MakeBlockChain(CipherMethod method, const std::uint8_t* key, CipherDirection direction, VectorIsa most) {
    const VectorIsa isa = SupportedVectorIsa(most);
    switch (method) {
    case CipherMethod::DesUnchained:
        return MakeDesChain(key, false, direction, isa);
    case CipherMethod::Idea:
        return MakeIdeaChain(key, direction, isa);
    case CipherMethod::DesTyped:
    case CipherMethod::Des:
        return MakeDesChain(key, true, direction, isa);
    case CipherMethod::TripleDes:
        return MakeTripleDesChain(key, direction, isa);
    }
    return nullptr;
}

} // namespace vorlaxen
