#include "support/VectorFile.h"

#include <fstream>
#include <stdexcept>

namespace vorlaxen::test {

namespace {

std::string Trim(const std::string& text) {
    auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    auto end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

} // namespace

std::vector<std::uint8_t> Vector::bytes(const std::string& name) const {
    auto found = fields.find(name);
    if (found == fields.end())
        throw std::runtime_error("vector at line " + std::to_string(line) + " has no field " + name);
    return FromHex(found->second);
}

std::vector<Vector> ReadVectorFile(const std::string& name) {
    const std::string path = std::string(VORLAXEN_TEST_DATA) + "/" + name;
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::vector<Vector> vectors;
    std::string section;
    Vector current;
    int lineNumber = 0;
    auto flush = [&] {
        if (!current.fields.empty())
            vectors.push_back(current);
        current = Vector();
    };
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        line = Trim(line);
        if (line.empty()) {
            flush();
            continue;
        }
        if (line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            flush();
            section = line.substr(1, line.size() - 2);
            continue;
        }
        auto equals = line.find('=');
        if (equals == std::string::npos)
            throw std::runtime_error(path + ":" + std::to_string(lineNumber) + ": expected Name = value");
        if (current.fields.empty()) {
            current.section = section;
            current.line = lineNumber;
        }
        current.fields[Trim(line.substr(0, equals))] = Trim(line.substr(equals + 1));
    }
    flush();
    return vectors;
}

std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    int pending = -1;
    for (char c : hex) {
        int nibble;
        if (c >= '0' && c <= '9')
            nibble = c - '0';
        else if (c >= 'a' && c <= 'f')
            nibble = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            nibble = c - 'A' + 10;
        else if (c == ' ')
            continue;
        else
            throw std::runtime_error("not hexadecimal: " + hex);
        if (pending < 0) {
            pending = nibble;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(pending << 4 | nibble));
            pending = -1;
        }
    }
    if (pending >= 0)
        throw std::runtime_error("odd number of hex digits: " + hex);
    return bytes;
}

std::string ToHex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (auto b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

void PrintTo(const Vector& vector, std::ostream* out) {
    *out << vector.section << " vector at line " << vector.line;
}

} // namespace vorlaxen::test
