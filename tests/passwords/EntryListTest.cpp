// Reading the table text: where lines end, where the text ends, and the order and uniqueness of lines.

#include "passwords/EntryList.h"

#include <gtest/gtest.h>
#include <string>

namespace vorlaxen {
namespace {

std::string Reread(const std::string& text) {
    EntryList entries;
    entries.ReadText(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    std::string out(entries.TextLength(), '\0');
    entries.WriteText(reinterpret_cast<std::uint8_t*>(out.data()));
    return out;
}

TEST(EntryList, LinesEndAtCrLfOrEitherAloneAndTheTextAtItsFirstZeroByte) {
    const struct {
        std::string text;
        std::string lines;
    } cases[] = {
        {"/b=2\r\n/a=1\r\n", "/a=1\r\n/b=2\r\n"},
        {"/b=2\n/a=1", "/a=1\r\n/b=2\r\n"},
        {"/b=2\r/a=1\r", "/a=1\r\n/b=2\r\n"},
        {"/a=1\n\r/b=2", "/a=1\r\n/b=2\r\n"},
        {"/a=1\r\n\r\n\n/b=2\r\n", "/a=1\r\n/b=2\r\n"},
        {std::string("/a=1\r\n/c=3\0/b=2\r\n", 18), "/a=1\r\n/c=3\r\n"},
        {"/a=1\r\n/a=1\r\n/a=2\r\n", "/a=1\r\n/a=2\r\n"},
        {"/a=1\r\nno separator\r\n", "/a=1\r\nno separator\r\n"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Reread(c.text), c.lines) << testing::PrintToString(c.text);
}

TEST(EntryList, KeysEndAtTheFirstEqualsAndLinesWithoutOneHoldNoEntry) {
    const std::string text = "/x=a=b\r\nlonely\r\n/a b=1\r\n/a=2\r\n";
    EntryList entries;
    entries.ReadText(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    EXPECT_EQ(entries.Keys(), (std::vector<std::string>{"/a b", "/a", "/x"})) << "byte order: ' ' before '='";
    EXPECT_EQ(entries.Find("lonely"), EntryList::npos);
    EXPECT_EQ(entries.Find("/x=a"), EntryList::npos);
    std::size_t length = 0;
    const std::uint8_t* password = entries.PasswordOf(entries.Find("/x"), length);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(password), length), "a=b");
}

} // namespace
} // namespace vorlaxen
