#pragma once

#include "engine/ResultCode.h"
#include "engine/TKX_Pwd.h"
#include "passwords/EntryList.h"
#include "passwords/TKX_MasterPass.h"
#include "platform/FileLock.h"
#include "platform/SecureMemory.h"
#include "ports/MasterPasswordSource.h"
#include "ports/MessageBox.h"
#include "ports/PendingEvents.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vorlaxen {

// The password table: file passwords kept on disk in the key file ("PT98", IDEA under the master
// password) under the plain file's full path, so that a file can be decrypted without typing its
// password again. The table lives on disk only: every operation reads and decrypts the whole key file,
// changes it, writes it back under a temporary name that replaces the old file only once complete, and
// zeroes its copy; between operations no entry is held in memory.
//
// Any number of processes (windows, companions, their threads) may use one key file at once. Every
// change is one step under an exclusive lock on the key file's lock file (KeyFileLockPath): lock, read
// the table as it is on disk now, make this one change, write and commit, unlock; a table read before
// the lock is never written back. Reading takes the lock shared for as long as it reads. A lock that
// does not come free within the time allowed is reported, and the key file is left as it was.
//
// The table fills or reads the file password object that it is given, owns the master password object
// and asks `masterPassword` for a master password when it needs one and none is held. It reports through
// `messages` and lets pending events run after every chunk it reads.
class TKX_PwdTable {
public:
    TKX_PwdTable(MessageBox& messages,
                 PendingEvents& events,
                 MasterPasswordSource& masterPassword,
                 TKX_Pwd& filePassword);
    ~TKX_PwdTable();
    TKX_PwdTable(const TKX_PwdTable&) = delete;
    TKX_PwdTable& operator=(const TKX_PwdTable&) = delete;

    // The lines of the table text while one operation runs; empty at all other times.
    EntryList Entries;
    TKX_MasterPass MasterPass;

    // Stores the file password object's password (its PasswordLength bytes) under `key`, replacing an
    // entry of the same key, after asking for the master password when none is held. A key that could
    // never be found again, or a password that a line cannot hold, is refused with a message that says
    // so. True when the key file now holds the password; every failure has been reported.
    bool StorePassword(const std::string& key);

    // Whether a look-up removes the entry it finds (Take) or leaves the key file as it is (Read).
    enum class Lookup { Take, Read };

    // When the key file is in use: puts the password stored under `key` into the file password object
    // (masked; its Valid flag is left alone) and, with Take, removes the entry from the key file. Asks
    // for the master password when none is held. False when there is no such entry, no master password,
    // or the key file cannot be read (reported).
    bool FindPassword(const std::string& key, Lookup how = Lookup::Take);

    // Removes the entry of `key` while it still holds `password` (masked, as the file password object
    // holds it), with the master password held; asks for none. For the entry of a file that has been
    // decrypted: an entry stored meanwhile for a newer container of the same name stays. False only
    // when the key file could not be read or written (reported).
    bool RemoveEntry(const std::string& key, const SecureBytes& password);

    // Told true when the key file starts being read or written and false when that is done. Pending
    // events run while it is read, and no operation may start from them meanwhile: the window marks
    // itself busy for that time.
    void SetBusyHook(std::function<void(bool)> hook) { busyHook_ = std::move(hook); }

    // How long an operation waits for the key file's lock while another process holds it, and how.
    void SetLockWaiting(LockWaiting waiting) { lockWaiting_ = std::move(waiting); }
    // The lock file of the key file in use: beside the file that a write replaces (where a symbolic
    // link points), hidden, named after it.
    std::string KeyFileLockPath() const;

    // Opens the key file and compares its key check with the key made from the master password; with
    // `withText` also decrypts the body into Entries. A missing key file is CannotOpen.
    ResultCode LoadKeyFile(bool withText);

    // The entry keys of the key file, never the passwords, after asking for the master password when
    // none is held. A missing key file is an empty table. False when the table cannot be read (reported).
    bool ListKeys(std::vector<std::string>& keys);

    // Empty when a password can be stored under `key`; otherwise the message that tells the user why it
    // was not stored (a key ends at the first "=" of its line, and a line at a line break).
    static std::string UnstorableKeyText(const std::string& key);

    static constexpr const char* kAccessErrorText = "Error occured while accessing database of passwords.";
    // The key file stayed locked by another process for the whole time allowed (%s: its path).
    static constexpr const char* kBusyText = "The database of passwords %s is in use by another program and did "
                                             "not become free within %d seconds; nothing was changed in it.";

private:
    bool AddEntry(const std::string& key);
    bool TakeEntry(const std::string& key, Lookup how);
    // Takes the key file's lock for one operation. A shared lock that cannot be had because the lock file
    // cannot be made (a directory that is not ours to write) still lets the key file be read: it is only
    // ever replaced whole. Anything else that keeps the lock away is reported, and false.
    bool LockKeyFile(FileLock& lock, FileLock::Mode mode);
    // Reads the table into Entries; a missing key file is an empty table, but one that exists and cannot be
    // opened is an error (reported), never an empty table that a write would put in its place.
    bool LoadEntries();
    void ClearEntries() noexcept;
    ResultCode SaveKeyFile();
    void ReportAccessError();
    bool MasterPasswordHeld();

    static void WipeBytes(void* buffer, std::size_t n) noexcept;
    static void WipeStream(SecureBuffer& stream) noexcept;

    // Marks the key file busy for the lifetime of one table operation.
    class BusyScope;

    MessageBox& messages_;
    PendingEvents& events_;
    MasterPasswordSource& masterPassword_;
    TKX_Pwd& filePassword_;
    std::function<void(bool)> busyHook_;
    LockWaiting lockWaiting_;
};

} // namespace vorlaxen
