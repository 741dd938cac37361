#pragma once

#include "platform/SecureMemory.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorlaxen {

// The lines of the key file's table text while one table operation runs. A line reads entry key, "=",
// password; the key ends at the first "=", so the password may hold "=" but the key cannot. Lines are
// kept sorted byte by byte and unique, and keys are compared exactly, as file names are on this system.
// Every line lives in zeroing memory: the passwords in it are unmasked.
class EntryList {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // Replaces the contents by the lines of a table text. A line ends at CR, LF or CR LF, the text at its
    // end or at its first zero byte; empty lines and repeated lines are dropped.
    void ReadText(const std::uint8_t* text, std::size_t length);
    // Size of the table text: every line followed by CR LF.
    std::size_t TextLength() const noexcept;
    // Writes the table text to `out`, which has room for TextLength() bytes.
    void WriteText(std::uint8_t* out) const noexcept;

    // Adds key "=" password at its sorted place unless the same line is already present.
    void Add(std::string_view key, const std::uint8_t* password, std::size_t length);
    // The first line, in sorted order, whose entry key equals `key`; npos when there is none.
    std::size_t Find(std::string_view key) const noexcept;
    // The password of a line: everything after its first "=".
    const std::uint8_t* PasswordOf(std::size_t index, std::size_t& length) const noexcept;
    void Erase(std::size_t index);
    // Every entry key, in the order of the lines; lines without "=" hold no entry.
    std::vector<std::string> Keys() const;

    std::size_t Count() const noexcept { return lines_.size(); }
    bool Empty() const noexcept { return lines_.empty(); }
    // Overwrites every line with zeros and empties the list.
    void Clear() noexcept;

private:
    void Insert(SecureBytes line);

    std::vector<SecureBytes> lines_;
};

} // namespace vorlaxen
