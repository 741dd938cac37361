// The key-file reader on arbitrary bytes: reading never crashes; a table that reads is written back
// with one entry more and reads again with every key it had.

#include "FuzzWorkDir.h"
#include "passwords/TKX_PwdTable.h"
#include "ports/MasterPasswordSource.h"
#include "ports/MessageBox.h"
#include "ports/PendingEvents.h"

#include <algorithm>
#include <unistd.h>

using namespace vorlaxen;

namespace {

class QuietHost : public MessageBox, public PendingEvents, public MasterPasswordSource {
public:
    MessageAnswer ShowMessage(MessageKind, const std::string&, MessageButtons) override { return MessageAnswer::Ok; }
    void LetPendingEventsRun() override {}
    void AskMasterPassword() override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WorkDirectory() + "/keys";
    fuzz::WriteInput(path, data, size);

    QuietHost host;
    TKX_Pwd file;
    TKX_PwdTable table(host, host, host, file);
    table.MasterPass.KeyFilePath = path;
    table.MasterPass.UseKeyFile = true;
    // The master password of the seed tables.
    table.MasterPass.SetPassword("master-pw");
    table.MasterPass.Valid = true;

    std::vector<std::string> before;
    if (table.ListKeys(before)) {
        file.SetPassword("fuzz-password");
        if (!table.StorePassword("/fuzz/added"))
            fuzz::Finding("a table that reads could not be written back");
        std::vector<std::string> after;
        if (!table.ListKeys(after))
            fuzz::Finding("a table written back does not read");
        for (const std::string& key : before)
            if (key != "/fuzz/added" && std::find(after.begin(), after.end(), key) == after.end())
                fuzz::Finding("a key was lost when the table was written back");
        if (std::find(after.begin(), after.end(), "/fuzz/added") == after.end())
            fuzz::Finding("the stored key is missing");
    }
    if (!table.Entries.Empty())
        fuzz::Finding("entries stayed in memory");
    ::unlink(path.c_str());
    return 0;
}
