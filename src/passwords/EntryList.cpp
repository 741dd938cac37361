#include "passwords/EntryList.h"

#include <algorithm>
#include <cstring>

namespace vorlaxen {

namespace {

constexpr std::uint8_t kSeparator = '=';

bool LineBefore(const SecureBytes& a, const SecureBytes& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

std::size_t KeyLengthOf(const SecureBytes& line) {
    auto separator = std::find(line.begin(), line.end(), kSeparator);
    return separator == line.end() ? EntryList::npos : static_cast<std::size_t>(separator - line.begin());
}

} // namespace

void EntryList::Clear() noexcept {
    for (SecureBytes& line : lines_)
        SecureZero(line.data(), line.size());
    lines_.clear();
}

void EntryList::Insert(SecureBytes line) {
    auto at = std::lower_bound(lines_.begin(), lines_.end(), line, LineBefore);
    if (at != lines_.end() && *at == line)
        return;
    lines_.insert(at, std::move(line));
}

void EntryList::ReadText(const std::uint8_t* text, std::size_t length) {
    Clear();
    const std::uint8_t* end = text + length;
    end = std::find(text, end, std::uint8_t{0});
    const std::uint8_t* start = text;
    while (start < end) {
        const std::uint8_t* stop = std::find_if(start, end, [](std::uint8_t c) { return c == '\r' || c == '\n'; });
        if (stop > start)
            Insert(SecureBytes(start, stop));
        if (stop < end && *stop == '\r' && stop + 1 < end && stop[1] == '\n')
            ++stop;
        start = stop + 1;
    }
}

std::size_t EntryList::TextLength() const noexcept {
    std::size_t total = 0;
    for (const SecureBytes& line : lines_)
        total += line.size() + 2;
    return total;
}

void EntryList::WriteText(std::uint8_t* out) const noexcept {
    for (const SecureBytes& line : lines_) {
        if (!line.empty())
            std::memcpy(out, line.data(), line.size());
        out += line.size();
        *out++ = '\r';
        *out++ = '\n';
    }
}

void EntryList::Add(std::string_view key, const std::uint8_t* password, std::size_t length) {
    SecureBytes line;
    line.reserve(key.size() + 1 + length);
    line.insert(line.end(), key.begin(), key.end());
    line.push_back(kSeparator);
    line.insert(line.end(), password, password + length);
    Insert(std::move(line));
}

std::size_t EntryList::Find(std::string_view key) const noexcept {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const SecureBytes& line = lines_[i];
        if (KeyLengthOf(line) == key.size() && (key.empty() || std::memcmp(key.data(), line.data(), key.size()) == 0))
            return i;
    }
    return npos;
}

const std::uint8_t* EntryList::PasswordOf(std::size_t index, std::size_t& length) const noexcept {
    const SecureBytes& line = lines_[index];
    const std::size_t keyLength = KeyLengthOf(line);
    if (keyLength == npos) {
        length = 0;
        return line.data() + line.size();
    }
    length = line.size() - keyLength - 1;
    return line.data() + keyLength + 1;
}

void EntryList::Erase(std::size_t index) {
    SecureZero(lines_[index].data(), lines_[index].size());
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index));
}

std::vector<std::string> EntryList::Keys() const {
    std::vector<std::string> keys;
    for (const SecureBytes& line : lines_) {
        if (std::size_t keyLength = KeyLengthOf(line); keyLength != npos)
            keys.emplace_back(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(keyLength));
    }
    return keys;
}

} // namespace vorlaxen
