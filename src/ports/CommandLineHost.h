#pragma once

#include <cstdint>

namespace vorlaxen {

// What the command line does to the main window beyond the file operations: it changes the default
// method for the files named after a method switch (and back at its end), and it closes the window when
// it is done and nothing is watched.
class CommandLineHost {
public:
    virtual ~CommandLineHost() = default;
    // Sets the default method code (1, 3 or 4) without the effects of a choice on the method buttons.
    virtual void SetDefaultMethod(std::int32_t method) = 0;
    // Asks the main window to close, which ends the program; the start-up steps still to come are left out.
    virtual void CloseMainWindow() = 0;
};

} // namespace vorlaxen
