#include "cli/KeyFileAccess.h"

namespace vorlaxen::cli {

KeyFileAccess::KeyFileAccess(Console& console,
                             const std::string& path,
                             bool useKeyFile,
                             std::optional<SecureBytes> master)
    : host_(console) {
    host_.Attach(table_);
    host_.SetMasterFromEnvironment(std::move(master));
    table_.MasterPass.KeyFilePath = path;
    table_.MasterPass.UseKeyFile = useKeyFile;
    Configure(table_);
}

void KeyFileAccess::Configure(TKX_PwdTable& table) {
    // A table marks itself busy for exactly the time it reads or writes the key file.
    table.SetBusyHook([this](bool busy) {
        if (busy)
            keyFileMutex_.lock();
        else
            keyFileMutex_.unlock();
    });
}

bool KeyFileAccess::MasterPasswordHeld() {
    const std::lock_guard<std::mutex> guard(masterMutex_);
    if (!table_.MasterPass.Valid) {
        // The check of a master password reads the key file.
        const std::lock_guard<std::mutex> reading(keyFileMutex_);
        host_.AskMasterPassword();
    }
    return table_.MasterPass.Valid;
}

void KeyFileAccess::CopyMasterPassword(TKX_MasterPass& into) {
    const bool held = MasterPasswordHeld();
    const std::lock_guard<std::mutex> guard(masterMutex_);
    into.ClearPassword();
    into.Valid = held;
    if (held) {
        into.Password = table_.MasterPass.Password;
        into.PasswordLength = table_.MasterPass.PasswordLength;
    }
}

KeyFileAccess::FileTable::FileTable(KeyFileAccess& access, TKX_Pwd& filePassword)
    : access_(access)
    , table_(access.host_, access.host_, *this, filePassword) {
    table_.MasterPass.KeyFilePath = access.table_.MasterPass.KeyFilePath;
    table_.MasterPass.UseKeyFile = access.table_.MasterPass.UseKeyFile;
    access.Configure(table_);
}

void KeyFileAccess::FileTable::AskMasterPassword() {
    access_.CopyMasterPassword(table_.MasterPass);
}

} // namespace vorlaxen::cli
