#include "cli/CliSession.h"
#include "cli/CommandLine.h"
#include "cli/EnvironmentPasswords.h"
#include "engine/Messages.h"
#include "platform/ProcessProtection.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::atomic<bool> gAbort{false};

extern "C" void OnInterrupt(int) {
    gAbort.store(true);
}

// Ctrl-C asks the engine to stop at its next block; a second one ends the program at once.
void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    using namespace vorlaxen::cli;
    static_assert(std::atomic<bool>::is_always_lock_free);
    // No core file and no other process's eyes on the memory, before the first password is read.
    vorlaxen::ProtectProcessMemory();
    // Then: the passwords leave the environment, whatever the command line turns out to be.
    EnvironmentPasswords environment = EnvironmentPasswords::Take();
    Request request = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!request.error.empty()) {
        std::fprintf(stderr, "vorlaxen-cli: %s\nTry 'vorlaxen-cli --help'.\n", request.error.c_str());
        return kExitUsage;
    }
    if (request.command == Command::Help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    if (request.command == Command::Version) {
        std::printf("vorlaxen-cli %s\n%s\n%s\n", VORLAXEN_VERSION, vorlaxen::kLicence, vorlaxen::kNoWarranty);
        return 0;
    }
    CatchInterrupts();
    CliSession session(std::move(request), gAbort, std::move(environment));
    return session.Run();
}
