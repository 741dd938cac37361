#pragma once

#include "desktop/BatchProcessing.h"
#include "desktop/FileWatch.h"
#include "desktop/HandedCommandLine.h"
#include "desktop/OpenAndPrint.h"
#include "desktop/ProgramArguments.h"
#include "desktop/ProgressDisplay.h"
#include "desktop/TKX_PrgState.h"
#include "engine/TKX_Pwd.h"
#include "fileops/TKX_DirCryptor.h"
#include "passwords/TKX_PwdTable.h"
#include "ports/CommandLineHost.h"
#include "ports/WindowPorts.h"

#include <optional>
#include <string>
#include <vector>

namespace vorlaxen {

// The desktop program's command line (`ProcessParameters`), run once from the start-up steps with the
// window shown. The arguments are worked through from left to right: a switch changes how the files
// named after it are treated, and each file is encrypted or decrypted at once by its extension (".cry":
// decrypted), with the password from the key file, a held one, or a prompt. Containers named after
// "/open" or "/print" are then opened or printed and watched. At the end the default method and the
// key-file use are what they were, and the window closes unless files are watched or no file was named.
//
// A relative file name is taken relative to the directory the program was started in, which the command
// line carries (for one that a later start handed over, the directory of that start); the current
// directory itself never changes, since it is the directory the panes show.
class CommandLine {
public:
    CommandLine(TKX_DirCryptor& dirCryptor,
                TKX_Pwd& pwd,
                TKX_PwdTable& table,
                TKX_PrgState& state,
                BatchProcessing& batch,
                ProgressDisplay& progress,
                OpenAndPrint& openAndPrint,
                FileWatch& watch,
                const WindowPorts& ports,
                CommandLineHost& host);

    // The program's own command line: its arguments, the password of VORLAXEN_PASSWORD, which counts as
    // a "/pass:" before the first argument, and the directory it was started in; kept until
    // ProcessParameters has run, the passwords zeroed then.
    void setCommandLine(HandedCommandLine commandLine) { commandLine_ = std::move(commandLine); }

    void ProcessParameters();
    // A command line that a later start of the program handed to this window, run as ProcessParameters
    // runs the program's own, except that it never closes the window itself: true when, had it been the
    // program's own, the program would end now (a file was named, the line was worked through and
    // nothing is watched).
    bool ProcessHandedOver(HandedCommandLine commandLine);
    // True while a command line is being worked through (its prompts let events run meanwhile).
    bool running() const { return running_; }

private:
    // Works through the arguments; true when the program would end now.
    bool Run(const std::vector<ProgramArgument>& arguments,
             const std::optional<SecureBytes>& environmentPassword,
             const std::string& current);
    // False when the file's directory cannot be entered (reported): the command line ends there.
    bool ProcessFile(const std::string& argument, const std::string& current, Switch verb);
    static void TakePassword(TKX_Pwd& target, const SecureBytes& password);

    TKX_DirCryptor& dirCryptor_;
    TKX_Pwd& pwd_;
    TKX_PwdTable& table_;
    TKX_PrgState& state_;
    BatchProcessing& batch_;
    ProgressDisplay& progress_;
    OpenAndPrint& openAndPrint_;
    FileWatch& watch_;
    WindowPorts ports_;
    CommandLineHost& host_;
    HandedCommandLine commandLine_;
    bool running_ = false;
};

} // namespace vorlaxen
