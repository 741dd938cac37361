#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlaxen {

// One file in the registry's text export format, the form in which the settings are kept:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CLASSES_ROOT\crypt file\Settings\MainWin]
//   "Width"=dword:00000320
//   "Dir"="/home/me/xwords.001"
//   @="/usr/share/vorlaxen/vorlaxen.svg"
//
// Key paths are kept relative to HKEY_CLASSES_ROOT with a leading backslash ("\crypt file\Settings");
// key paths and value names compare without regard to ASCII letter case, as in the registry. Strings
// escape "\" and '"' with a backslash; a string holding a line break is written as hex(1): data (UTF-16).
// Values of other types (hex:, hex(2): and so on) are kept as they were written, so that a strict read
// sees their type and a rewrite preserves them. Files are read as UTF-8, or as UTF-16 when they start
// with its byte order mark, and written as UTF-8. Whatever Serialize writes, Parse reads back equal.
class RegistryFile {
public:
    enum class Type { Dword, String, ExpandString, Other };

    struct Value {
        std::string name; // "" for the default value, written "@"
        Type type = Type::String;
        std::uint32_t number = 0;
        std::string text; // the string of String and ExpandString
        std::string raw;  // Other: the data exactly as written after "="

        bool operator==(const Value&) const = default;
    };

    struct Key {
        std::string path; // "\crypt file\Settings\MainWin", "" for the root; other roots keep their name
        std::vector<Value> values;

        bool operator==(const Key&) const = default;
    };

    // The parsed file, or nothing with `error` saying where the text stops making sense.
    static std::optional<RegistryFile> Parse(std::string_view text, std::string& error);
    std::string Serialize() const;

    const Key* findKey(std::string_view path) const;
    Key* findKey(std::string_view path);
    Key& addKey(std::string_view path);
    static const Value* findValue(const Key& key, std::string_view name);
    static Value& setValue(Key& key, std::string_view name);
    const std::vector<Key>& keys() const noexcept { return keys_; }

    bool operator==(const RegistryFile&) const = default;

private:
    std::vector<Key> keys_;
};

} // namespace vorlaxen
