#pragma once

#include "engine/ResultCode.h"
#include "ports/Direction.h"

#include <string>

namespace vorlaxen {

// What the single-file operation asks of its front end (the main window or the companion) and tells it.
class SingleFileFrontEnd {
public:
    virtual ~SingleFileFrontEnd() = default;

    // The target exists: may it be replaced? `question` is the program's question, naming the target.
    virtual bool MayReplace(const std::string& question) = 0;
    virtual void ShowStatus(const std::string& text) = 0;
    virtual void ShowError(const std::string& text) = 0;
    // Shows the message of a non-zero result for the file `name`.
    virtual void ReportResult(ResultCode code, const std::string& name) = 0;
    // Just before and just after the engine runs.
    virtual void EngineStarting(Direction direction) = 0;
    virtual void EngineFinished(Direction direction) = 0;
};

} // namespace vorlaxen
