#include "support/TestDesktop.h"

#include "support/TempDir.h"

#include <cstdlib>
#include <sys/stat.h>

namespace vorlaxen::test {

namespace {

constexpr const char* kViewer = R"(read -r mode < "$1"
wait_for() { n=0; while [ ! -e "$1" ] && [ $n -lt 500 ]; do sleep 0.02; n=$((n+1)); done; }
case "$mode" in
quit) ;;
sleep) sleep 0.33 ;;
hold)
    ( exec 3<"$1"; : > "$1.held"; wait_for "$1.release" ) &
    wait_for "$1.held" ;;
rewrite)
    ( wait_for "$1.rewrite"; echo rewritten > "$1" ) & ;;
esac
)";

} // namespace

const std::string& InstallTestDesktop() {
    static TempDir dir;
    static bool installed = false;
    if (installed)
        return dir.path();
    installed = true;
    ::mkdir((dir / "data").c_str(), 0700);
    ::mkdir((dir / "data/applications").c_str(), 0700);
    ::mkdir((dir / "config").c_str(), 0700);
    WriteFile(dir / "viewer.sh", kViewer);
    WriteFile(dir / "data/applications/vorlaxen-test-opener.desktop",
              "[Desktop Entry]\nType=Application\nName=Test opener\n"
              "Exec=/bin/sh -c 'pwd > \"$0.opened-in\"' %f\nMimeType=text/html;\n");
    WriteFile(dir / "data/applications/vorlaxen-test-viewer.desktop",
              "[Desktop Entry]\nType=Application\nName=Test viewer\n"
              "Exec=/bin/sh " +
                  dir / "viewer.sh" + " %f\nMimeType=text/plain;\n");
    WriteFile(dir / "config/mimeapps.list",
              "[Default Applications]\ntext/html=vorlaxen-test-opener.desktop\n"
              "text/plain=vorlaxen-test-viewer.desktop\n");
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    const char* system = std::getenv("XDG_DATA_DIRS");
    ::setenv("XDG_DATA_DIRS",
             ((dir / "data") + ":" + (system && *system ? system : "/usr/local/share:/usr/share")).c_str(),
             1);
    return dir.path();
}

} // namespace vorlaxen::test
