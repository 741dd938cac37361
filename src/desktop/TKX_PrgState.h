#pragma once

#include "platform/SecureMemory.h"
#include "ports/AppLauncher.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>
#include <sys/types.h>

namespace vorlaxen {

// What the user said to the question whether a watched file whose application ended at once may be
// encrypted again.
enum class ReencryptAnswer { None, Yes, NotYet };

// One file decrypted for "open" or "print" and handed to an application whose process is watched.
struct OpenFileInfoR {
    bool InUse = false;
    pid_t Process = 0;
    bool Running = false;
    std::string FileName; // full path of the decrypted plain file

    // The password that decrypted the file (masked), which encrypts it again; zeroed when the slot is
    // freed.
    SecureBytes Password;
    LaunchVerb Verb = LaunchVerb::Open;
    std::chrono::steady_clock::time_point Started{}; // when the application was started
    std::time_t Opened = 0;                          // the same, as a file time (for lock files)
    bool QuickExit = false;   // the application ended within moments: it may have handed the file on
    bool PrintFailed = false; // lp ended with a failure
    ReencryptAnswer Answer = ReencryptAnswer::None;

    // Frees the slot and zeroes its password.
    void Release() {
        SecureBytes().swap(Password);
        *this = OpenFileInfoR{};
    }
};

// The opened-file table: at most 20 files are watched at a time.
struct OpFilesR {
    static constexpr std::size_t kSlots = 20;
    std::array<OpenFileInfoR, kSlots> Files{};
    std::int32_t Count = 0;
};

// The program state shared by every operation: what is in progress, the request to stop it, the files
// opened in other applications, and a few flags that several parts of the window share.
class TKX_PrgState {
public:
    // Members of the busy set.
    static constexpr std::uint8_t kEncrypting = 1;
    static constexpr std::uint8_t kDecrypting = 2;
    static constexpr std::uint8_t kWholeDirectory = 4;
    static constexpr std::uint8_t kDeleting = 8;
    // The key file is being read or written. Pending events run while it is read, and an operation
    // started from them would work on a table that the running one then writes back over.
    static constexpr std::uint8_t kKeyFile = 16;
    // A watched file is being encrypted again, from the overwrite question to the end of its wipe.
    static constexpr std::uint8_t kReencrypting = 32;

    // A request to stop the running operation; the engine polls it after every block. Atomic because a
    // signal handler of the command line may set it.
    std::atomic<bool> AbortFlag{false};
    OpFilesR OpFiles;
    std::uint8_t Busy = 0;      // empty: idle
    bool PanesUnread = true;    // the panes have not been read yet
    bool SaveToTable = false;   // passwords of encrypted files go into the password table
    bool ProgressShown = false; // the progress bars are shown under the panes
    bool Overwrite = false;     // the target of the running single-file operation existed and is replaced
    bool FullDetails = true;    // the pane entries added last carry their icon and details
    // A list run is going on, from its start to its end, also while it waits between two files (when
    // the busy set may be empty): the status line is not told "Idle." before the end, and the panes do
    // not take in the run's own changes from the directory's watch.
    bool ListRunning = false;

    bool IsBusy() const noexcept { return Busy != 0; }
    bool IsBusyWith(std::uint8_t flag) const noexcept { return (Busy & flag) != 0; }
    void SetBusy(std::uint8_t flag) noexcept { Busy = static_cast<std::uint8_t>(Busy | flag); }
    void ClearBusy(std::uint8_t flag) noexcept { Busy = static_cast<std::uint8_t>(Busy & ~flag); }

    // Holds one member of the busy set for its lifetime and gives it up on every way out.
    class BusyScope {
    public:
        BusyScope(TKX_PrgState& state, std::uint8_t flag) noexcept
            : state_(state)
            , flag_(flag) {
            state_.SetBusy(flag_);
        }
        ~BusyScope() { state_.ClearBusy(flag_); }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        TKX_PrgState& state_;
        std::uint8_t flag_;
    };
};

} // namespace vorlaxen
