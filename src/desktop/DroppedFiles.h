#pragma once

#include "ports/Direction.h"
#include "ports/Pane.h"

#include <optional>
#include <string>
#include <vector>

namespace vorlaxen {

// Files that another program (a file manager) dropped on the window, as list runs: on "Crypted files"
// the plain files are encrypted, on "Available for encryption" the containers decrypted, as a drag
// between the panes does; elsewhere on the window each file by its name, as the command line takes it (a
// ".cry" decrypted, any other encrypted). The files stay where they are: those of one directory make one
// run in that directory, in the order they were dropped, by their file names there. A file that does not fit the pane
// it was dropped on, and a directory, are passed over.
struct DroppedRun {
    Direction direction;
    std::string directory;
    std::vector<std::string> names;
};

// `pane`: the pane the files were dropped on; none for the rest of the window.
std::vector<DroppedRun> PlanDrop(const std::vector<std::string>& paths, std::optional<Pane> pane);

} // namespace vorlaxen
