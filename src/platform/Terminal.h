#pragma once

#include "platform/SecureMemory.h"

#include <memory>
#include <string>
#include <string_view>

namespace vorlaxen {

// The controlling terminal of the process, for questions and passwords that must come from a person
// even when standard input and output are redirected.
class Terminal {
public:
    // Null when the process has no controlling terminal.
    static std::unique_ptr<Terminal> Open();
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    void write(std::string_view text);
    // Reads one line without its line ending; false at end of input or on an interrupted read.
    bool readLine(std::string& line);
    // Shows `prompt` once echo is off, then reads one line; the line never passes through unzeroed memory.
    bool readSecret(std::string_view prompt, SecureBytes& secret);

private:
    explicit Terminal(int fd)
        : fd_(fd) {}
    bool readInto(SecureBytes& bytes);

    int fd_;
};

// Whether a descriptor (standard error for progress lines) is a terminal.
bool IsTerminal(int fd) noexcept;

} // namespace vorlaxen
