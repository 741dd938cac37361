#include "desktop/WindowInstance.h"

#include <cctype>
#include <sys/un.h>
#include <thread>

namespace vorlaxen {

namespace {

// How long a start keeps trying while another start is becoming the window or the window is closing;
// then it opens a window of its own.
constexpr std::chrono::seconds kClaimTime{10};
constexpr std::chrono::milliseconds kRetryPause{20};
// A start sends its command line as soon as it is connected.
constexpr std::chrono::seconds kMessageTime{2};

// The display as a part of a file name: "/" and anything unusual become "_".
std::string FileNamePart(const std::string& display) {
    std::string part = display;
    for (char& c : part)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':'))
            c = '_';
    return part;
}

} // namespace

std::optional<WindowInstance::Place> WindowInstance::PlaceFor(const std::string& runtimeDirectory,
                                                              const std::string& display) {
    if (!IsPrivateDirectory(runtimeDirectory))
        return std::nullopt;
    std::string base = runtimeDirectory + "/vorlaxen";
    if (!display.empty())
        base.append("-").append(FileNamePart(display));
    Place place{base + ".socket", base + ".lock"};
    if (place.socketPath.size() >= sizeof(sockaddr_un::sun_path))
        return std::nullopt;
    return place;
}

WindowInstance::Start WindowInstance::Claim(const std::optional<Place>& place, const HandedCommandLine& commandLine) {
    if (!place)
        return Start::Alone;
    const SecureBytes message = EncodeCommandLine(commandLine);
    const auto deadline = std::chrono::steady_clock::now() + kClaimTime;
    for (;;) {
        if (UniqueFd window = ConnectSameUser(place->socketPath)) {
            SecureBytes answer;
            if (SendFrame(window.get(), message)) {
                switch (ReceiveFrame(window.get(), answer, kAnswerTime)) {
                case FrameStatus::Received:
                    return Start::HandedOver;
                case FrameStatus::TimedOut:
                    // The window may still run it: a window of our own would run it a second time.
                    return Start::NoAnswer;
                case FrameStatus::Closed:
                    break; // the window is closing: it is gone in a moment
                }
            }
        } else {
            switch (endpoint_.TryListen(place->socketPath, place->lockPath)) {
            case InstanceEndpoint::Claim::Listening:
                return Start::OwnWindow;
            case InstanceEndpoint::Claim::Failed:
                return Start::Alone;
            case InstanceEndpoint::Claim::Taken:
                break; // another start is becoming the window, or the window is closing
            }
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return Start::Alone;
        std::this_thread::sleep_for(kRetryPause);
    }
}

std::optional<HandedCommandLine> WindowInstance::Receive() {
    const UniqueFd start = endpoint_.AcceptSameUser();
    if (!start)
        return std::nullopt;
    SecureBytes message;
    if (ReceiveFrame(start.get(), message, kMessageTime) != FrameStatus::Received)
        return std::nullopt;
    std::optional<HandedCommandLine> commandLine = DecodeCommandLine(message);
    // The answer tells the start that its command line is taken: it ends on it.
    if (!commandLine || !SendFrame(start.get(), SecureBytes{}))
        return std::nullopt;
    return commandLine;
}

} // namespace vorlaxen
