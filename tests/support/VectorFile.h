#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace vorlaxen::test {

// One record of a vector file: its section and its "Name = value" fields.
struct Vector {
    std::string section;
    std::map<std::string, std::string> fields;
    int line = 0;

    std::vector<std::uint8_t> bytes(const std::string& name) const;
};

// Reads tests/data/<name>: "[Section]" headers, records of "Name = value" lines separated by blank
// lines, "#" comments.
std::vector<Vector> ReadVectorFile(const std::string& name);

std::vector<std::uint8_t> FromHex(const std::string& hex);
std::string ToHex(const std::vector<std::uint8_t>& bytes);

// gtest prints parameters through this.
void PrintTo(const Vector& vector, std::ostream* out);

} // namespace vorlaxen::test
