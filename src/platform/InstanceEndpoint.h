#pragma once

#include "platform/FileSystem.h"
#include "platform/SecureMemory.h"

#include <chrono>
#include <string>

namespace vorlaxen {

// True when `path` is a directory of this user's that nobody else may enter or list (the user's runtime
// directory as the session makes it: owned by the user, mode 0700).
bool IsPrivateDirectory(const std::string& path);

// The place where the first window of a user on one display waits for later starts: a listening Unix
// socket, held together with an exclusive lock on a file beside it for as long as the window serves.
// The lock tells a live window from a socket that a crashed one left behind (the kernel releases the
// lock with the process), and it lets one of two starts at the same moment become the window.
class InstanceEndpoint {
public:
    enum class Claim {
        Listening, // this process holds the lock and listens; any socket left at the path was replaced
        Taken,     // another process holds the lock
        Failed,    // the place cannot be used (reported by errno)
    };

    InstanceEndpoint() = default;
    ~InstanceEndpoint() { Close(); }
    InstanceEndpoint(const InstanceEndpoint&) = delete;
    InstanceEndpoint& operator=(const InstanceEndpoint&) = delete;

    // Tries once to become the window at `socketPath`, locking `lockPath`.
    Claim TryListen(const std::string& socketPath, const std::string& lockPath);
    // The listening socket (non-blocking), -1 unless listening.
    int listener() const { return listener_.get(); }
    // Takes one waiting connection of a process of this same user (SO_PEERCRED); empty when none waits.
    // A peer of another user is closed at once.
    UniqueFd AcceptSameUser();
    // Stops listening: the socket goes and the lock is released, so that the next start takes the place.
    void Close();

private:
    UniqueFd lock_;
    UniqueFd listener_;
    std::string socketPath_;
};

// Connects to the window listening at `socketPath`; empty when nothing listens there (no socket, or one a
// crashed window left) or the listener is not of this same user.
UniqueFd ConnectSameUser(const std::string& socketPath);

// One message on a connected socket: its length (4 bytes, little-endian) and its bytes. A message may
// hold passwords: it is received into zeroing memory.
inline constexpr std::size_t kMaxFrameSize = 1u << 20;
bool SendFrame(int fd, const SecureBytes& message);
enum class FrameStatus {
    Received,
    Closed,   // the peer went away, or sent what is not a message
    TimedOut, // no whole message within the time
};
FrameStatus ReceiveFrame(int fd, SecureBytes& message, std::chrono::milliseconds timeout);

} // namespace vorlaxen
