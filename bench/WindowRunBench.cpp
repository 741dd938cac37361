// "Encrypt All" and "Decrypt All" of the real window, on the offscreen platform, beside the companion's
// `encrypt -r -j 1` and `decrypt -r -j 1` of identical copies of the same files: 2,200 files of 1 KiB
// and eight files of 64 MiB. The window shows the folder it runs on, as a user's window does, and runs
// it twice (encrypt, decrypt, encrypt, decrypt): the second run must cost what the first did. Every
// file must come back as it was, with nothing left beside it.
//
// Targets: small files within 1.5 times the companion's time, large files within 1.1 times, a repeated
// run within 10% of the first. Usage: window_run_bench [small|large]... (both by default).

#include "ui/FilePaneView.h"
#include "ui/TMainWin.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <array>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kPassword = "bench-password-1";

struct Scenario {
    const char* name;
    int files;
    std::size_t size;
    double target; // the window's time over the companion's, at most
};

const Scenario kSmall{"2,200 files of 1 KiB", 2200, 1024, 1.5};
const Scenario kLarge{"8 files of 64 MiB", 8, std::size_t{64} << 20, 1.1};

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Processor time (user and system) of this process or of its children that ended.
double ProcessorSeconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A run's wall-clock time and the processor time it took.
struct Timed {
    double wall = -1;
    double cpu = 0;
};

std::string Scratch() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vorlaxen-run-XXXXXX";
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

// One checksum per file, to see that every file comes back as it was.
std::uint64_t Fnv(const std::vector<char>& bytes) {
    std::uint64_t h = 1469598103934665603ull;
    for (char c : bytes)
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
}

bool WriteAll(const std::string& path, const std::vector<char>& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    return ::close(fd) == 0 && ok;
}

std::vector<char> ReadAll(const std::string& path) {
    std::vector<char> bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    char buffer[1 << 16];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + got);
    ::close(fd);
    return bytes;
}

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.emplace_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string FileName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "file-%04d.dat", i);
    return name;
}

// The same files in each of the directories; the checksums by name.
bool MakeFiles(const Scenario& s, const std::vector<std::string>& dirs, std::vector<std::uint64_t>& sums) {
    std::mt19937_64 random(29);
    std::vector<char> bytes(s.size);
    for (int i = 0; i < s.files; ++i) {
        for (std::size_t at = 0; at < bytes.size(); at += 8) {
            const std::uint64_t r = random();
            std::memcpy(bytes.data() + at, &r, std::min<std::size_t>(8, bytes.size() - at));
        }
        sums.push_back(Fnv(bytes));
        for (const std::string& dir : dirs)
            if (!WriteAll(dir + "/" + FileName(i), bytes))
                return false;
    }
    ::sync();
    return true;
}

// Every file encrypted (nothing else beside the containers), or every file back as it was.
bool Check(const Scenario& s, const std::string& dir, bool encrypted, const std::vector<std::uint64_t>& sums) {
    const std::vector<std::string> names = Names(dir);
    if (names.size() != static_cast<std::size_t>(s.files))
        return false;
    for (int i = 0; i < s.files; ++i) {
        const std::string name = FileName(i) + (encrypted ? ".cry" : "");
        if (names[static_cast<std::size_t>(i)] != name)
            return false;
        if (!encrypted && Fnv(ReadAll(dir + "/" + name)) != sums[static_cast<std::size_t>(i)])
            return false;
    }
    return true;
}

Timed RunCompanion(const std::string& command, const std::string& dir) {
    ::sync();
    const double cpu = ProcessorSeconds(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("VORLAXEN_PASSWORD", kPassword, 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (command == "encrypt")
            ::execl(VORLAXEN_CLI, VORLAXEN_CLI, "encrypt", "--method", "idea", "-r", "-j", "1", dir.c_str(), nullptr);
        else
            ::execl(VORLAXEN_CLI, VORLAXEN_CLI, "decrypt", "-r", "-j", "1", dir.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const double took = Seconds(Clock::now() - start);
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return Timed{ok ? took : -1, ProcessorSeconds(RUSAGE_CHILDREN) - cpu};
}

// The tree's pop-up menu item over the folder the window shows; the recursion question answered "No"
// as soon as it is asked. Timed from that answer to the end of the run.
Timed RunWindow(vorlaxen::TMainWin& window, const char* item, vorlaxen::Pane files) {
    // The user clicked the first file of the pane before: it is the current entry and selected, which
    // the run's removal of entries must not make costly.
    QTreeView* view = window.pane(files).detailsView();
    view->setCurrentIndex(view->model()->index(0, 0));
    ::sync();
    Clock::time_point start{};
    double cpu = 0;
    QTimer answer;
    answer.setInterval(1);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (QAbstractButton* button : box->buttons())
            if (button->text().remove('&') == "No") {
                answer.stop();
                start = Clock::now();
                cpu = ProcessorSeconds(RUSAGE_SELF);
                button->click();
                return;
            }
    });
    answer.start();
    window.findChild<QAction*>(item)->trigger();
    const auto end = Clock::now();
    const double used = ProcessorSeconds(RUSAGE_SELF) - cpu;
    QCoreApplication::processEvents();
    return Timed{start == Clock::time_point{} ? -1 : Seconds(end - start), used};
}

bool CopyDefaults(const std::string& to) {
    std::FILE* in = std::fopen(VORLAXEN_PACKAGING "/defaults.reg.in", "rb");
    if (!in)
        return false;
    std::string text;
    for (int c; (c = std::fgetc(in)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(in);
    // No tip of the day in the way of the runs.
    const std::string tip = "\"ShowTIP\"=dword:00000001";
    if (const auto at = text.find(tip); at != std::string::npos)
        text.replace(at, tip.size(), "\"ShowTIP\"=dword:00000000");
    return WriteAll(to, std::vector<char>(text.begin(), text.end()));
}

struct Figures {
    std::array<Timed, 2> companion{}; // encrypt, decrypt: the best of the rounds
    std::array<Timed, 2> first{};     // the window's first encrypt and decrypt
    std::array<Timed, 2> again{};     // the same, repeated in the same window
    bool intact = true;
};

bool Measure(const Scenario& s, const std::string& scratch, Figures& f) {
    const std::string cliDir = scratch + "/companion";
    const std::string winDir = scratch + "/window";
    const std::string settings = scratch + "/settings";
    for (const std::string& dir : {cliDir, winDir, settings})
        ::mkdir(dir.c_str(), 0700);
    std::vector<std::uint64_t> sums;
    if (!MakeFiles(s, {cliDir, winDir}, sums) || !CopyDefaults(settings + "/defaults.reg"))
        return false;

    f.companion = {Timed{1e9, 0}, Timed{1e9, 0}};
    for (int round = 0; round < 2; ++round) {
        const Timed enc = RunCompanion("encrypt", cliDir);
        f.intact = f.intact && enc.wall >= 0 && Check(s, cliDir, true, sums);
        const Timed dec = RunCompanion("decrypt", cliDir);
        f.intact = f.intact && dec.wall >= 0 && Check(s, cliDir, false, sums);
        if (enc.wall < f.companion[0].wall)
            f.companion[0] = enc;
        if (dec.wall < f.companion[1].wall)
            f.companion[1] = dec;
    }

    QDir::setCurrent(QString::fromStdString(winDir));
    {
        vorlaxen::TMainWin window(
            vorlaxen::SettingsStore::Locations{settings + "/defaults.reg", settings + "/user.reg"});
        window.show();
        window.activateWindow();
        for (auto until = Clock::now() + std::chrono::seconds(5);
             window.objects().prgState().PanesUnread && Clock::now() < until;)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // One password for the session, as a user who ticks it does: no prompt between the runs.
        vorlaxen::TKX_Pwd& pwd = window.objects().pwd();
        pwd.SetPassword(kPassword);
        pwd.Valid = true;
        pwd.SessionMode = true;
        pwd.ExpiryMinutes = 0;
        for (auto* figures : {&f.first, &f.again}) {
            (*figures)[0] = RunWindow(window, "EncriptAll1", vorlaxen::Pane::Source);
            f.intact = f.intact && (*figures)[0].wall >= 0 && Check(s, winDir, true, sums);
            (*figures)[1] = RunWindow(window, "Decriptall1", vorlaxen::Pane::Crypted);
            f.intact = f.intact && (*figures)[1].wall >= 0 && Check(s, winDir, false, sums);
        }
    }
    std::system(("rm -rf '" + cliDir + "' '" + winDir + "'").c_str());
    return true;
}

const char* Verdict(bool pass) {
    return pass ? "pass" : "FAIL";
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    std::vector<const Scenario*> scenarios;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "small") == 0)
            scenarios.push_back(&kSmall);
        else if (std::strcmp(argv[i], "large") == 0)
            scenarios.push_back(&kLarge);
    }
    if (scenarios.empty())
        scenarios = {&kSmall, &kLarge};

    const std::string scratch = Scratch();
    if (scratch.empty()) {
        std::fprintf(stderr, "cannot make a scratch directory\n");
        return 1;
    }
    bool allRan = true;
    std::printf("%-22s %-8s %16s %16s %7s %16s %7s %s\n",
                "files",
                "run",
                "companion (cpu)",
                "window (cpu)",
                "ratio",
                "again (cpu)",
                "again/1",
                "verdicts");
    for (const Scenario* s : scenarios) {
        Figures f;
        if (!Measure(*s, scratch, f)) {
            std::printf("%-22s could not be prepared\n", s->name);
            allRan = false;
            continue;
        }
        for (std::size_t i = 0; i < 2; ++i) {
            const double ratio = f.first[i].wall / f.companion[i].wall;
            const double again = f.again[i].wall / f.first[i].wall;
            std::printf(
                "%-22s %-8s %6.2fs (%5.2fs) %6.2fs (%5.2fs) %6.2fx %6.2fs (%5.2fs) %6.2fx  %s (<= %.1fx), %s (<= "
                "1.10x)%s\n",
                s->name,
                i == 0 ? "encrypt" : "decrypt",
                f.companion[i].wall,
                f.companion[i].cpu,
                f.first[i].wall,
                f.first[i].cpu,
                ratio,
                f.again[i].wall,
                f.again[i].cpu,
                again,
                Verdict(ratio <= s->target),
                s->target,
                Verdict(again <= 1.10),
                f.intact ? "" : "  FILES NOT INTACT");
        }
        allRan = allRan && f.intact;
    }
    std::system(("rm -rf '" + scratch + "'").c_str());
    return allRan ? 0 : 1;
}
