#include "engine/ResultCode.h"

namespace vorlaxen {

namespace {

std::string Fill(std::string_view pattern, std::string_view name) {
    std::string text(pattern);
    auto at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, name);
    return text;
}

} // namespace

std::string ResultText(ResultCode code, std::string_view name) {
    switch (code) {
    case ResultCode::CannotOpen:
        return Fill("Couldn't open file %s .", name);
    case ResultCode::CannotCreate:
        return "Couldn't create a new file.";
    case ResultCode::ReadFailed:
        return Fill("Couldn't read file %s .", name);
    case ResultCode::WrongPassword:
        return Fill("Invalid password for the file %s !Press 'All' button to abort processing the file list.", name);
    case ResultCode::NoMemory:
        return "No memory.";
    case ResultCode::NotContainer:
        return Fill("Cannot identify file %s as a valid crypted file.", name);
    case ResultCode::Aborted:
        return Fill("You have aborted processing %s.", name);
    case ResultCode::WriteFailed:
        return Fill("Processing file %s has been aborted. The disk may be full.", name);
    case ResultCode::TooLarge:
        return Fill("File %s is 4 GB or larger and cannot be encrypted. Nothing has been changed.", name);
    case ResultCode::Ok:
        break;
    }
    return {};
}

} // namespace vorlaxen
