#pragma once

#include "cli/Console.h"
#include "platform/SecureMemory.h"
#include "ports/MasterPasswordSource.h"
#include "ports/MessageBox.h"
#include "ports/PendingEvents.h"

#include <optional>
#include <string>

namespace vorlaxen {
class TKX_PwdTable;
}

namespace vorlaxen::cli {

// The host of the command-line companion: messages go to standard error (through the console, so that
// they may come from any thread), and the master password comes
// from VORLAXEN_MASTER_PASSWORD or is asked for at the terminal without echo, 6 to 16 characters,
// checked against the key file as the master password dialog checks it. Once the master password could
// not be had, the run goes on without the key file instead of asking again for every file.
class ConsoleHost : public MessageBox, public PendingEvents, public MasterPasswordSource {
public:
    explicit ConsoleHost(Console& console)
        : console_(console) {}

    // The table whose master password this host sets; it is made after the host, which it needs.
    void Attach(TKX_PwdTable& table) noexcept { table_ = &table; }
    // The master password from VORLAXEN_MASTER_PASSWORD, taken when the program started.
    void SetMasterFromEnvironment(std::optional<SecureBytes> master) { fromEnvironment_ = std::move(master); }

    MessageAnswer ShowMessage(MessageKind kind, const std::string& text, MessageButtons buttons) override;
    void LetPendingEventsRun() override {}
    void AskMasterPassword() override;

private:
    bool AcceptFromEnvironment(const SecureBytes& typed);
    bool AskAtTerminal();

    Console& console_;
    TKX_PwdTable* table_ = nullptr;
    std::optional<SecureBytes> fromEnvironment_;
    bool gaveUp_ = false;
};

} // namespace vorlaxen::cli
