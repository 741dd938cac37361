#pragma once

#include "platform/PendingFile.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vorlaxen {

// Result of the engine, the key file and the wipe; the numbers are stable and shown as exit codes.
enum class [[nodiscard]] ResultCode : std::int32_t{
    Ok = 0,
    CannotOpen = -2,        // the input file cannot be opened
    CannotCreate = -9,      // the output file cannot be created
    ReadFailed = -10,       // reading the input failed, or a container is shorter than its header
    WrongPassword = -11,    // the key check differs, or the decrypted data fail the data checksum
    NoMemory = -12,         // the work buffer cannot be allocated
    NotContainer = -13,     // the method letter is not one of the container methods
    Aborted = -14,          // the user stopped the operation
    WriteFailed = -15,      // writing the output failed
    TooLarge = -16,         // a plain file of 4 GiB or more cannot be encrypted; nothing was created
    InUse = -17,            // another operation holds the input's lock; nothing was changed
    NotRegularFile = -18,   // the input is a symbolic link, a named pipe, a device, a socket or a directory
    SourceChanged = -19,    // the plain file changed while it was encrypted; it is kept, the container discarded
    ContainerChanged = -20, // the container changed while it was decrypted; it is kept, the output discarded
    TargetAppeared = -21,   // a target that did not exist when the operation began appeared; it is left alone
    InterruptedWipe = -22,  // the plain file is what an interrupted wipe left; its container is left alone
};

// The message that reports a result for the file `name` ("" for success or an unknown code). The
// windows and the command-line companion both show exactly this text.
std::string ResultText(ResultCode code, std::string_view name);

// A message pattern with its "%s" replaced by `name`.
std::string FillIn(std::string_view pattern, std::string_view name);

// What a pending output's commit means as a result: a failed flush is a failed write, a failed rename a
// file that could not be created, a target that appeared meanwhile is left alone.
ResultCode CommitResultCode(PendingFile::Commit commit);

// The wrong-password message offers "All", which stops the rest of the file list.
inline bool OffersAllButton(ResultCode code) {
    return code == ResultCode::WrongPassword;
}

} // namespace vorlaxen
