#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vorlaxen {

inline constexpr std::size_t kLongHeaderLength = 35;  // methods 1, 3, 4
inline constexpr std::size_t kShortHeaderLength = 14; // methods 0, 2 (read only)

// A cipher method of the ".cry" container. The values are the method codes: the "Method" setting holds
// one of them, and the key file's and the containers' formats follow from them, so they never change.
enum class CipherMethod : std::int32_t {
    DesUnchained = 0, // "KX97": DES without chaining, keyed with the password as typed; read only
    Idea = 1,         // "KX98"
    DesTyped = 2,     // "KX9A": DES keyed with the password as typed; read only
    Des = 3,          // "KX9B"
    TripleDes = 4,    // "KX9C"
};

// The code of a method, as the "Method" setting stores it.
constexpr std::int32_t CodeOf(CipherMethod method) noexcept {
    return static_cast<std::int32_t>(method);
}

// Everything that one method fixes. Every other form of a method (the buttons, the companion's --method
// and its help, the password limits) is read from this table.
struct MethodInfo {
    CipherMethod code;
    char letter; // fourth byte of the magic
    std::size_t headerLength;
    std::size_t keyLength; // 8, 16 or 24 bytes; also the longest password encryption takes
    const char* name;      // as shown to the user
    const char* spelling;  // the companion's --method value; null for a method that is only read

    bool writable() const noexcept { return spelling != nullptr; }
};

// The five methods in code order.
std::span<const MethodInfo> Methods() noexcept;

// The method of a code 0 to 4, of a magic's fourth byte, of the companion's spelling (writable methods
// only); null for anything else.
const MethodInfo* MethodByCode(std::int32_t code) noexcept;
const MethodInfo* MethodByLetter(std::uint8_t letter) noexcept;
const MethodInfo* MethodBySpelling(std::string_view spelling) noexcept;

// The method a "Method" setting names when it is one that can be written (a button and a radio button
// stand for it); null for any other value, a read-only method's code included.
const MethodInfo* MethodOfSetting(std::int32_t code) noexcept;

// The row of a method; `method` must be one of the five.
const MethodInfo& InfoOf(CipherMethod method) noexcept;

// The method actually written for a requested one: IDEA and Triple DES as asked, DES for everything else,
// the read-only methods and codes outside 0 to 4 (a hand-edited setting) included.
CipherMethod WritableMethod(CipherMethod requested) noexcept;
CipherMethod WritableMethod(std::int32_t requestedCode) noexcept;

// "DES", "IDEA" or "3xDES"; "" for a code outside 0 to 4.
std::string MethodName(CipherMethod method);

// The spellings of the writable methods in code order, joined by `separator`: "idea|des|3xdes".
std::string MethodSpellings(std::string_view separator);

} // namespace vorlaxen
