#pragma once

#include "desktop/HandedCommandLine.h"
#include "platform/InstanceEndpoint.h"

#include <chrono>
#include <optional>
#include <string>

namespace vorlaxen {

// One window of the program per user and display. A start finds the window that already runs through a
// socket in the user's runtime directory ($XDG_RUNTIME_DIR, which only the user may enter), hands it its
// command line and ends once the window has taken it; the window runs it as its own start-up runs its
// command line. A start that finds no window becomes the window and serves the later starts; of two
// starts at the same moment one becomes the window and the other hands over to it. A socket that a
// crashed window left is replaced. Only a process of the same user is accepted on either side. Without
// a usable runtime directory every start opens its own window, as the program always did.
class WindowInstance {
public:
    enum class Start {
        OwnWindow,  // this start opens the window, and serves the later starts
        Alone,      // this start opens a window that serves no one (no usable runtime directory)
        HandedOver, // the running window took the command line: this start ends
        NoAnswer,   // a running window took the message but did not answer in time: this start ends
    };

    // The place of the window for the runtime directory and the display (the value of WAYLAND_DISPLAY or
    // DISPLAY), the socket and a lock file beside it; empty when the directory is not private to the user
    // or the path would be too long for a socket.
    struct Place {
        std::string socketPath;
        std::string lockPath;
    };
    static std::optional<Place> PlaceFor(const std::string& runtimeDirectory, const std::string& display);

    // How long a start waits for the running window to take its command line, which the window does as
    // soon as its events run (an operation lets them run after every chunk).
    static constexpr std::chrono::seconds kAnswerTime{20};

    // Finds the running window and hands `commandLine` over, or becomes the window.
    Start Claim(const std::optional<Place>& place, const HandedCommandLine& commandLine);

    // The window's side. The listening socket, to be told when a start waits (-1 unless OwnWindow).
    int listener() const { return endpoint_.listener(); }
    // Takes the command line of one waiting start of the same user and answers it, so that the start
    // ends; empty when none waits or what came is not a command line.
    std::optional<HandedCommandLine> Receive();
    // The window is closing: later starts no longer find it.
    void Close() { endpoint_.Close(); }

private:
    InstanceEndpoint endpoint_;
};

} // namespace vorlaxen
