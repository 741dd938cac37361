#pragma once

#include "engine/ResultCode.h"
#include "platform/Terminal.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vorlaxen::cli {

// The companion's text for a result code: the program's own texts, except that the wrong-password text
// names no button here (the window's offers "All") and says what it means.
std::string CompanionResultText(ResultCode code, const std::string& name);

// `text` with the characters that a terminal takes as commands (the C0 controls, DEL, and the C1
// controls written in UTF-8) in octal escapes such as "\033": a file's name may hold any of them, and
// printed as it is it could move the cursor, clear the screen or set the window's title. Everything else
// stays as it is, bytes that are not UTF-8 included.
std::string Printable(std::string_view text);

// The progress line as drawn: `counts`, then the file's name, within `columns` (0: the width is not
// known, nothing is cut). A line that would wrap could not be drawn over again in place; the name is cut
// from its start ("...") at a character boundary of UTF-8, and dropped when not even that fits.
std::string FitProgressLine(const std::string& counts, const std::string& name, std::size_t columns);

// The terminal side of one run, shared by the threads that process its files: messages go to standard
// error and results to standard output as whole lines, one line at a time; questions are asked at the
// terminal one at a time; and on a terminal a progress line for the whole run (files done of files,
// bytes done of bytes, the speed, the file started last) is kept below them, hidden while a line is
// written or a question asked and drawn again afterwards.
class Console {
public:
    explicit Console(bool showProgress);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // A message, to standard error.
    void Say(const std::string& line);
    // A result, to standard output.
    void Print(const std::string& line);

    // Holds every other thread's output while a question is asked at the terminal; the asking thread
    // may still Say. Nested scopes on one thread are fine.
    class Asking {
    public:
        explicit Asking(Console& console);
        ~Asking();
        Asking(const Asking&) = delete;
        Asking& operator=(const Asking&) = delete;

        // The controlling terminal, opened once for the run; null without one.
        Terminal* terminal();

    private:
        Console& console_;
    };

    // The progress of the whole run: its size, then what is done as it gets done, from any thread.
    void StartRun(std::size_t files, std::uint64_t bytes);
    void FileStarted(const std::string& name);
    void BytesDone(std::uint64_t bytes) noexcept { bytesDone_.fetch_add(bytes, std::memory_order_relaxed); }
    void FileDone() noexcept { filesDone_.fetch_add(1, std::memory_order_relaxed); }
    // Draws the progress line again when it is older than a tenth of a second; never waits for a thread
    // that is writing.
    void Tick();
    // Removes the progress line for good.
    void EndRun();

private:
    void Write(int fd, const std::string& line);
    void Draw(std::chrono::steady_clock::time_point now);
    void Clear();

    std::recursive_mutex mutex_;
    const bool showProgress_;
    std::atomic<bool> running_{false};
    bool drawn_ = false;
    int asking_ = 0;
    std::unique_ptr<Terminal> terminal_;
    bool terminalTried_ = false;
    std::mutex nameMutex_; // guards current_ alone, so that a file's start never waits for a question
    std::string current_;
    std::size_t files_ = 0;
    std::uint64_t bytes_ = 0;
    std::atomic<std::size_t> filesDone_{0};
    std::atomic<std::uint64_t> bytesDone_{0};
    std::chrono::steady_clock::time_point started_;
    std::atomic<std::int64_t> lastDrawn_{0}; // steady clock ticks
};

// Runs `one` over `files` one after the other, with the progress line of the whole run: the bytes counted
// are those of the regular files among them (through links when `followLinks`). Ctrl-C between files
// names the next one and ends the run; so does a result for which `endsRun` says so. The status is the
// first failure's.
int RunFileByFile(const std::vector<std::string>& files,
                  bool followLinks,
                  const std::atomic<bool>& abort,
                  Console& console,
                  const std::function<int(const std::string&)>& one,
                  const std::function<bool(int)>& endsRun);

} // namespace vorlaxen::cli
