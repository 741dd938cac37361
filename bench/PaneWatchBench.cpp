// What the window costs while it only shows a directory: the real window on the offscreen platform shows
// a directory of 2,200 files, opened in the directory tree too, first with nothing changing there, then
// while another process creates, appends to and removes 40 files a second in it. The processor time of
// the window's process over each spell, as a share of one core: under 1% when nothing changes, under 5%
// with the changes.
//
// Usage: pane_watch_bench [seconds per spell] (10 by default).

#include "ui/PaneWatch.h"
#include "ui/TMainWin.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFiles = 2200;
constexpr int kChangesPerSecond = 40;

double ProcessorSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void WriteFile(const std::string& path, const char* text, int flags) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0644);
    if (fd >= 0) {
        (void)!::write(fd, text, std::char_traits<char>::length(text));
        ::close(fd);
    }
}

// Another program at work in the directory: in turn it creates a file, appends to one and removes one,
// kChangesPerSecond changes a second, until it is stopped.
pid_t StartChanging(const std::string& dir) {
    const pid_t child = ::fork();
    if (child != 0)
        return child;
    const auto interval = std::chrono::microseconds(1000000 / kChangesPerSecond);
    auto next = Clock::now();
    for (long i = 0;; ++i) {
        const std::string made = dir + "/build-" + std::to_string(i / 3) + ".o";
        switch (i % 3) {
        case 0:
            WriteFile(made, "object code", O_TRUNC);
            break;
        case 1:
            WriteFile(dir + "/file-" + std::to_string(i % kFiles) + ".txt", " more", O_APPEND);
            break;
        case 2:
            ::unlink(made.c_str());
            break;
        }
        next += interval;
        std::this_thread::sleep_until(next);
    }
}

// The share of one core that the window's process took over `seconds` of its event loop.
double Spell(int seconds) {
    QEventLoop loop;
    QTimer::singleShot(std::chrono::seconds(seconds), &loop, &QEventLoop::quit);
    const double before = ProcessorSeconds();
    const auto start = Clock::now();
    loop.exec();
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    return (ProcessorSeconds() - before) / wall * 100.0;
}

bool CopyDefaults(const std::string& to) {
    std::FILE* in = std::fopen(VORLAXEN_PACKAGING "/defaults.reg.in", "rb");
    std::FILE* out = std::fopen(to.c_str(), "wb");
    if (!in || !out)
        return false;
    std::string text;
    for (int c; (c = std::fgetc(in)) != EOF;)
        text += static_cast<char>(c);
    const std::string tip = "\"ShowTIP\"=dword:00000001";
    if (const auto at = text.find(tip); at != std::string::npos)
        text.replace(at, tip.size(), "\"ShowTIP\"=dword:00000000");
    std::fputs(text.c_str(), out);
    std::fclose(in);
    return std::fclose(out) == 0;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const char* base = std::getenv("TMPDIR");
    std::string scratch = std::string(base && *base ? base : "/tmp") + "/vorlaxen-watch-XXXXXX";
    if (!::mkdtemp(scratch.data()))
        return 1;
    const std::string dir = scratch + "/shown";
    ::mkdir(dir.c_str(), 0700);
    for (int i = 0; i < kFiles; ++i)
        WriteFile(dir + "/file-" + std::to_string(i) + (i % 4 == 3 ? ".txt.cry" : ".txt"), "some text", O_TRUNC);
    if (!CopyDefaults(scratch + "/defaults.reg"))
        return 1;

    QDir::setCurrent(QString::fromStdString(dir));
    double quiet = 0;
    double changing = 0;
    int refreshes = 0;
    {
        vorlaxen::TMainWin window(vorlaxen::SettingsStore::Locations{scratch + "/defaults.reg", scratch + "/user.reg"});
        window.show();
        window.activateWindow();
        for (auto until = Clock::now() + std::chrono::seconds(5);
             window.objects().prgState().PanesUnread && Clock::now() < until;)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // The shown directory opened in the tree as well, so that the tree watches it too.
        if (auto* tree = window.findChild<QTreeView*>("User_DirectoryListBox"))
            tree->expand(tree->currentIndex());
        Spell(1); // settling
        quiet = Spell(seconds);
        const int before = window.paneWatch().refreshes();
        const pid_t changer = StartChanging(dir);
        changing = Spell(seconds);
        ::kill(changer, SIGKILL);
        ::waitpid(changer, nullptr, 0);
        refreshes = window.paneWatch().refreshes() - before;
    }
    std::system(("rm -rf '" + scratch + "'").c_str());

    std::printf("window showing %d files, %d s per spell\n", kFiles, seconds);
    std::printf("  nothing changes:        %5.2f%% of a core  %s (< 1%%)\n", quiet, quiet < 1.0 ? "pass" : "FAIL");
    std::printf("  %d changes a second:    %5.2f%% of a core  %s (< 5%%), %d refreshes of the panes\n",
                kChangesPerSecond,
                changing,
                changing < 5.0 ? "pass" : "FAIL",
                refreshes);
    return 0;
}
