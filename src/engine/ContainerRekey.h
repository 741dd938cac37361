#pragma once

#include "engine/ContainerFormat.h"
#include "engine/ResultCode.h"
#include "engine/TKX_Pwd.h"
#include "platform/PendingFile.h"
#include "platform/SourceFile.h"

#include <cstdint>

namespace vorlaxen {

// One container turned into another under a new password, and possibly a new method, without its plain
// data ever leaving memory: the old body is read chunk by chunk (10240 bytes, as the engine reads it),
// each chunk decrypted in a buffer that is kept out of swap where the system allows and zeroed on every
// way out, added to the data checksum, and encrypted at once for the new container. The new container
// holds the same plain size and data checksum; the old container's checksum is checked at the end, so
// that a damaged container never becomes a new one that looks sound.
//
// The engine objects give the passwords, the abort flag (polled as the engine polls it) and the
// progress (the current password's object counts the blocks).
class ContainerRekey {
public:
    // `input` is the old container, open under its lock; `current` holds its password.
    ContainerRekey(TKX_Pwd& current, const SourceFile& input)
        : current_(current)
        , input_(input) {}

    // Reads the header and checks the key made from the current password, before anything is written:
    // ReadFailed for a header cut short, NotContainer, WrongPassword for a key that does not fit or a
    // body whose length is not that of its plain size (a damaged container).
    ResultCode Open();
    // The old container's method, once Open succeeded.
    const MethodInfo& method() const noexcept { return *method_; }

    // Writes the new container with the password of `next` and `method` (as WritableMethod turns it)
    // into `output`, which this creates; the output is complete but neither flushed nor committed. On a
    // failure (WrongPassword: the data checksum differs, the container is damaged) the output is
    // discarded.
    ResultCode Write(TKX_Pwd& next, CipherMethod method, PendingFile& output);

private:
    ResultCode WriteBody(TKX_Pwd& next, const MethodInfo& to, PendingFile& output);

    TKX_Pwd& current_;
    const SourceFile& input_;
    const MethodInfo* method_ = nullptr;
    ContainerHeader header_;
};

} // namespace vorlaxen
