#include "desktop/ProgramArguments.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string_view>

namespace vorlaxen {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(
        lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

struct Spelling {
    const char* slash;
    const char* dashes;
    Switch which;
};

constexpr std::array<Spelling, 8> kExact = {{
    {"/open", "--open", Switch::Open},
    {"/print", "--print", Switch::Print},
    {"/encrypt", "--encrypt", Switch::Encrypt},
    {"/decrypt", "--decrypt", Switch::Decrypt},
    {"/des", "--des", Switch::Des},
    {"/idea", "--idea", Switch::Idea},
    {"/3xdes", "--3xdes", Switch::TripleDes},
    {"/usekeyfile", "--usekeyfile", Switch::UseKeyFile},
}};

// The password switches, which carry their password after the prefix.
constexpr std::array<Spelling, 2> kPrefixed = {{
    {"/pass:", "--pass=", Switch::Pass},
    {"/masterpass:", "--masterpass=", Switch::MasterPass},
}};

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// The length of the password switch that begins the argument; 0 when it is none.
std::size_t PasswordPrefix(const char* argument) {
    const std::string lower = Lower(std::string_view(argument).substr(0, 16));
    for (const Spelling& spelling : kPrefixed)
        for (const char* prefix : {spelling.slash, spelling.dashes})
            if (StartsWith(lower, prefix))
                return std::strlen(prefix);
    return 0;
}

} // namespace

Switch SwitchOf(const std::string& argument) {
    const std::string lower = Lower(argument);
    for (const Spelling& spelling : kExact)
        if (lower == spelling.slash || lower == spelling.dashes)
            return spelling.which;
    for (const Spelling& spelling : kPrefixed)
        if (StartsWith(lower, spelling.slash) || StartsWith(lower, spelling.dashes))
            return spelling.which;
    return Switch::File;
}

bool AsksForVersion(int argc, const char* const* argv) {
    return argc == 2 && std::string_view(argv[1]) == "--version";
}

ArgumentPasswords ArgumentPasswords::Take(int argc, char** argv) {
    ArgumentPasswords taken;
    for (int i = 1; i < argc; ++i) {
        const std::size_t prefix = PasswordPrefix(argv[i]);
        if (prefix == 0)
            continue;
        char* password = argv[i] + prefix;
        const std::size_t length = std::strlen(password);
        taken.taken_.emplace_back(argv[i], SecureBytes(password, password + length));
        SecureZero(password, length);
    }
    return taken;
}

std::vector<ProgramArgument> ArgumentPasswords::Arguments(int argc, char** argv) {
    std::vector<ProgramArgument> arguments;
    for (int i = 1; i < argc; ++i) {
        ProgramArgument argument;
        argument.text = argv[i];
        const auto found =
            std::find_if(taken_.begin(), taken_.end(), [&](const auto& entry) { return entry.first == argv[i]; });
        if (found != taken_.end())
            argument.password = std::move(found->second);
        arguments.push_back(std::move(argument));
    }
    taken_.clear();
    return arguments;
}

} // namespace vorlaxen
