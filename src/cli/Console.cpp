#include "cli/Console.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen::cli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

// The width of the terminal that standard error goes to; 0 when it is not known.
std::size_t TerminalColumns() {
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

std::string Megabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
    return text;
}

} // namespace

std::string CompanionResultText(ResultCode code, const std::string& name) {
    if (code == ResultCode::WrongPassword)
        return FillIn("Invalid password for the file %s: the password is wrong, or the file is damaged.", name);
    std::string text = ResultText(code, name);
    // Several files may run at once: every line names its file.
    if (!text.empty() && text.find(name) == std::string::npos)
        text = name + ": " + text;
    return text;
}

std::string Printable(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    auto escape = [&shown](unsigned char byte) {
        const char digits[] = {'\\',
                               static_cast<char>('0' + (byte >> 6)),
                               static_cast<char>('0' + ((byte >> 3) & 7)),
                               static_cast<char>('0' + (byte & 7))};
        shown.append(digits, sizeof digits);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
        if (byte < 0x20 || byte == 0x7F) {
            escape(byte);
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            escape(byte);
            escape(static_cast<unsigned char>(next));
            ++i;
        } else {
            shown.push_back(text[i]);
        }
    }
    return shown;
}

std::string FitProgressLine(const std::string& counts, const std::string& name, std::size_t columns) {
    constexpr std::string_view kCut = "...";
    // The last column stays free: a line that fills the width leaves the cursor waiting to wrap.
    const std::size_t room = columns > 0 ? columns - 1 : std::string::npos;
    auto characters = [](std::string_view text) {
        return static_cast<std::size_t>(std::count_if(
            text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    };
    const std::size_t countsWidth = characters(counts);
    if (countsWidth + characters(name) <= room)
        return counts + name;
    if (countsWidth + kCut.size() + 1 > room)
        return counts.substr(0, std::min(counts.size(), room));
    std::size_t start = 0;
    const std::size_t nameRoom = room - countsWidth - kCut.size();
    while (characters(std::string_view(name).substr(start)) > nameRoom ||
           (start < name.size() && (static_cast<unsigned char>(name[start]) & 0xC0) == 0x80))
        ++start;
    std::string line;
    line.reserve(counts.size() + kCut.size() + name.size() - start);
    line.append(counts).append(kCut).append(name, start);
    return line;
}

Console::Console(bool showProgress)
    : showProgress_(showProgress) {}

Console::~Console() {
    EndRun();
}

void Console::Write(int fd, const std::string& line) {
    const std::lock_guard<std::recursive_mutex> guard(mutex_);
    Clear();
    const std::string whole = line + "\n";
    if (fd == STDOUT_FILENO) {
        std::fwrite(whole.data(), 1, whole.size(), stdout);
        std::fflush(stdout);
    } else {
        std::fwrite(whole.data(), 1, whole.size(), stderr);
        std::fflush(stderr);
    }
    if (running_ && asking_ == 0)
        Draw(std::chrono::steady_clock::now());
}

void Console::Say(const std::string& line) {
    Write(STDERR_FILENO, Printable(line));
}

// A result read by a person at a terminal gets the same escapes as a message; one read by a program
// keeps its names exactly.
void Console::Print(const std::string& line) {
    Write(STDOUT_FILENO, IsTerminal(STDOUT_FILENO) ? Printable(line) : line);
}

Console::Asking::Asking(Console& console)
    : console_(console) {
    console_.mutex_.lock();
    ++console_.asking_;
    console_.Clear();
}

Console::Asking::~Asking() {
    if (--console_.asking_ == 0 && console_.running_)
        console_.Draw(std::chrono::steady_clock::now());
    console_.mutex_.unlock();
}

Terminal* Console::Asking::terminal() {
    if (!console_.terminalTried_) {
        console_.terminalTried_ = true;
        console_.terminal_ = Terminal::Open();
    }
    return console_.terminal_.get();
}

void Console::StartRun(std::size_t files, std::uint64_t bytes) {
    const std::lock_guard<std::recursive_mutex> guard(mutex_);
    files_ = files;
    bytes_ = bytes;
    filesDone_ = 0;
    bytesDone_ = 0;
    started_ = std::chrono::steady_clock::now();
    running_ = showProgress_;
}

void Console::FileStarted(const std::string& name) {
    {
        const std::lock_guard<std::mutex> guard(nameMutex_);
        current_ = name;
    }
    Tick();
}

void Console::Tick() {
    if (!running_)
        return;
    const auto now = std::chrono::steady_clock::now();
    const std::int64_t ticks = now.time_since_epoch().count();
    if (ticks - lastDrawn_.load(std::memory_order_relaxed) <
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(kRedrawInterval).count())
        return;
    std::unique_lock<std::recursive_mutex> guard(mutex_, std::try_to_lock);
    if (!guard.owns_lock() || asking_ > 0)
        return;
    Draw(now);
}

void Console::EndRun() {
    const std::lock_guard<std::recursive_mutex> guard(mutex_);
    Clear();
    running_ = false;
}

void Console::Draw(std::chrono::steady_clock::time_point now) {
    if (!running_)
        return;
    lastDrawn_.store(now.time_since_epoch().count(), std::memory_order_relaxed);
    const std::uint64_t done = std::min(bytesDone_.load(std::memory_order_relaxed), bytes_);
    const double seconds = std::chrono::duration<double>(now - started_).count();
    const double megabytesPerSecond = seconds > 0 ? static_cast<double>(done) / 1e6 / seconds : 0.0;
    std::string name;
    {
        const std::lock_guard<std::mutex> guard(nameMutex_);
        name = current_;
    }
    char counts[160];
    std::snprintf(counts,
                  sizeof counts,
                  "%zu of %zu files, %s of %s MB, %.1f MB/s  ",
                  filesDone_.load(std::memory_order_relaxed),
                  files_,
                  Megabytes(done).c_str(),
                  Megabytes(bytes_).c_str(),
                  megabytesPerSecond);
    const std::string line = FitProgressLine(counts, Printable(name), TerminalColumns());
    std::fputc('\r', stderr);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputs("\x1b[K", stderr);
    std::fflush(stderr);
    drawn_ = true;
}

void Console::Clear() {
    if (!drawn_)
        return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
}

int RunFileByFile(const std::vector<std::string>& files,
                  bool followLinks,
                  const std::atomic<bool>& abort,
                  Console& console,
                  const std::function<int(const std::string&)>& one,
                  const std::function<bool(int)>& endsRun) {
    std::uint64_t bytes = 0;
    for (const std::string& file : files) {
        struct stat st;
        const int got = followLinks ? ::stat(file.c_str(), &st) : ::lstat(file.c_str(), &st);
        if (got == 0 && S_ISREG(st.st_mode))
            bytes += static_cast<std::uint64_t>(st.st_size);
    }
    console.StartRun(files.size(), bytes);
    int status = 0;
    for (const std::string& file : files) {
        if (abort.load()) {
            console.Say(CompanionResultText(ResultCode::Aborted, file));
            status = status ? status : -static_cast<int>(ResultCode::Aborted);
            break;
        }
        console.FileStarted(file);
        const int result = one(file);
        console.FileDone();
        if (result != 0 && status == 0)
            status = result;
        if (endsRun(result))
            break;
    }
    console.EndRun();
    return status;
}

} // namespace vorlaxen::cli
