#pragma once

#include "desktop/CommandLine.h"
#include "desktop/FileWatch.h"
#include "desktop/HandOverQueue.h"
#include "desktop/OpenAndPrint.h"
#include "desktop/ProgramObjects.h"
#include "desktop/WindowOperations.h"
#include "ports/AppLauncher.h"
#include "ports/CommandLineHost.h"
#include "ports/WatchControls.h"

namespace vorlaxen {

// What the window reaches of the system's shell besides its own ports: the launcher of applications,
// the watch's timer and menu item, and the window itself for the command line.
struct ShellPorts {
    AppLauncher& launcher;
    WatchControls& watchControls;
    CommandLineHost& host;
};

// The command line (the program's own and those that later starts hand over), "Open" and "Print", and
// the watch on opened files, built over the program-wide objects and the window's operations. The window
// keeps one beside its WindowOperations.
class ShellOperations {
public:
    ShellOperations(ProgramObjects& objects,
                    WindowOperations& operations,
                    const WindowPorts& ports,
                    const ShellPorts& shell);
    ShellOperations(const ShellOperations&) = delete;
    ShellOperations& operator=(const ShellOperations&) = delete;

    FileWatch& watch() { return watch_; }
    OpenAndPrint& openAndPrint() { return openAndPrint_; }
    CommandLine& commandLine() { return commandLine_; }
    HandOverQueue& handOvers() { return handOvers_; }

private:
    FileWatch watch_;
    OpenAndPrint openAndPrint_;
    CommandLine commandLine_;
    HandOverQueue handOvers_;
};

} // namespace vorlaxen
