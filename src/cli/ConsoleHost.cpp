#include "cli/ConsoleHost.h"

#include "engine/Messages.h"
#include "passwords/PasswordRules.h"
#include "passwords/TKX_PwdTable.h"
#include "platform/Terminal.h"

namespace vorlaxen::cli {

namespace {

constexpr auto kMasterLimit = static_cast<std::size_t>(TKX_MasterPass::kMaxLength);
constexpr char kWithoutKeyFile[] = "Going on without the key file; its entries stay as they are.";

} // namespace

MessageAnswer ConsoleHost::ShowMessage(MessageKind, const std::string& text, MessageButtons buttons) {
    console_.Say(text);
    // Nobody can answer a question here; one that offers Cancel is answered with it.
    return buttons == MessageButtons::YesNoCancel ? MessageAnswer::Cancel : MessageAnswer::Ok;
}

void ConsoleHost::AskMasterPassword() {
    if (!table_)
        return;
    TKX_MasterPass& master = table_->MasterPass;
    master.Valid = false;
    if (gaveUp_)
        return;
    bool accepted = false;
    if (fromEnvironment_) {
        accepted = AcceptFromEnvironment(*fromEnvironment_);
    } else {
        accepted = AskAtTerminal();
    }
    if (!accepted) {
        master.ClearPassword();
        gaveUp_ = true;
        // Decryption, rekey and cat can do without the key file; said, so that the reason above does not
        // read as the run's failure.
        if (master.UseKeyFile)
            console_.Say(kWithoutKeyFile);
    }
    master.Valid = accepted;
}

bool ConsoleHost::AcceptFromEnvironment(const SecureBytes& typed) {
    if (const char* error = PasswordLengthError(typed.size(), kMasterLimit)) {
        console_.Say(error);
        return false;
    }
    table_->MasterPass.SetPassword(typed.data(), typed.size());
    if (table_->LoadKeyFile(false) == ResultCode::WrongPassword) {
        console_.Say(kInvalidPassword);
        return false;
    }
    return true;
}

bool ConsoleHost::AskAtTerminal() {
    Console::Asking asking(console_);
    Terminal* terminal = asking.terminal();
    if (!terminal) {
        console_.Say("No master password: set VORLAXEN_MASTER_PASSWORD or run at a terminal.");
        return false;
    }
    terminal->write(std::string(kMasterPasswordIntro) + "\n");
    SecureBytes typed;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!terminal->readSecret(std::string(kEnterMasterPassword) + ": ", typed))
            return false;
        if (const char* error = PasswordLengthError(typed.size(), kMasterLimit)) {
            terminal->write(std::string(error) + "\n");
            continue;
        }
        table_->MasterPass.SetPassword(typed.data(), typed.size());
        const ResultCode check = table_->LoadKeyFile(false);
        if (check == ResultCode::WrongPassword) {
            terminal->write(std::string(kInvalidPassword) + "\n");
            continue;
        }
        // Without a key file any master password is accepted and becomes the one that the first stored
        // password creates the key file under: a typing error must not slip into it.
        if (check == ResultCode::CannotOpen) {
            SecureBytes again;
            if (!terminal->readSecret(std::string(kReenterForVerification) + ": ", again))
                return false;
            if (again != typed) {
                terminal->write(std::string(kVerificationFailed) + "\n");
                continue;
            }
        }
        return true;
    }
    return false;
}

} // namespace vorlaxen::cli
