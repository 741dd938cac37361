#pragma once

#include "desktop/ShellOperations.h"
#include "desktop/SystemLauncher.h"
#include "desktop/WindowFixture.h"
#include "engine/ContainerFormat.h"
#include "support/TestDesktop.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <thread>

namespace vorlaxen::test {

// Applications as the watch sees them, played by the test: each launch is recorded and gets a made-up
// process that runs until the test ends it; launching fails while `startable` is false; a file is in use
// while the test says so.
class FakeLauncher : public AppLauncher {
public:
    struct Launched {
        LaunchVerb verb;
        std::string path;
        std::string directory;
        bool watch;
        pid_t process;
    };

    pid_t Launch(LaunchVerb verb, const std::string& path, const std::string& directory, bool watch) override {
        const pid_t process = startable ? next_++ : 0;
        launched.push_back({verb, path, directory, watch, process});
        if (process)
            ended_.erase(process);
        return process;
    }
    ChildStatus Poll(pid_t process) override {
        const auto found = ended_.find(process);
        return found == ended_.end() ? ChildStatus::Running : found->second;
    }
    bool InUse(const std::string& path, std::time_t) override { return inUse.count(path) > 0; }

    void End(pid_t process, ChildStatus status = ChildStatus::Succeeded) { ended_[process] = status; }
    void EndAll() {
        for (const Launched& launch : launched)
            if (launch.process && !ended_.count(launch.process))
                End(launch.process);
    }

    bool startable = true;
    std::vector<Launched> launched;
    std::set<std::string> inUse;

private:
    pid_t next_ = 1000;
    std::map<pid_t, ChildStatus> ended_;
};

class FakeWatchControls : public WatchControls {
public:
    void EnableNotifyOpenFilesTimer(bool on) override { timer = on; }
    void EnableReencryptItem(bool on) override { item = on; }
    bool timer = false;
    bool item = false;
};

class FakeCommandLineHost : public CommandLineHost {
public:
    explicit FakeCommandLineHost(FakeSettings& settings)
        : settings_(settings) {}
    void SetDefaultMethod(std::int32_t method) override {
        settings_.method = method;
        methods.push_back(method);
    }
    void CloseMainWindow() override { ++closed; }
    std::vector<std::int32_t> methods;
    int closed = 0;

private:
    FakeSettings& settings_;
};

// The window logic with its command line, "Open" and "Print" and the watch, over a launcher played by
// the test (`fake`) or the program's own over the tests' desktop (`UseRealApplications`).
class ShellTest : public WindowTest {
protected:
    ShellTest() { rebuild(fake); }

    void UseRealApplications() {
        InstallTestDesktop();
        rebuild(real);
    }
    ShellOperations& shell() { return *shell_; }
    FileWatch& watch() { return shell_->watch(); }
    OpFilesR& slots() { return state().OpFiles; }

    // Runs the command line with these arguments (no passwords among them).
    void run(const std::vector<std::string>& arguments, std::optional<std::string> environmentPassword = {}) {
        std::vector<ProgramArgument> given;
        for (const std::string& text : arguments) {
            ProgramArgument argument;
            const Switch which = SwitchOf(text);
            const std::size_t at = which == Switch::Pass || which == Switch::MasterPass ? text.find_first_of(":=") : 0;
            argument.text = at ? text.substr(0, at + 1) : text;
            if (at)
                argument.password = Bytes(text.substr(at + 1));
            given.push_back(std::move(argument));
        }
        std::optional<SecureBytes> environment;
        if (environmentPassword)
            environment = Bytes(*environmentPassword);
        shell_->commandLine().setCommandLine(
            HandedCommandLine{std::filesystem::current_path().string(), std::move(given), std::move(environment)});
        shell_->commandLine().ProcessParameters();
    }
    // A container of `name` made with `password` (and the method, IDEA by default) from `text`.
    void container(const std::string& name,
                   const std::string& text,
                   const std::string& password,
                   CipherMethod method = CipherMethod::Idea) {
        write(name, text);
        TKX_Pwd maker;
        maker.SetPassword(password);
        ASSERT_EQ(maker.EncryptFile(path(name), method), ResultCode::Ok);
        ASSERT_EQ(::unlink(path(name).c_str()), 0);
    }
    // What the container holds, decrypted with `password` into a scratch directory; "" when it does not open.
    std::string contentOf(const std::string& name, const std::string& password) {
        TempDir scratch;
        const std::string copy = scratch / FileNameOf(name);
        WriteFile(copy, ReadFile(path(name)));
        TKX_Pwd reader;
        reader.SetPassword(password);
        if (reader.DecryptFile(copy) != ResultCode::Ok)
            return "";
        auto bytes = ReadFile(PlainPathOf(copy));
        return std::string(bytes.begin(), bytes.end());
    }
    static std::optional<CipherMethod> MethodOf(const std::string& container) {
        const MethodInfo* method = MethodOfFile(container);
        return method ? std::optional(method->code) : std::nullopt;
    }
    // The watch's clock, which moves only when the test moves it.
    void elapse(std::chrono::milliseconds time) { now_ += time; }
    // Ticks the watch until `done` holds, for at most 250 ticks 20 ms apart: real applications need the
    // time to start, end and write their files.
    bool tickUntil(const std::function<bool()>& done) {
        for (int tick = 0; tick < 250; ++tick) {
            if (done())
                return true;
            watch().NotifyOpenFiles();
            watch().DirectoryChanged();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return done();
    }
    std::vector<std::string> messagesSince(std::size_t first) const {
        std::vector<std::string> texts;
        for (std::size_t i = first; i < host.messages.size(); ++i)
            texts.push_back(host.messages[i].text);
        return texts;
    }

    FakeLauncher fake;
    SystemLauncher real;
    FakeWatchControls controls;
    FakeCommandLineHost windowHost{settings};

private:
    void rebuild(AppLauncher& launcher) {
        shell_.reset();
        shell_ = std::make_unique<ShellOperations>(objects, ops, ports, ShellPorts{launcher, controls, windowHost});
        shell_->watch().setClock([this] { return now_; });
    }
    std::unique_ptr<ShellOperations> shell_;
    FileWatch::Clock::time_point now_{};
};

} // namespace vorlaxen::test
