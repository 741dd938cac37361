#include "cli/RekeyRun.h"

#include "cli/FileRun.h"
#include "cli/RunContext.h"
#include "engine/ContainerFormat.h"
#include "passwords/PasswordRules.h"

#include <algorithm>
#include <sys/stat.h>

namespace vorlaxen::cli {

RekeyRun::RekeyRun(const Request& request,
                   const std::atomic<bool>& abort,
                   Console& console,
                   TypedPassword& current,
                   std::optional<SecureBytes> newFromEnvironment,
                   KeyFileAccess& keyFile)
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
    , keyFile_(keyFile) {}

// One file after the other: the new password is asked for once, at the first file that needs it.
int RekeyRun::Run() {
    RunContext context{request_, abort_, console_, current_, keyFile_};
    context.newPassword = &new_;
    context.newPasswordLimit = NewPasswordLimit();
    std::vector<RunItem> items;
    for (const std::string& file : request_.files) {
        struct stat st;
        const bool regular = ::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        items.push_back(RunItem{file, regular ? static_cast<std::uint64_t>(st.st_size) : 0});
    }
    return FileRun(context, std::move(items), 1).Run();
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

} // namespace vorlaxen::cli
