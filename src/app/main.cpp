#include "desktop/ProgramArguments.h"
#include "platform/EnvironmentSecret.h"
#include "platform/ProcessProtection.h"
#include "ui/TMainWin.h"

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

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

} // namespace

int main(int argc, char** argv) {
    // No core file and no other process's eyes on the memory, before the first password is read.
    vorlaxen::ProtectProcessMemory();
    // Passwords leave the arguments and the environment before anything copies them.
    vorlaxen::ArgumentPasswords passwords = vorlaxen::ArgumentPasswords::Take(argc, argv);
    std::optional<vorlaxen::SecureBytes> environmentPassword = vorlaxen::TakeEnvironmentSecret("VORLAXEN_PASSWORD");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vorlaxen");
    // No display name: the platform would append it to every window's caption, and the captions are the
    // program's own ("Preferences", "Tip of the day").
    QApplication::setDesktopFileName("vorlaxen");

    vorlaxen::TMainWin window;
    window.setCommandLine(passwords.Arguments(argc, argv), std::move(environmentPassword));
    CloseOnTerminate(window);
    // The window centres itself on the screen, fitted into it, when it is first shown.
    window.show();
    window.raise();
    window.activateWindow();
    return app.exec();
}
