// Refilling the panes for a directory of 10,000 files: reading the names, each file's details, icon and
// type, sorting, and the views taking the new contents. The window must never be blocked for as long as
// a second by a directory change.

#include "ui/TMainWin.h"

#include <QApplication>
#include <QDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

constexpr int kFiles = 10000;

std::string MakeDirectory() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vorlaxen-panes-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return {};
    const char* kinds[] = {".txt", ".pdf", ".jpg", ".odt", ".tar.gz", ".doc.cry", ".csv", ".cry"};
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = pattern + "/file-" + std::to_string(i) + kinds[i % 8];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            return {};
        (void)!::write(fd, i % 8 >= 5 ? "KX98 container" : "some text", i % 8 >= 5 ? 14 : 9);
        ::close(fd);
    }
    return pattern;
}

void RefillPanes(benchmark::State& state) {
    const std::string dir = MakeDirectory();
    if (dir.empty()) {
        state.SkipWithError("cannot create the directory of files");
        return;
    }
    // The installed defaults, so the window starts without its installation message.
    const std::string settings = dir + ".user.reg";
    const std::string defaults = dir + ".defaults.reg";
    {
        std::FILE* in = std::fopen(VORLAXEN_PACKAGING "/defaults.reg.in", "rb");
        std::FILE* out = std::fopen(defaults.c_str(), "wb");
        if (!in || !out) {
            state.SkipWithError("cannot copy the installed defaults");
            return;
        }
        for (int c; (c = std::fgetc(in)) != EOF;)
            std::fputc(c, out);
        std::fclose(in);
        std::fclose(out);
    }
    {
        vorlaxen::TMainWin window(vorlaxen::SettingsStore::Locations{defaults, settings});
        QDir::setCurrent(QString::fromStdString(dir));
        window.objects().prgState().PanesUnread = false;
        for (auto _ : state) {
            window.ReadFLists();
            QCoreApplication::processEvents();
        }
        state.counters["entries"] = static_cast<double>(window.fileLists().pane(vorlaxen::Pane::Source).size() +
                                                        window.fileLists().pane(vorlaxen::Pane::Crypted).size());
    }
    ::unlink(settings.c_str());
    ::unlink(defaults.c_str());
    std::system(("rm -rf '" + dir + "'").c_str());
}

BENCHMARK(RefillPanes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
