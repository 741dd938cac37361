#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vorlaxen::test {

struct ProcessResult {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::string cwd;
    // Variables set on top of the test's own environment, from which VORLAXEN_PASSWORD is removed.
    std::map<std::string, std::string> env;
};

// Options for a run of the command-line companion in `cwd` that sees neither the real home directory
// (a key file there would make decryption ask for its master password) nor the real settings: both
// live in `home`. No master password is set.
ProcessOptions IsolatedCliOptions(const std::string& cwd, const std::string& home);

// Runs a program to completion in a new session, so it has no controlling terminal.
ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// Starts a program in a new session without waiting; standard output and error go to `outputPath`.
pid_t StartProcess(const std::vector<std::string>& argv, const ProcessOptions& options, const std::string& outputPath);
int WaitProcess(pid_t pid);

// A program running on a pseudo-terminal that the test talks to as a person at a keyboard would.
class TerminalSession {
public:
    TerminalSession(const std::vector<std::string>& argv, const ProcessOptions& options);
    ~TerminalSession();
    // Reads until `text` has appeared after the previous match (true) or a few seconds have passed (false).
    bool waitFor(const std::string& text);
    void type(const std::string& text);
    // Waits for the program to end and returns its exit status. A program silent for ten seconds that
    // has not ended is killed: the test fails with the transcript, and -1 is returned.
    int finish();
    const std::string& transcript() const { return transcript_; }
    pid_t pid() const { return pid_; }

private:
    int master_ = -1;
    pid_t pid_ = -1;
    std::string transcript_;
    std::size_t seen_ = 0;
};

} // namespace vorlaxen::test
