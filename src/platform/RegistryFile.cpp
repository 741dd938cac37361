#include "platform/RegistryFile.h"

#include <cctype>
#include <cstdio>

namespace vorlaxen {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::string_view kRoot = "HKEY_CLASSES_ROOT";

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Code units U+DC80 to U+DCFF, alone, stand for bytes that were not UTF-8 (file names may hold any byte),
// and U+DC00 for a zero byte, which would end the UTF-16 text: so that any text survives a trip through
// UTF-16.
constexpr std::uint32_t kEscapedByte = 0xDC00;

// UTF-16 little-endian code units to UTF-8, stopping at a terminating zero unit.
std::string Utf16ToUtf8(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t unit = bytes[i] | static_cast<std::uint32_t>(bytes[i + 1]) << 8;
        if (unit == 0)
            break;
        if (unit == kEscapedByte || (unit >= kEscapedByte + 0x80 && unit <= kEscapedByte + 0xFF)) {
            out += static_cast<char>(unit - kEscapedByte);
            continue;
        }
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            std::uint32_t low = bytes[i + 2] | static_cast<std::uint32_t>(bytes[i + 3]) << 8;
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, unit);
    }
    return out;
}

// The length of the well-formed UTF-8 sequence at text[i], or 0 when the byte there does not start one.
std::size_t Utf8SequenceAt(std::string_view text, std::size_t i, std::uint32_t& c) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char first = byte(i);
    std::size_t length;
    std::uint32_t lowest;
    if (first < 0x80) {
        c = first;
        return 1;
    } else if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        lowest = 0x80;
        c = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        lowest = 0x800;
        c = first & 0x0F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        lowest = 0x10000;
        c = first & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        c = c << 6 | (byte(i + k) & 0x3F);
    }
    if (c < lowest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return length;
}

// The bytes of hex(1) data: the text in UTF-16 little-endian with its terminating zero unit; a byte that
// is not part of well-formed UTF-8 is escaped as a lone U+DC80 to U+DCFF.
std::string Utf16HexOf(std::string_view text) {
    std::vector<std::uint32_t> units;
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t c = 0;
        const std::size_t length = Utf8SequenceAt(text, i, c);
        if (length == 0 || c == 0) {
            units.push_back(kEscapedByte + static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            units.push_back(0xD800 + ((c - 0x10000) >> 10));
            units.push_back(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            units.push_back(c);
        }
        i += length;
    }
    units.push_back(0);
    std::string out = "hex(1):";
    char digits[16];
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::snprintf(digits,
                      sizeof digits,
                      "%s%02x,%02x",
                      i ? "," : "",
                      static_cast<unsigned>(units[i] & 0xFF),
                      static_cast<unsigned>(units[i] >> 8));
        out += digits;
    }
    return out;
}

// A quoted string starting at text[pos] == '"'; on success pos is just past the closing quote.
bool ReadQuoted(std::string_view text, std::size_t& pos, std::string& out) {
    out.clear();
    for (++pos; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (++pos >= text.size())
                return false;
            c = text[pos];
            if (c != '\\' && c != '"')
                return false;
        }
        out += c;
    }
    return false;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

bool ParseHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    std::size_t i = 0;
    auto skipSpace = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    };
    skipSpace();
    while (i < text.size()) {
        if (i + 1 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 1])))
            return false;
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(std::string(text.substr(i, 2)), nullptr, 16)));
        i += 2;
        skipSpace();
        if (i < text.size()) {
            if (text[i] != ',')
                return false;
            ++i;
            skipSpace();
        }
    }
    return true;
}

// The data after "=": a string, a dword or a hex form; false for anything else.
bool ParseData(std::string_view data, RegistryFile::Value& value) {
    if (!data.empty() && data.front() == '"') {
        std::size_t pos = 0;
        if (!ReadQuoted(data, pos, value.text) || pos != data.size())
            return false;
        value.type = RegistryFile::Type::String;
        return true;
    }
    if (data.substr(0, 6) == "dword:") {
        std::string_view digits = data.substr(6);
        if (digits.empty() || digits.size() > 8)
            return false;
        for (char c : digits)
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
        value.type = RegistryFile::Type::Dword;
        value.number = static_cast<std::uint32_t>(std::stoul(std::string(digits), nullptr, 16));
        return true;
    }
    if (data.substr(0, 3) == "hex") {
        auto colon = data.find(':');
        if (colon == std::string_view::npos)
            return false;
        std::string_view kind = data.substr(3, colon - 3);
        if (!kind.empty() && (kind.size() < 3 || kind.front() != '(' || kind.back() != ')'))
            return false;
        std::vector<std::uint8_t> bytes;
        if (!ParseHexBytes(data.substr(colon + 1), bytes))
            return false;
        value.raw = std::string(data);
        if (kind == "(1)") {
            // A string that the quoted form cannot hold (one with a line break) is written this way.
            value.type = RegistryFile::Type::String;
            value.text = Utf16ToUtf8(bytes);
            value.raw.clear();
        } else if (kind == "(2)") {
            value.type = RegistryFile::Type::ExpandString;
            value.text = Utf16ToUtf8(bytes);
        } else {
            value.type = RegistryFile::Type::Other;
        }
        return true;
    }
    return false;
}

// The file's text as UTF-8 lines; a line ending in a backslash (long hex data) goes on in the next.
std::vector<std::string> LogicalLines(std::string_view text) {
    std::string decoded;
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
        static_cast<unsigned char>(text[1]) == 0xFE) {
        decoded = Utf16ToUtf8(std::vector<std::uint8_t>(text.begin() + 2, text.end()));
    } else {
        if (text.substr(0, 3) == "\xEF\xBB\xBF")
            text.remove_prefix(3);
        decoded = std::string(text);
    }
    std::vector<std::string> lines;
    std::string pending;
    std::size_t pos = 0;
    for (;;) {
        auto end = decoded.find('\n', pos);
        std::string line = decoded.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!pending.empty()) {
            auto first = line.find_first_not_of(" \t");
            line = first == std::string::npos ? std::string() : line.substr(first);
        }
        if (!line.empty() && line.back() == '\\') {
            pending += line.substr(0, line.size() - 1);
        } else {
            lines.push_back(pending + line);
            pending.clear();
        }
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    if (!pending.empty())
        lines.push_back(pending);
    return lines;
}

} // namespace

std::optional<RegistryFile> RegistryFile::Parse(std::string_view text, std::string& error) {
    RegistryFile file;
    Key* current = nullptr;
    bool headerSeen = false;
    int number = 0;
    for (const std::string& line : LogicalLines(text)) {
        ++number;
        auto fail = [&](const std::string& what) {
            error = "line " + std::to_string(number) + ": " + what;
            return std::nullopt;
        };
        auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == ';')
            continue;
        std::string_view body(line);
        body.remove_prefix(first);
        while (!body.empty() && (body.back() == ' ' || body.back() == '\t'))
            body.remove_suffix(1);
        if (!headerSeen) {
            if (body != kHeader && body != kOldHeader)
                return fail("the file does not start with \"" + std::string(kHeader) + "\"");
            headerSeen = true;
            continue;
        }
        if (body.front() == '[') {
            if (body.back() != ']' || body.size() < 3 || body[1] == '-')
                return fail("malformed key line");
            std::string_view path = body.substr(1, body.size() - 2);
            if (SameText(path.substr(0, kRoot.size()), kRoot) &&
                (path.size() == kRoot.size() || path[kRoot.size()] == '\\'))
                path.remove_prefix(kRoot.size());
            current = &file.addKey(path);
            continue;
        }
        if (!current)
            return fail("a value outside any key");
        Value value;
        std::size_t pos = 0;
        if (body.front() == '@') {
            pos = 1;
        } else if (body.front() == '"') {
            if (!ReadQuoted(body, pos, value.name))
                return fail("malformed value name");
        } else {
            return fail("expected a value name or a key");
        }
        if (pos >= body.size() || body[pos] != '=')
            return fail("expected \"=\" after the value name");
        if (!ParseData(body.substr(pos + 1), value))
            return fail("value data of an unknown form");
        setValue(*current, value.name) = std::move(value);
    }
    if (!headerSeen) {
        error = "empty file";
        return std::nullopt;
    }
    return file;
}

std::string RegistryFile::Serialize() const {
    std::string out = std::string(kHeader) + "\n";
    for (const Key& key : keys_) {
        // A path relative to HKEY_CLASSES_ROOT starts with "\\", and the root itself is the empty path.
        out += "\n[";
        if (key.path.empty() || key.path.front() == '\\')
            out += kRoot;
        out += key.path + "]\n";
        for (const Value& value : key.values) {
            out += value.name.empty() ? std::string("@") : Quote(value.name);
            out += '=';
            switch (value.type) {
            case Type::Dword: {
                char digits[9];
                std::snprintf(digits, sizeof digits, "%08x", value.number);
                out += "dword:";
                out += digits;
                break;
            }
            case Type::String:
                // A line break would end the line inside the quotes.
                if (value.text.find_first_of("\r\n") == std::string::npos)
                    out += Quote(value.text);
                else
                    out += Utf16HexOf(value.text);
                break;
            case Type::ExpandString:
            case Type::Other:
                out += value.raw;
                break;
            }
            out += '\n';
        }
    }
    return out;
}

const RegistryFile::Key* RegistryFile::findKey(std::string_view path) const {
    for (const Key& key : keys_)
        if (SameText(key.path, path))
            return &key;
    return nullptr;
}

RegistryFile::Key* RegistryFile::findKey(std::string_view path) {
    for (Key& key : keys_)
        if (SameText(key.path, path))
            return &key;
    return nullptr;
}

RegistryFile::Key& RegistryFile::addKey(std::string_view path) {
    if (Key* existing = findKey(path))
        return *existing;
    keys_.push_back(Key{std::string(path), {}});
    return keys_.back();
}

const RegistryFile::Value* RegistryFile::findValue(const Key& key, std::string_view name) {
    for (const Value& value : key.values)
        if (SameText(value.name, name))
            return &value;
    return nullptr;
}

RegistryFile::Value& RegistryFile::setValue(Key& key, std::string_view name) {
    for (Value& value : key.values)
        if (SameText(value.name, name))
            return value;
    key.values.push_back(Value{std::string(name), Type::String, 0, {}, {}});
    return key.values.back();
}

} // namespace vorlaxen
