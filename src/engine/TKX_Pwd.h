#pragma once

#include "engine/CipherMethod.h"
#include "engine/ResultCode.h"
#include "platform/PendingFile.h"
#include "platform/SecureMemory.h"
#include "platform/SourceFile.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <time.h>

namespace vorlaxen {

// Every password in memory is XORed byte by byte with this mask as soon as it is typed or read.
inline constexpr std::uint8_t kPasswordMask = 0x5D;

// XORs the first n bytes with the password mask, in place; applying it twice restores the bytes.
void MaskBytes(std::uint8_t* data, std::size_t n) noexcept;

// Fills n key bytes from the first `length` masked password bytes, repeated from the start, each XORed
// with its whitening byte, the low byte of 0x2B + 0x9D * i. An empty password gives the whitening alone.
void FillKey(std::uint8_t* key, std::size_t n, const std::uint8_t* maskedPassword, std::size_t length) noexcept;

// What the engine needs from the layers above it, handed in by its owner.
struct EngineHooks {
    // Polled after every block; when set, the operation stops with ResultCode::Aborted.
    const std::atomic<bool>* abortFlag = nullptr;
    // Called after every chunk so that the window stays responsive and progress can be drawn.
    std::function<void()> letPendingEventsRun;
    // Overwrites a partly written plain output through its descriptor (the wipe's pass), before the
    // output is removed; true when it was overwritten. When absent, the output is removed without it.
    std::function<bool(int fd)> wipeOutput;
};

// How one run of the engine treats its files; the single-file operation that calls it chooses.
struct EngineFiles {
    // The input, opened and locked by the caller, which keeps it beyond the call (to wipe or delete it
    // later under the same lock). When null, the engine opens and locks the input for the call alone.
    SourceFile* source = nullptr;
    // Whether an existing target may be replaced. When false, a target that exists when the output is
    // complete (one that appeared after the caller looked) is left alone: TargetAppeared.
    bool mayReplaceTarget = true;
    // When set, the engine writes into this output (made by the caller for the target's path) and leaves
    // it complete but neither flushed nor committed: the caller brings the outputs of a group of files to
    // disk together and commits each, and looks then whether the input is still what it was. On a
    // failure the engine discards it, as it discards its own. The caller has looked at the target: it is
    // no directory.
    PendingFile* heldOutput = nullptr;
    // The output's path when it is not the one the naming rule gives (a name the user chose).
    std::string target;
    // When set, the output is given this modification time once its data is written, before it is
    // flushed: a file and its container carry the time of the file's last change through a round trip.
    std::optional<timespec> modified;
};

// Where a stream's plain data goes, piece by piece; false stops the run (WriteFailed).
using PlainSink = std::function<bool(const std::uint8_t* data, std::size_t n)>;

// The file password object and cipher engine: holds the current password (masked) with the reuse and
// expiry state that the password prompts keep, and turns one plain file into one ".cry" container and
// back. The input must be a regular file, held under an exclusive advisory lock for the whole run, and it
// must still be the same file with the same size and modification time when the output is committed.
// On any failure the input is untouched and no output is left behind; an existing target is only ever
// replaced by a complete, flushed output. Outputs have no name until they are complete, so that a crash
// leaves no partial file.
class TKX_Pwd {
public:
    TKX_Pwd() = default;
    virtual ~TKX_Pwd();
    TKX_Pwd(const TKX_Pwd&) = delete;
    TKX_Pwd& operator=(const TKX_Pwd&) = delete;

    SecureBytes Password;            // masked
    std::int32_t PasswordLength = 0; // bytes in use; cut to the key length of the method last run
    bool Valid = false;              // a usable password is held
    bool ExpiryOn = false;           // master password only: its setting "Expires"
    std::int32_t SecondsElapsed = 0; // seconds since the password was given
    std::int32_t ExpiryMinutes = 0;  // lifetime of a session password
    bool Expired = false;            // the session password has expired
    bool SessionMode = false;        // one password for the whole session
    bool ListMode = false;           // one password for the current file list

    // Progress of the current file in 8-byte blocks, written by the engine after every chunk and read by
    // the progress displays, on this thread or another. They keep their last values until the next file
    // starts.
    std::atomic<std::int64_t> BlocksDone{0};
    std::atomic<std::int64_t> BlocksTotal{0};

    // Takes a password as typed: stores it masked and sets PasswordLength. `Valid` is left to the caller.
    void SetPassword(const std::uint8_t* plain, std::size_t length);
    void SetPassword(std::string_view plain);
    // Zeroes and drops the held password.
    void ClearPassword();

    void SetHooks(EngineHooks hooks) { hooks_ = std::move(hooks); }
    const EngineHooks& Hooks() const noexcept { return hooks_; }

    // The key bytes of a method made from the held password, written to `key` (room for 24 bytes);
    // returns the key length, 0 for an unknown method. A password longer than the key is cut, and the
    // cut length stays in PasswordLength.
    std::size_t PrepareKey(CipherMethod method, std::uint8_t* key);

    // Writes the container `source` + ".cry" with the method as WritableMethod turns it.
    ResultCode EncryptFile(const std::string& source, CipherMethod method, const EngineFiles& files = {});
    // Writes the plain file, the container's path without its last four characters.
    ResultCode DecryptFile(const std::string& container, const EngineFiles& files = {});
    // Decrypts the container completely and checks the key and the data checksum without writing a byte.
    ResultCode VerifyFile(const std::string& container);

    // Encrypts what `in` gives up to its end (a pipe, standard input) into `out`, which this creates and
    // leaves complete but neither flushed nor committed. The plain size and the checksum are known only
    // at the end, so the header is written last; the container is the same as EncryptFile writes for the
    // same data. TooLarge as soon as the input reaches 4 GB, ReadFailed when reading fails.
    ResultCode EncryptStream(int in, CipherMethod method, PendingFile& out);
    // Decrypts a container read from `in` (a pipe, or an open file of `size` bytes) into `sink` as it goes.
    // From a stream (`size` 0) the body is as long as the header's plain size calls for, and the stream
    // must end there. The data checksum can only be checked once all the data has gone to the sink: a
    // WrongPassword result may come after it.
    ResultCode DecryptStream(int in, std::uint64_t size, const PlainSink& sink);

private:
    class DecryptRun;
    ResultCode
    EncryptOpened(const std::string& source, SourceFile& input, CipherMethod method, const EngineFiles& files);

    EngineHooks hooks_;
};

} // namespace vorlaxen
