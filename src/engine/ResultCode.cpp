#include "engine/ResultCode.h"

#include "engine/Messages.h"

namespace vorlaxen {

std::string FillIn(std::string_view pattern, std::string_view name) {
    std::string text(pattern);
    auto at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, name);
    return text;
}

ResultCode CommitResultCode(PendingFile::Commit commit) {
    switch (commit) {
    case PendingFile::Commit::Done:
        return ResultCode::Ok;
    case PendingFile::Commit::RenameFailed:
        return ResultCode::CannotCreate;
    case PendingFile::Commit::TargetExists:
        return ResultCode::TargetAppeared;
    case PendingFile::Commit::FlushFailed:
        break;
    }
    return ResultCode::WriteFailed;
}

std::string ResultText(ResultCode code, std::string_view name) {
    switch (code) {
    case ResultCode::CannotOpen:
        return FillIn("Couldn't open file %s .", name);
    case ResultCode::CannotCreate:
        return "Couldn't create a new file.";
    case ResultCode::ReadFailed:
        return FillIn(kCouldNotReadFile, name);
    case ResultCode::WrongPassword:
        return FillIn("Invalid password for the file %s !Press 'All' button to abort processing the file list.", name);
    case ResultCode::NoMemory:
        return "No memory.";
    case ResultCode::NotContainer:
        return FillIn("Cannot identify file %s as a valid crypted file.", name);
    case ResultCode::Aborted:
        return FillIn("You have aborted processing %s.", name);
    case ResultCode::WriteFailed:
        return FillIn("Processing file %s has been aborted. The disk may be full.", name);
    case ResultCode::TooLarge:
        return FillIn("File %s is 4 GB or larger and cannot be encrypted. Nothing has been changed.", name);
    case ResultCode::InUse:
        return FillIn("File %s is in use by another operation; it has been left alone.", name);
    case ResultCode::NotRegularFile:
        return FillIn("File %s is not a regular file (a link, a named pipe or a device); it has been left alone.",
                      name);
    case ResultCode::SourceChanged:
        return FillIn("File %s changed while it was being encrypted; it has been kept.", name);
    case ResultCode::ContainerChanged:
        return FillIn("File %s changed while it was being decrypted; it has been kept.", name);
    case ResultCode::TargetAppeared:
        return FillIn("Another file took the name of the result of %s meanwhile; it has been left alone.", name);
    case ResultCode::InterruptedWipe:
        return FillIn("File %s is what remains of a wipe that was interrupted; its container holds its data and "
                      "has been left as it is.",
                      name);
    case ResultCode::Ok:
        break;
    }
    return {};
}

} // namespace vorlaxen
