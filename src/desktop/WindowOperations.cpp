#include "desktop/WindowOperations.h"

namespace vorlaxen {

WindowOperations::WindowOperations(ProgramObjects& objects, const WindowPorts& ports)
    : prompts_(objects.pwd(),
               objects.pwdTable().MasterPass,
               ports.messages,
               ports.status,
               ports.prompts,
               ports.expiry,
               ports.settings,
               PromptContext{
                   objects.dirCryptor().WorkList, objects.dirCryptor().WorkDirectory, objects.prgState().SaveToTable})
    , master_(objects.pwdTable(), ports.messages, ports.masterDialog, ports.expiry, objects.prgState().SaveToTable)
    , progress_(ports.progress, objects.prgState(), objects.pwd())
    , files_(objects.dirCryptor(), objects.pwd(), objects.pwdTable(), objects.prgState(), progress_, ports)
    , batch_(objects.dirCryptor(),
             objects.pwd(),
             objects.pwdTable(),
             objects.prgState(),
             prompts_,
             files_,
             progress_,
             ports) {}

} // namespace vorlaxen
