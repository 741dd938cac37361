#include "platform/Terminal.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace vorlaxen {

std::unique_ptr<Terminal> Terminal::Open() {
    int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<Terminal>(new Terminal(fd));
}

Terminal::~Terminal() {
    ::close(fd_);
}

void Terminal::write(std::string_view text) {
    (void)WriteFully(fd_, text.data(), text.size());
}

bool Terminal::readInto(SecureBytes& bytes) {
    bytes.clear();
    ZeroingArray<char, 1> c;
    for (;;) {
        ssize_t got = ::read(fd_, c.data(), 1);
        if (got < 0 && errno == EINTR)
            return false;
        if (got <= 0)
            return !bytes.empty();
        if (c[0] == '\n')
            break;
        bytes.push_back(static_cast<std::uint8_t>(c[0]));
    }
    if (!bytes.empty() && bytes.back() == '\r')
        bytes.pop_back();
    return true;
}

bool Terminal::readLine(std::string& line) {
    SecureBytes bytes;
    bool ok = readInto(bytes);
    line.assign(bytes.begin(), bytes.end());
    return ok;
}

bool Terminal::readSecret(std::string_view prompt, SecureBytes& secret) {
    termios saved;
    bool haveModes = ::tcgetattr(fd_, &saved) == 0;
    if (haveModes) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(fd_, TCSAFLUSH, &quiet);
    }
    write(prompt);
    secret.reserve(64);
    bool ok = readInto(secret);
    if (haveModes)
        ::tcsetattr(fd_, TCSAFLUSH, &saved);
    if (!ok)
        write("\n");
    return ok;
}

bool IsTerminal(int fd) noexcept {
    return ::isatty(fd) == 1;
}

} // namespace vorlaxen
