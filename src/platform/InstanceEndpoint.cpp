#include "platform/InstanceEndpoint.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

// The address of a socket path; false when the path does not fit.
bool AddressOf(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

bool PeerIsThisUser(int fd) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 && length == sizeof credentials &&
           credentials.uid == ::geteuid();
}

// Sends every byte, without the SIGPIPE of a peer that has gone.
bool SendAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// Reads exactly `size` bytes before `deadline`.
FrameStatus ReceiveAll(int fd, std::uint8_t* data, std::size_t size, std::chrono::steady_clock::time_point deadline) {
    while (size > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return FrameStatus::TimedOut;
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return FrameStatus::Closed;
        if (ready == 0)
            return FrameStatus::TimedOut;
        const ssize_t got = ::recv(fd, data, size, 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return FrameStatus::Closed;
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return FrameStatus::Received;
}

} // namespace

bool IsPrivateDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

InstanceEndpoint::Claim InstanceEndpoint::TryListen(const std::string& socketPath, const std::string& lockPath) {
    Close();
    sockaddr_un address;
    if (!AddressOf(socketPath, address))
        return Claim::Failed;
    UniqueFd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lock)
        return Claim::Failed;
    if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? Claim::Taken : Claim::Failed;
    // Whoever holds the lock owns the path: a socket there is one that a window which has ended left.
    if (::unlink(socketPath.c_str()) != 0 && errno != ENOENT)
        return Claim::Failed;
    UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener || ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return Claim::Failed;
    if (::chmod(socketPath.c_str(), 0600) != 0 || ::listen(listener.get(), 16) != 0) {
        ::unlink(socketPath.c_str());
        return Claim::Failed;
    }
    lock_ = std::move(lock);
    listener_ = std::move(listener);
    socketPath_ = socketPath;
    return Claim::Listening;
}

UniqueFd InstanceEndpoint::AcceptSameUser() {
    if (!listener_)
        return {};
    UniqueFd peer(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!peer || !PeerIsThisUser(peer.get()))
        return {};
    return peer;
}

void InstanceEndpoint::Close() {
    if (!listener_)
        return;
    listener_.reset();
    // Still ours: nobody replaces the socket without the lock, which goes only after it.
    ::unlink(socketPath_.c_str());
    socketPath_.clear();
    lock_.reset();
}

UniqueFd ConnectSameUser(const std::string& socketPath) {
    sockaddr_un address;
    if (!AddressOf(socketPath, address))
        return {};
    UniqueFd peer(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!peer || ::connect(peer.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return {};
    if (!PeerIsThisUser(peer.get()))
        return {};
    return peer;
}

bool SendFrame(int fd, const SecureBytes& message) {
    if (message.size() > kMaxFrameSize)
        return false;
    const auto size = static_cast<std::uint32_t>(message.size());
    const std::uint8_t length[4] = {static_cast<std::uint8_t>(size),
                                    static_cast<std::uint8_t>(size >> 8),
                                    static_cast<std::uint8_t>(size >> 16),
                                    static_cast<std::uint8_t>(size >> 24)};
    return SendAll(fd, length, sizeof length) && SendAll(fd, message.data(), message.size());
}

FrameStatus ReceiveFrame(int fd, SecureBytes& message, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::uint8_t length[4];
    if (const FrameStatus status = ReceiveAll(fd, length, sizeof length, deadline); status != FrameStatus::Received)
        return status;
    const std::size_t size = std::size_t{length[0]} | std::size_t{length[1]} << 8 | std::size_t{length[2]} << 16 |
                             std::size_t{length[3]} << 24;
    if (size > kMaxFrameSize)
        return FrameStatus::Closed;
    message.assign(size, 0);
    return ReceiveAll(fd, message.data(), size, deadline);
}

} // namespace vorlaxen
