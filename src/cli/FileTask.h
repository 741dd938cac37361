#pragma once

#include "cli/KeyFileAccess.h"
#include "cli/RunContext.h"
#include "engine/TKX_Pwd.h"
#include "fileops/SingleFileOperation.h"
#include "passwords/KeyFilePassword.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vorlaxen::cli {

// One file of an encryption, decryption or rekey run, with everything of its own: its engine object (its
// password and progress), its key-file table, its job and its front end. It runs the single-file
// operation alone, or as one of a group (not rekey): then Start ends with the output written and held,
// and Finish follows once CompleteGroup has made the group durable, possibly on another thread.
class FileTask : private SingleFileFrontEnd {
public:
    FileTask(RunContext& run, std::string file, std::uint64_t size);
    ~FileTask() override;
    FileTask(const FileTask&) = delete;
    FileTask& operator=(const FileTask&) = delete;

    // Runs the file alone to its end, or as one of a group up to its held output. True when the file
    // waits for its group (grouped() is set); its status is final otherwise.
    bool Start(bool inGroup);
    SingleFileOperation::GroupedFile* grouped() const noexcept { return grouped_.get(); }
    // After the group is complete: what the key file keeps of the file, and its status.
    void Finish();

    // 0, or the exit status of the file's failure.
    int status() const noexcept { return status_; }

private:
    bool MayReplace(const std::string& question) override;
    void ShowStatus(const std::string&) override {}
    void ShowError(const std::string& text) override;
    void ReportResult(ResultCode code, const std::string& name) override;
    void EngineStarting(Direction) override {}
    void EngineFinished(Direction) override {}

    void DescribeFiles();
    void PrepareEncryption();
    void PrepareDecryption();
    void PrepareRekey();
    // The operation, alone or grouped; sets outcome_ when it ended before the group.
    bool RunOperation(bool inGroup);
    void Done(const SingleFileOutcome& outcome);
    int StatusOf(const SingleFileOutcome& outcome) const;
    void CountProgress();

    RunContext& run_;
    const std::string file_;
    const std::uint64_t size_;
    std::uint64_t counted_ = 0;
    const bool encrypting_;
    const bool rekeying_;
    const bool fromInput_; // the file is "-", standard input
    TKX_Pwd pwd_;
    std::unique_ptr<KeyFileAccess::FileTable> table_;
    SingleFileOperation operation_{pwd_, *this};
    SingleFileJob job_;
    std::optional<KeyFilePassword> stored_;
    int passwordStatus_ = 0;
    std::unique_ptr<SingleFileOperation::GroupedFile> grouped_;
    SingleFileOutcome outcome_;
    int status_ = 0;
};

} // namespace vorlaxen::cli
