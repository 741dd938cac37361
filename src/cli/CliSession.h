#pragma once

#include "cli/CommandLine.h"
#include "cli/ConsoleHost.h"
#include "cli/EnvironmentPasswords.h"
#include "cli/TypedPassword.h"
#include "engine/ResultCode.h"
#include "engine/TKX_Pwd.h"
#include "fileops/SingleFileOperation.h"
#include "passwords/TKX_PwdTable.h"
#include "platform/Terminal.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

namespace vorlaxen::cli {

// One run of vorlaxen-cli over its files: obtains the password once (when decrypting, only for the first
// file whose password the key file does not hold), processes the files in order, reports each failure
// with the program's own message and goes on, and answers the exit status. Each file goes through the
// single-file operation that the window uses too; this class is its front end on the terminal.
class CliSession : private SingleFileFrontEnd {
public:
    CliSession(Request request, std::atomic<bool>& abortFlag, EnvironmentPasswords environment = {});
    int Run();

private:
    bool MayReplace(const std::string& question) override;
    void ShowStatus(const std::string&) override {}
    void ShowError(const std::string& text) override;
    void ReportResult(ResultCode code, const std::string& name) override;
    void EngineStarting(Direction direction) override;
    void EngineFinished(Direction direction) override;
    int ExitStatusOf(const SingleFileOutcome& outcome) const;

    int ObtainPassword();
    int UseTypedPassword();
    int ProcessFile(const std::string& file);
    int EncryptOne(const std::string& file);
    int DecryptOne(const std::string& file);
    int VerifyOne(const std::string& file);
    int InfoOne(const std::string& file);
    int ListKeys();
    int Report(ResultCode code, const std::string& file);
    void DrawProgress();
    void ClearProgress();

    Request request_;
    std::atomic<bool>& abort_;
    std::unique_ptr<Terminal> terminal_;
    TypedPassword typed_;
    ConsoleHost host_;
    TKX_Pwd pwd_;
    TKX_PwdTable table_{host_, host_, host_, pwd_};
    SingleFileOperation operation_{pwd_, *this};
    bool showProgress_ = false;
    bool progressDrawn_ = false;
    std::string currentFile_;
    std::chrono::steady_clock::time_point fileStarted_;
    std::chrono::steady_clock::time_point lastDrawn_;
};

} // namespace vorlaxen::cli
