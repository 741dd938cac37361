#include "desktop/HandedCommandLine.h"

#include <cstring>

namespace vorlaxen {

namespace {

constexpr char kMagic[] = {'V', 'X', 'C', 'L'};
constexpr std::uint8_t kVersion = 1;
constexpr std::size_t kHeaderSize = sizeof kMagic + 1;

void Append(SecureBytes& message, char tag, const std::uint8_t* data, std::size_t size) {
    message.push_back(static_cast<std::uint8_t>(tag));
    for (int shift = 0; shift < 32; shift += 8)
        message.push_back(static_cast<std::uint8_t>(size >> shift));
    message.insert(message.end(), data, data + size);
}

void Append(SecureBytes& message, char tag, const std::string& text) {
    Append(message, tag, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

} // namespace

SecureBytes EncodeCommandLine(const HandedCommandLine& commandLine) {
    SecureBytes message(kMagic, kMagic + sizeof kMagic);
    message.push_back(kVersion);
    Append(message, 'D', commandLine.currentDirectory);
    for (const ProgramArgument& argument : commandLine.arguments) {
        Append(message, 'A', argument.text);
        if (!argument.password.empty())
            Append(message, 'P', argument.password.data(), argument.password.size());
    }
    if (commandLine.environmentPassword)
        Append(message, 'E', commandLine.environmentPassword->data(), commandLine.environmentPassword->size());
    return message;
}

std::optional<HandedCommandLine> DecodeCommandLine(const SecureBytes& message) {
    if (message.size() < kHeaderSize || std::memcmp(message.data(), kMagic, sizeof kMagic) != 0 ||
        message[sizeof kMagic] != kVersion)
        return std::nullopt;
    HandedCommandLine commandLine;
    bool directory = false;
    for (std::size_t at = kHeaderSize; at < message.size();) {
        if (message.size() - at < 5)
            return std::nullopt;
        const char tag = static_cast<char>(message[at]);
        std::size_t size = 0;
        for (int i = 0; i < 4; ++i)
            size |= std::size_t{message[at + 1 + i]} << (8 * i);
        at += 5;
        if (size > message.size() - at)
            return std::nullopt;
        const std::uint8_t* data = message.data() + at;
        at += size;
        if (tag != 'D' && !directory)
            return std::nullopt;
        switch (tag) {
        case 'D':
            if (directory)
                return std::nullopt;
            directory = true;
            commandLine.currentDirectory.assign(reinterpret_cast<const char*>(data), size);
            break;
        case 'A':
            commandLine.arguments.emplace_back();
            commandLine.arguments.back().text.assign(reinterpret_cast<const char*>(data), size);
            break;
        case 'P':
            if (commandLine.arguments.empty() || !commandLine.arguments.back().password.empty())
                return std::nullopt;
            commandLine.arguments.back().password.assign(data, data + size);
            break;
        case 'E':
            if (commandLine.environmentPassword)
                return std::nullopt;
            commandLine.environmentPassword.emplace(data, data + size);
            break;
        default:
            return std::nullopt;
        }
    }
    if (!directory)
        return std::nullopt;
    return commandLine;
}

} // namespace vorlaxen
