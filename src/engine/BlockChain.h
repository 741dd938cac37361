#pragma once

#include "engine/CipherMethod.h"
#include "engine/VectorIsa.h"
#include "platform/SecureMemory.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace vorlaxen {

enum class CipherDirection { Encrypt, Decrypt };

// The chaining register of every file and of the key file starts from this value.
inline constexpr std::uint8_t kInitialChainingValue[8] = {0xC3, 0x5A, 0x96, 0x0F, 0x69, 0xA5, 0x3C, 0xF0};

inline constexpr std::size_t kBlockSize = 8;

// The most blocks a chain transforms between two looks at the abort flag (4 KiB).
inline constexpr std::size_t kBlocksPerAbortPoll = 512;

// An abort flag that is never set, for runs that cannot be stopped.
const std::atomic<bool>& NeverAbort() noexcept;

// One method's block cipher with its chaining, prepared for one direction and one file: the key
// schedules are computed once when the chain is made and wiped when it is destroyed. A chain lives in
// secret memory, with its schedules.
class BlockChain : public SecretObject {
public:
    virtual ~BlockChain() = default;

    // Transforms `blocks` whole 8-byte blocks of `data` in place, continuing the chaining register from
    // the previous call. `checksum` is continued over the first `checksumBytes` bytes of `data`: the plain
    // bytes before they are encrypted, or the plain bytes after they are decrypted. `abort` is polled
    // after every group of at most kBlocksPerAbortPoll blocks; when it is set the run stops there. Returns
    // the number of blocks transformed.
    //
    // With `more` set, more data follows in the next call: a decrypting chain may then leave the checksum
    // of its last plain bytes (at most kBlocksPerAbortPoll blocks, kept in a copy) to that call, which
    // takes it among its own first rounds. `checksum` then lacks those bytes; the next call must be given
    // the `checksum` this one returned, and the last call of a stream must not set `more`.
    virtual std::size_t run(std::uint8_t* data,
                            std::size_t blocks,
                            std::size_t checksumBytes,
                            std::uint32_t& checksum,
                            const std::atomic<bool>& abort,
                            bool more = false) = 0;

    // The same from the blocks at `in` into `out`, which must not overlap them; `in` is left as it is.
    // The checksum is taken over the first `checksumBytes` bytes at `in` when encrypting, at `out` when
    // decrypting.
    virtual std::size_t runInto(const std::uint8_t* in,
                                std::uint8_t* out,
                                std::size_t blocks,
                                std::size_t checksumBytes,
                                std::uint32_t& checksum,
                                const std::atomic<bool>& abort) = 0;

    // The same without a checksum and without an abort flag.
    void run(std::uint8_t* data, std::size_t blocks);

    // The instruction set of the loop that runs this chain's blocks: a vector set for decryption and for
    // blocks each alone where the chain has a vector loop for this processor, else VectorIsa::Scalar.
    virtual VectorIsa isa() const noexcept = 0;
};

// The chain of a method for `key`, which holds the method's key length in bytes (8, 16 or 24), using
// vector instructions up to `most` where this processor has them. Returns null for a value outside the
// five methods.
std::unique_ptr<BlockChain> MakeBlockChain(CipherMethod method,
                                           const std::uint8_t* key,
                                           CipherDirection direction,
                                           VectorIsa most = DefaultVectorIsa());

} // namespace vorlaxen
