#include "cli/RekeyRun.h"

#include "cli/KeyFilePaths.h"
#include "engine/ContainerFormat.h"
#include "engine/ContainerRekey.h"
#include "fileops/SingleFileOperation.h"
#include "fileops/StaleTemporaries.h"
#include "passwords/KeyFilePassword.h"
#include "passwords/PasswordRules.h"
#include "platform/CrashPoint.h"
#include "platform/FileSystem.h"
#include "platform/PendingFile.h"
#include "platform/SourceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen::cli {

namespace {

// The new container as it is on the disk: what the system keeps of it in memory is dropped first, so
// that the verification reads the disk's own bytes.
ResultCode VerifyOnDisk(TKX_Pwd& pwd, const PendingFile& output) {
    (void)::posix_fadvise(output.fd(), 0, 0, POSIX_FADV_DONTNEED);
    const std::string path = output.unnamed() ? "/proc/self/fd/" + std::to_string(output.fd()) : output.temporaryPath();
    return pwd.VerifyFile(path);
}

} // namespace

RekeyRun::RekeyRun(const Request& request,
                   const std::atomic<bool>& abort,
                   Console& console,
                   TypedPassword& current,
                   std::optional<SecureBytes> newFromEnvironment,
                   KeyFileAccess& keyFile,
                   FileCalls& calls)
    : request_(request)
    , abort_(abort)
    , console_(console)
    , current_(current)
    , new_(console,
           TypedPassword::Source{std::move(newFromEnvironment),
                                 request.newPasswordFile,
                                 "Enter the new password",
                                 "No new password: set VORLAXEN_NEW_PASSWORD, use --new-password-file, or run at "
                                 "a terminal."})
    , keyFile_(keyFile)
    , calls_(calls) {}

int RekeyRun::Run() {
    return RunFileByFile(
        request_.files,
        false,
        abort_,
        console_,
        [this](const std::string& file) {
            counted_ = 0;
            return RekeyOne(file);
        },
        // Without a password for this file there is none for the next ones either.
        [](int result) { return result == -static_cast<int>(ResultCode::Aborted) || result == kExitUsage; });
}

// The new password must fit every method it is given to: the one asked for, or each container's own.
std::size_t RekeyRun::NewPasswordLimit() const {
    if (request_.methodGiven)
        return EncryptPasswordLimit(request_.method);
    std::size_t limit = kMaxDecryptPasswordLength;
    for (const std::string& file : request_.files)
        if (const MethodInfo* method = MethodOfFile(file))
            limit = std::min(limit, EncryptPasswordLimit(method->code));
    return limit;
}

void RekeyRun::SetHooks(TKX_Pwd& pwd) {
    EngineHooks hooks;
    hooks.abortFlag = &abort_;
    hooks.letPendingEventsRun = [this, &pwd] {
        const auto done = static_cast<std::uint64_t>(pwd.BlocksDone.load()) * 8;
        if (done > counted_) {
            console_.BytesDone(done - counted_);
            counted_ = done;
        }
        console_.Tick();
    };
    pwd.SetHooks(std::move(hooks));
}

int RekeyRun::Report(ResultCode code, const std::string& file) {
    console_.Say(CompanionResultText(code, file));
    return -static_cast<int>(code);
}

int RekeyRun::RekeyOne(const std::string& file) {
    struct stat looked;
    if (::lstat(file.c_str(), &looked) != 0) {
        console_.Say(FillIn("File %s not found.", file));
        return -static_cast<int>(ResultCode::CannotOpen);
    }
    SourceFile input;
    if (const SourceFile::Status opened = input.open(file); opened != SourceFile::Status::Open) {
        if (opened == SourceFile::Status::Missing) {
            console_.Say(FillIn("File %s not found.", file));
            return -static_cast<int>(ResultCode::CannotOpen);
        }
        return Report(OpenFailure(opened), file);
    }

    TKX_Pwd current;
    SetHooks(current);
    TKX_Pwd next;
    next.SetHooks(current.Hooks());
    std::unique_ptr<KeyFileAccess::FileTable> table;
    std::optional<KeyFilePassword> stored;
    const std::string key = EntryKeyOf(PlainPathOf(file));
    if (keyFile_.inUse()) {
        table = keyFile_.TableFor(current);
        stored.emplace(table->table(), current, key);
    }
    auto useGivenPassword = [&]() {
        const int status = current_.Obtain(kMaxDecryptPasswordLength, false, abort_);
        if (status == 0)
            current.SetPassword(current_.bytes().data(), current_.bytes().size());
        return status;
    };
    if (!stored || !stored->Found()) {
        if (int status = useGivenPassword(); status != 0)
            return status;
    }
    ContainerRekey rekey(current, input);
    ResultCode result = rekey.Open();
    if (result == ResultCode::WrongPassword && stored && stored->Found()) {
        stored->NotDecrypted();
        console_.Say(FillIn("The password stored for %s does not open it; the password given is tried instead.", file));
        if (int status = useGivenPassword(); status != 0)
            return status;
        result = rekey.Open();
    }
    if (result != ResultCode::Ok)
        return Report(result, file);

    if (int status = new_.Obtain(NewPasswordLimit(), true, abort_); status != 0)
        return status;
    next.SetPassword(new_.bytes().data(), new_.bytes().size());
    const int method = request_.methodGiven ? request_.method : rekey.method().code;

    TidyBeforeOutput(DirectoryOf(file));
    PendingFile output(file);
    result = rekey.Write(next, method, output);
    if (result != ResultCode::Ok)
        return Report(result, file);
    if (calls_.Fsync(output.fd()) != 0)
        return Report(ResultCode::WriteFailed, file);
    if (VerifyOnDisk(next, output) != ResultCode::Ok) {
        console_.Say(FillIn("The new container of %s does not read back as it was written; the old one has been "
                            "left as it was.",
                            file));
        return -static_cast<int>(ResultCode::WriteFailed);
    }
    CrashPoint("rekey-verified");
    (void)::fchmod(output.fd(), looked.st_mode & 07777);
    if (!input.unchanged())
        return Report(ResultCode::ContainerChanged, file);
    if (const ResultCode committed = CommitResultCode(output.link(true)); committed != ResultCode::Ok)
        return Report(committed, file);
    CrashPoint("committed");
    SyncDirectoryOf(file);

    // The key file's entry follows the new password: replaced in one step, so that no moment passes in
    // which the key file holds no password for the container.
    if (stored && stored->Found()) {
        stored.reset();
        current.SetPassword(new_.bytes().data(), new_.bytes().size());
        if (!table->table().StorePassword(key)) {
            console_.Say(
                FillIn("File %s has its new password, but the database of passwords could not be given it.", file));
            return kExitKeyFile;
        }
    }
    return 0;
}

} // namespace vorlaxen::cli
