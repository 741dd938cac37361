#include "cli/Console.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace vorlaxen::cli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

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
    Write(STDERR_FILENO, line);
}

void Console::Print(const std::string& line) {
    Write(STDOUT_FILENO, line);
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
    std::fprintf(stderr,
                 "\r%zu of %zu files, %s of %s MB, %.1f MB/s  %s\x1b[K",
                 filesDone_.load(std::memory_order_relaxed),
                 files_,
                 Megabytes(done).c_str(),
                 Megabytes(bytes_).c_str(),
                 megabytesPerSecond,
                 name.c_str());
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

} // namespace vorlaxen::cli
