#include "support/TestDesktop.h"

#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
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

std::string TextOf(const std::string& path) {
    const auto bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

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
              "text/plain=vorlaxen-test-viewer.desktop\n"
              "application/x-vorlaxen-container=vorlaxen.desktop\n");
    // The program's own desktop entry and file type, installed into a prefix of the tests' whose
    // bin/vorlaxen writes its arguments, one a line, to bin/vorlaxen.args.
    ::mkdir((dir / "prefix").c_str(), 0700);
    ::mkdir((dir / "prefix/bin").c_str(), 0700);
    WriteFile(dir / "prefix/bin/vorlaxen", "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$0.args\"\n");
    ::chmod((dir / "prefix/bin/vorlaxen").c_str(), 0700);
    for (const char* entry : {"vorlaxen.desktop", "filemanagers/vorlaxen-send-to.desktop"}) {
        std::string text = TextOf(std::string(VORLAXEN_PACKAGING) + "/" + entry + ".in");
        for (std::size_t at; (at = text.find("@PREFIX@")) != std::string::npos;)
            text.replace(at, 8, dir / "prefix");
        WriteFile(dir / "data/applications/" + std::filesystem::path(entry).filename().string(), text);
    }
    ::mkdir((dir / "data/mime").c_str(), 0700);
    ::mkdir((dir / "data/mime/packages").c_str(), 0700);
    WriteFile(dir / "data/mime/packages/vorlaxen.xml",
              ReadFile(std::string(VORLAXEN_PACKAGING) + "/vorlaxen-mime.xml"));
    if (std::system(("update-mime-database '" + dir / "data/mime" + "' >/dev/null 2>&1").c_str()) != 0)
        throw std::runtime_error("update-mime-database failed");
    // The applications' own types, as the desktop's cache of them gives them (the installation builds it).
    if (std::system(("update-desktop-database '" + dir / "data/applications" + "' >/dev/null 2>&1").c_str()) != 0)
        throw std::runtime_error("update-desktop-database failed");
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    const char* system = std::getenv("XDG_DATA_DIRS");
    ::setenv("XDG_DATA_DIRS",
             ((dir / "data") + ":" + (system && *system ? system : "/usr/local/share:/usr/share")).c_str(),
             1);
    return dir.path();
}

} // namespace vorlaxen::test
