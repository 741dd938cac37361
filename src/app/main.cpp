#include "desktop/ProgramArguments.h"
#include "desktop/WindowInstance.h"
#include "engine/Messages.h"
#include "platform/EnvironmentSecret.h"
#include "platform/ProcessProtection.h"
#include "ui/TMainWin.h"

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/socket.h>
#include <unistd.h>

using vorlaxen::HandedCommandLine;
using vorlaxen::TMainWin;
using vorlaxen::WindowInstance;

namespace {

int gSignalPipe[2] = {-1, -1};

extern "C" void OnTerminate(int) {
    const char byte = 1;
    (void)!::write(gSignalPipe[1], &byte, 1);
}

// A request to terminate (logout, shutdown, kill) closes the window as the user would, so the
// settings are written; the close is refused while an operation runs, like any other.
void CloseOnTerminate(QWidget& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte;
        (void)!::read(gSignalPipe[0], &byte, 1);
        window.close();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

// The display the window appears on, as the environment names it.
std::string DisplayOfEnvironment() {
    for (const char* variable : {"WAYLAND_DISPLAY", "DISPLAY"})
        if (const char* display = std::getenv(variable); display && *display)
            return display;
    return "";
}

// The first window takes the command lines of later starts of the same user and display; once it closes,
// a later start opens a window of its own.
void ServeLaterStarts(TMainWin& window, WindowInstance& instance) {
    auto* waiting = new QSocketNotifier(instance.listener(), QSocketNotifier::Read, &window);
    QObject::connect(waiting, &QSocketNotifier::activated, &window, [&window, &instance] {
        if (std::optional<HandedCommandLine> commandLine = instance.Receive())
            window.HandOver(std::move(*commandLine));
    });
    QObject::connect(qApp, &QGuiApplication::lastWindowClosed, waiting, [waiting, &instance] {
        waiting->setEnabled(false);
        instance.Close();
    });
}

} // namespace

int main(int argc, char** argv) {
    // No core file and no other process's eyes on the memory, before the first password is read.
    vorlaxen::ProtectProcessMemory();
    if (vorlaxen::AsksForVersion(argc, argv)) {
        std::printf("vorlaxen %s\n%s\n%s\n", VORLAXEN_VERSION, vorlaxen::kLicence, vorlaxen::kNoWarranty);
        return 0;
    }
    // Passwords leave the arguments and the environment before anything copies them.
    vorlaxen::ArgumentPasswords passwords = vorlaxen::ArgumentPasswords::Take(argc, argv);
    std::optional<vorlaxen::SecureBytes> environmentPassword = vorlaxen::TakeEnvironmentSecret("VORLAXEN_PASSWORD");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vorlaxen");
    // No display name: the platform would append it to every window's caption, and the captions are the
    // program's own ("Preferences", "Tip of the day").
    QApplication::setDesktopFileName("vorlaxen");

    std::error_code noDirectory;
    HandedCommandLine commandLine{std::filesystem::current_path(noDirectory).string(),
                                  passwords.Arguments(argc, argv),
                                  std::move(environmentPassword)};
    const char* runtimeDirectory = std::getenv("XDG_RUNTIME_DIR");
    WindowInstance instance;
    switch (instance.Claim(WindowInstance::PlaceFor(runtimeDirectory ? runtimeDirectory : "", DisplayOfEnvironment()),
                           commandLine)) {
    case WindowInstance::Start::HandedOver:
        return 0;
    case WindowInstance::Start::NoAnswer:
        std::fputs("vorlaxen: the running window did not answer; its command line may still run there.\n", stderr);
        return 1;
    case WindowInstance::Start::OwnWindow:
    case WindowInstance::Start::Alone:
        break;
    }

    TMainWin window;
    window.setCommandLine(std::move(commandLine));
    if (instance.listener() >= 0)
        ServeLaterStarts(window, instance);
    CloseOnTerminate(window);
    // The window centres itself on the screen, fitted into it, when it is first shown.
    window.show();
    window.raise();
    window.activateWindow();
    return app.exec();
}
