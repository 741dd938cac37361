#include "desktop/ShellOperations.h"

namespace vorlaxen {

ShellOperations::ShellOperations(ProgramObjects& objects,
                                 WindowOperations& operations,
                                 const WindowPorts& ports,
                                 const ShellPorts& shell)
    : watch_(objects.dirCryptor(),
             objects.pwd(),
             objects.prgState(),
             operations.files(),
             operations.progress(),
             ports,
             shell.launcher,
             shell.watchControls)
    , openAndPrint_(objects.dirCryptor(), objects.prgState(), operations.batch(), watch_, ports, shell.launcher)
    , commandLine_(objects.dirCryptor(),
                   objects.pwd(),
                   objects.pwdTable(),
                   objects.prgState(),
                   operations.batch(),
                   operations.progress(),
                   openAndPrint_,
                   watch_,
                   ports,
                   shell.host)
    , handOvers_(commandLine_, objects.prgState(), shell.host) {}

} // namespace vorlaxen
