#include "support/Process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vorlaxen::test {

namespace {

// The child's environment: ours without a password, plus the options' variables.
std::vector<std::string> ChildEnvironment(const ProcessOptions& options) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        std::string name = entry.substr(0, entry.find('='));
        if (name == "VORLAXEN_PASSWORD" || options.env.count(name))
            continue;
        env.push_back(entry);
    }
    for (const auto& [name, value] : options.env)
        env.push_back(name + "=" + value);
    return env;
}

[[noreturn]] void ExecChild(const std::vector<std::string>& argv, const ProcessOptions& options) {
    if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0)
        ::_exit(127);
    std::vector<std::string> env = ChildEnvironment(options);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    ::execve(args[0], args.data(), envp.data());
    ::_exit(127);
}

int DecodeStatus(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

// Reads both pipes to their ends at once: a child that fills one pipe while the other is being read to
// its end would wait for ever (a run again reports hundreds of files on standard error).
void DrainBoth(int outFd, int errFd, std::string& out, std::string& err) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* texts[2] = {&out, &err};
    char buffer[4096];
    for (int open = 2; open > 0;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                fds[i].fd = -1; // ignored by poll from now on
                --open;
                continue;
            }
            texts[i]->append(buffer, static_cast<std::size_t>(got));
        }
    }
}

} // namespace

ProcessOptions IsolatedCliOptions(const std::string& cwd, const std::string& home) {
    ProcessOptions options;
    options.cwd = cwd;
    options.env["HOME"] = home;
    options.env["XDG_CONFIG_HOME"] = home + "/.config";
    options.env["VORLAXEN_SETTINGS_DEFAULTS"] = home + "/defaults.reg";
    options.env["VORLAXEN_SETTINGS"] = home + "/settings.reg";
    // Set even when empty: an empty variable counts as none, and the test's own one never leaks in.
    options.env["VORLAXEN_MASTER_PASSWORD"] = "";
    return options;
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    int out[2];
    int err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        throw std::runtime_error("pipe");
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        int devnull = ::open("/dev/null", O_RDONLY);
        ::dup2(devnull, STDIN_FILENO);
        ::close(out[0]);
        ::close(err[0]);
        ExecChild(argv, options);
    }
    ::close(out[1]);
    ::close(err[1]);
    ProcessResult result;
    DrainBoth(out[0], err[0], result.out, result.err);
    ::close(out[0]);
    ::close(err[0]);
    result.status = WaitProcess(pid);
    return result;
}

pid_t StartProcess(const std::vector<std::string>& argv, const ProcessOptions& options, const std::string& outputPath) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        int fd = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDOUT_FILENO);
        ::dup2(fd, STDERR_FILENO);
        ExecChild(argv, options);
    }
    return pid;
}

int WaitProcess(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return DecodeStatus(status);
}

TerminalSession::TerminalSession(const std::vector<std::string>& argv, const ProcessOptions& options) {
    pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ < 0)
        throw std::runtime_error("forkpty");
    if (pid_ == 0)
        ExecChild(argv, options);
}

TerminalSession::~TerminalSession() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        WaitProcess(pid_);
    }
    if (master_ >= 0)
        ::close(master_);
}

bool TerminalSession::waitFor(const std::string& text) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::size_t found;
    while ((found = transcript_.find(text, seen_)) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buffer[1024];
        ssize_t got = ::read(master_, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        transcript_.append(buffer, static_cast<std::size_t>(got));
    }
    seen_ = found + text.size();
    return true;
}

void TerminalSession::type(const std::string& text) {
    (void)!::write(master_, text.data(), text.size());
}

int TerminalSession::finish() {
    // Keep reading so the program never blocks on a full terminal buffer. A program that is silent for the
    // limit and still runs waits for an answer that nobody will type: it is killed, and the test fails
    // with what its terminal showed.
    constexpr int kSilenceLimit = 10000; // milliseconds
    for (;;) {
        pollfd p{master_, POLLIN, 0};
        const int ready = ::poll(&p, 1, kSilenceLimit);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            ::kill(pid_, SIGKILL);
            WaitProcess(pid_);
            pid_ = -1;
            ADD_FAILURE() << "The program was silent for " << kSilenceLimit / 1000
                          << " s without ending, and was killed. Its terminal showed:\n"
                          << transcript_;
            return -1;
        }
        if (ready < 0)
            break;
        char buffer[1024];
        ssize_t got = ::read(master_, buffer, sizeof buffer);
        if (got <= 0)
            break;
        transcript_.append(buffer, static_cast<std::size_t>(got));
    }
    int status = WaitProcess(pid_);
    pid_ = -1;
    return status;
}

} // namespace vorlaxen::test
