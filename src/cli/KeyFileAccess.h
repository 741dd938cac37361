#pragma once

#include "cli/Console.h"
#include "cli/ConsoleHost.h"
#include "engine/TKX_Pwd.h"
#include "passwords/TKX_PwdTable.h"
#include "platform/SecureMemory.h"
#include "ports/MasterPasswordSource.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace vorlaxen::cli {

// The key file as the files of one run use it, from whichever thread processes them. The master
// password is asked for once, for the run (ConsoleHost, through the run's own table); each file gets a
// table of its own around its own file password object, which takes a copy of the master password when
// it needs one; and every reading or writing of the key file, by any of these tables, waits for the one
// before to end, so that no change to it is ever lost.
class KeyFileAccess {
public:
    // `useKeyFile`: decryption looks for passwords in it (it exists). `master`: VORLAXEN_MASTER_PASSWORD.
    KeyFileAccess(Console& console, const std::string& path, bool useKeyFile, std::optional<SecureBytes> master);
    KeyFileAccess(const KeyFileAccess&) = delete;
    KeyFileAccess& operator=(const KeyFileAccess&) = delete;

    // The run's own table (for `keys`), used on one thread while no file runs.
    TKX_PwdTable& table() noexcept { return table_; }

    // Whether decryption looks in the key file (it existed when the run began).
    bool inUse() const noexcept { return table_.MasterPass.UseKeyFile; }

    // Whether a master password is held, after asking for one when none is.
    bool MasterPasswordHeld();

    // A file's own table around its file password object.
    class FileTable : private MasterPasswordSource {
    public:
        FileTable(KeyFileAccess& access, TKX_Pwd& filePassword);
        TKX_PwdTable& table() noexcept { return table_; }

    private:
        void AskMasterPassword() override;

        KeyFileAccess& access_;
        TKX_PwdTable table_;
    };
    std::unique_ptr<FileTable> TableFor(TKX_Pwd& filePassword) {
        return std::make_unique<FileTable>(*this, filePassword);
    }

private:
    // Makes `into` hold the run's master password, asking for it the first time.
    void CopyMasterPassword(TKX_MasterPass& into);
    void Configure(TKX_PwdTable& table);

    std::mutex masterMutex_;
    std::mutex keyFileMutex_;
    ConsoleHost host_;
    TKX_Pwd filePassword_; // the run's table needs one; it holds none
    TKX_PwdTable table_{host_, host_, host_, filePassword_};
};

} // namespace vorlaxen::cli
