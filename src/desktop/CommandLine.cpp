#include "desktop/CommandLine.h"

#include "engine/CipherMethod.h"
#include "engine/ContainerName.h"
#include "engine/ResultCode.h"
#include "fileops/MakePath.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <unistd.h>
#include <utility>

namespace vorlaxen {

namespace {

constexpr const char* kCannotEnter = "Unable to enter the directory %s .";

LaunchVerb VerbOf(Switch verb) {
    return verb == Switch::Print ? LaunchVerb::Print : LaunchVerb::Open;
}

} // namespace

CommandLine::CommandLine(TKX_DirCryptor& dirCryptor,
                         TKX_Pwd& pwd,
                         TKX_PwdTable& table,
                         TKX_PrgState& state,
                         BatchProcessing& batch,
                         ProgressDisplay& progress,
                         OpenAndPrint& openAndPrint,
                         FileWatch& watch,
                         const WindowPorts& ports,
                         CommandLineHost& host)
    : dirCryptor_(dirCryptor)
    , pwd_(pwd)
    , table_(table)
    , state_(state)
    , batch_(batch)
    , progress_(progress)
    , openAndPrint_(openAndPrint)
    , watch_(watch)
    , ports_(ports)
    , host_(host) {}

// The password as given, masked into the object; usable only with at least six characters. No upper
// limit: the engine uses what the method's key takes.
void CommandLine::TakePassword(TKX_Pwd& target, const SecureBytes& password) {
    target.SetPassword(password.data(), password.size());
    target.Valid = password.size() >= 6;
}

void CommandLine::ProcessParameters() {
    // Taken out of the object, so that the passwords go (zeroed) however this ends.
    const HandedCommandLine commandLine = std::exchange(commandLine_, HandedCommandLine{});
    if (Run(commandLine.arguments, commandLine.environmentPassword, commandLine.currentDirectory))
        host_.CloseMainWindow();
}

bool CommandLine::ProcessHandedOver(HandedCommandLine commandLine) {
    return Run(commandLine.arguments, commandLine.environmentPassword, commandLine.currentDirectory);
}

bool CommandLine::Run(const std::vector<ProgramArgument>& arguments,
                      const std::optional<SecureBytes>& environmentPassword,
                      const std::string& current) {
    if (arguments.empty())
        return false;
    running_ = true;
    struct Done {
        bool& running;
        ~Done() { running = false; }
    } done{running_};

    TKX_MasterPass& master = table_.MasterPass;
    Switch verb = Switch::File;
    const std::int32_t savedMethod = ports_.settings.DefaultMethod();
    const bool savedUseKeyFile = master.UseKeyFile;
    if (environmentPassword)
        TakePassword(pwd_, *environmentPassword);

    bool completed = true;
    bool namedFile = false;
    for (const ProgramArgument& argument : arguments) {
        switch (const Switch which = SwitchOf(argument.text)) {
        case Switch::Open:
        case Switch::Print:
        case Switch::Encrypt:
        case Switch::Decrypt:
            verb = which;
            break;
        case Switch::Des:
            host_.SetDefaultMethod(CodeOf(CipherMethod::Des));
            break;
        case Switch::Idea:
            host_.SetDefaultMethod(CodeOf(CipherMethod::Idea));
            break;
        case Switch::TripleDes:
            host_.SetDefaultMethod(CodeOf(CipherMethod::TripleDes));
            break;
        case Switch::Pass:
            TakePassword(pwd_, argument.password);
            break;
        case Switch::MasterPass:
            TakePassword(master, argument.password);
            master.UseKeyFile = true;
            break;
        case Switch::UseKeyFile:
            state_.SaveToTable = true;
            master.UseKeyFile = true;
            break;
        case Switch::File:
            namedFile = true;
            completed = ProcessFile(argument.text, current, verb);
            break;
        }
        if (!completed)
            break;
    }

    host_.SetDefaultMethod(savedMethod);
    master.UseKeyFile = savedUseKeyFile;
    state_.AbortFlag = false;
    if (state_.ProgressShown)
        progress_.DropLists();
    // Switches alone (a desktop action started without a file) leave the window for the user.
    return completed && namedFile && state_.OpFiles.Count == 0;
}

bool CommandLine::ProcessFile(const std::string& argument, const std::string& current, Switch verb) {
    const std::filesystem::path given(argument);
    const std::string path =
        (given.is_absolute() ? given : std::filesystem::path(current) / given).lexically_normal().string();
    const std::string directory = DirectoryOf(path);
    if (!IsDirectory(directory) || ::access(directory.c_str(), X_OK) != 0) {
        (void)ports_.messages.ShowMessage(MessageKind::Error, FillIn(kCannotEnter, directory), MessageButtons::Ok);
        return false;
    }
    dirCryptor_.WorkDirectory = directory;
    const std::string name = FileNameOf(path);

    if (!HasContainerExtension(name)) {
        (void)batch_.EncryptOne(name);
        return true;
    }
    const bool handOver = verb == Switch::Open || verb == Switch::Print;
    if (handOver)
        watch_.StartCapture();
    (void)batch_.DecryptOne(name);
    if (table_.MasterPass.Valid)
        ports_.expiry.EnableMasterPwdExpireButton(true);
    if (pwd_.Valid)
        ports_.expiry.EnablePwdExpireButton(true);
    if (handOver)
        openAndPrint_.ProcessDecrCmd(VerbOf(verb), MakePath(directory, name));
    return true;
}

} // namespace vorlaxen
