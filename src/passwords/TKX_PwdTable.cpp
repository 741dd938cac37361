#include "passwords/TKX_PwdTable.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <sys/stat.h>
#include <thread>

namespace vorlaxen {

namespace {

// CR and LF end a line of the table text, a zero byte ends the text.
bool EndsALineOrTheText(const std::uint8_t* bytes, std::size_t n) {
    return std::any_of(bytes, bytes + n, [](std::uint8_t c) { return c == '\r' || c == '\n' || c == 0; });
}

} // namespace

class TKX_PwdTable::BusyScope {
public:
    explicit BusyScope(const std::function<void(bool)>& hook)
        : hook_(hook) {
        if (hook_)
            hook_(true);
    }
    ~BusyScope() {
        if (hook_)
            hook_(false);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    const std::function<void(bool)>& hook_;
};

TKX_PwdTable::TKX_PwdTable(MessageBox& messages,
                           PendingEvents& events,
                           MasterPasswordSource& masterPassword,
                           TKX_Pwd& filePassword)
    : messages_(messages)
    , events_(events)
    , masterPassword_(masterPassword)
    , filePassword_(filePassword) {}

TKX_PwdTable::~TKX_PwdTable() {
    ClearEntries();
}

void TKX_PwdTable::WipeBytes(void* buffer, std::size_t n) noexcept {
    SecureZero(buffer, n);
}

void TKX_PwdTable::WipeStream(SecureBuffer& stream) noexcept {
    stream.reset();
}

void TKX_PwdTable::ClearEntries() noexcept {
    Entries.Clear();
}

void TKX_PwdTable::ReportAccessError() {
    (void)messages_.ShowMessage(MessageKind::Error, kAccessErrorText, MessageButtons::Ok);
}

bool TKX_PwdTable::LockKeyFile(FileLock& lock, FileLock::Mode mode) {
    LockWaiting waiting = lockWaiting_;
    // The window stays responsive while it waits, as it does while it reads.
    waiting.pause = [this, pause = std::move(waiting.pause)](std::chrono::milliseconds step) {
        if (pause)
            pause(step);
        else
            std::this_thread::sleep_for(step);
        events_.LetPendingEventsRun();
    };
    const std::string path = KeyFileLockPath();
    const FileLock::Status status = path.empty() ? FileLock::Status::Unavailable : lock.acquire(path, mode, waiting);
    if (status == FileLock::Status::Held || (status == FileLock::Status::Unavailable && mode == FileLock::Mode::Shared))
        return true;
    if (status == FileLock::Status::Busy) {
        std::string text = kBusyText;
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(lockWaiting_.limit).count();
        text.replace(text.find("%d"), 2, std::to_string(seconds));
        (void)messages_.ShowMessage(MessageKind::Error, FillIn(text, MasterPass.KeyFile()), MessageButtons::Ok);
    } else {
        ReportAccessError();
    }
    return false;
}

bool TKX_PwdTable::MasterPasswordHeld() {
    if (!MasterPass.Valid)
        masterPassword_.AskMasterPassword();
    return MasterPass.Valid;
}

std::string TKX_PwdTable::UnstorableKeyText(const std::string& key) {
    if (key.find('=') != std::string::npos)
        return FillIn("The password for the file %s was not stored: the database of passwords cannot find a file "
                      "again whose full path contains \"=\".",
                      key);
    if (EndsALineOrTheText(reinterpret_cast<const std::uint8_t*>(key.data()), key.size()))
        return FillIn("The password for the file %s was not stored: the database of passwords cannot find a file "
                      "again whose full path contains a line break.",
                      key);
    return {};
}

bool TKX_PwdTable::StorePassword(const std::string& key) {
    if (std::string refusal = UnstorableKeyText(key); !refusal.empty()) {
        (void)messages_.ShowMessage(MessageKind::Error, refusal, MessageButtons::Ok);
        return false;
    }
    if (!MasterPasswordHeld())
        return false;
    return AddEntry(key);
}

bool TKX_PwdTable::FindPassword(const std::string& key, Lookup how) {
    if (!MasterPass.UseKeyFile)
        return false;
    // Such a key is never stored, so there is nothing to find and no reason to ask for the master password.
    if (!UnstorableKeyText(key).empty())
        return false;
    if (!MasterPasswordHeld())
        return false;
    return TakeEntry(key, how);
}

bool TKX_PwdTable::RemoveEntry(const std::string& key, const SecureBytes& password) {
    if (!MasterPass.Valid)
        return false;
    SecureBytes typed(password);
    MaskBytes(typed.data(), typed.size());
    BusyScope busy(busyHook_);
    FileLock lock;
    if (!LockKeyFile(lock, FileLock::Mode::Exclusive) || !LoadEntries())
        return false;
    const std::size_t at = Entries.Find(key);
    std::size_t length = 0;
    const std::uint8_t* stored = at == EntryList::npos ? nullptr : Entries.PasswordOf(at, length);
    if (!stored || length != typed.size() || !std::equal(typed.begin(), typed.end(), stored)) {
        ClearEntries();
        return true;
    }
    Entries.Erase(at);
    const ResultCode code = SaveKeyFile();
    ClearEntries();
    if (code != ResultCode::Ok) {
        ReportAccessError();
        return false;
    }
    return true;
}

bool TKX_PwdTable::LoadEntries() {
    ClearEntries();
    const ResultCode code = LoadKeyFile(true);
    if (code == ResultCode::Ok)
        return true;
    // No key file yet is an empty table; one that is there but cannot be opened is not, or the write that
    // follows would replace it and lose every password it holds.
    struct stat st;
    if (code == ResultCode::CannotOpen && ::stat(MasterPass.KeyFile().c_str(), &st) != 0 && errno == ENOENT)
        return true;
    ClearEntries();
    ReportAccessError();
    return false;
}

bool TKX_PwdTable::AddEntry(const std::string& key) {
    const auto length =
        std::min(static_cast<std::size_t>(std::max(filePassword_.PasswordLength, 0)), filePassword_.Password.size());
    SecureBytes password(filePassword_.Password.begin(),
                         filePassword_.Password.begin() + static_cast<std::ptrdiff_t>(length));
    MaskBytes(password.data(), password.size());
    if (EndsALineOrTheText(password.data(), password.size())) {
        WipeBytes(password.data(), password.size());
        (void)messages_.ShowMessage(MessageKind::Error,
                                    FillIn("The password for the file %s was not stored: the database of passwords "
                                           "cannot keep a password that contains a line break.",
                                           key),
                                    MessageButtons::Ok);
        return false;
    }
    BusyScope busy(busyHook_);
    FileLock lock;
    if (!LockKeyFile(lock, FileLock::Mode::Exclusive) || !LoadEntries()) {
        WipeBytes(password.data(), password.size());
        return false;
    }
    for (std::size_t at = Entries.Find(key); at != EntryList::npos; at = Entries.Find(key))
        Entries.Erase(at);
    try {
        Entries.Add(key, password.data(), password.size());
    } catch (const std::bad_alloc&) {
        ClearEntries();
        ReportAccessError();
        return false;
    }
    WipeBytes(password.data(), password.size());

    const ResultCode code = SaveKeyFile();
    ClearEntries();
    if (code != ResultCode::Ok) {
        ReportAccessError();
        return false;
    }
    return true;
}

bool TKX_PwdTable::TakeEntry(const std::string& key, Lookup how) {
    BusyScope busy(busyHook_);
    FileLock lock;
    if (!LockKeyFile(lock, how == Lookup::Take ? FileLock::Mode::Exclusive : FileLock::Mode::Shared) || !LoadEntries())
        return false;
    const std::size_t at = Entries.Find(key);
    if (at == EntryList::npos) {
        ClearEntries();
        return false;
    }
    std::size_t length = 0;
    const std::uint8_t* password = Entries.PasswordOf(at, length);
    filePassword_.SetPassword(password, length);
    if (how == Lookup::Read) {
        ClearEntries();
        return true;
    }
    Entries.Erase(at);

    const ResultCode code = SaveKeyFile();
    ClearEntries();
    // The password has been found even when the shortened table could not be written; the old key file
    // then still holds the entry.
    if (code != ResultCode::Ok)
        ReportAccessError();
    return true;
}

bool TKX_PwdTable::ListKeys(std::vector<std::string>& keys) {
    keys.clear();
    if (!MasterPasswordHeld())
        return false;
    BusyScope busy(busyHook_);
    FileLock lock;
    if (!LockKeyFile(lock, FileLock::Mode::Shared) || !LoadEntries())
        return false;
    keys = Entries.Keys();
    ClearEntries();
    return true;
}

} // namespace vorlaxen
