#include "desktop/StatusSlide.h"

#include <gtest/gtest.h>

namespace vorlaxen {
namespace {

std::vector<std::string> Indented(const std::string& message, const std::vector<int>& spaces) {
    std::vector<std::string> texts;
    for (int n : spaces)
        texts.push_back(std::string(static_cast<std::size_t>(n), ' ') + message);
    return texts;
}

TEST(StatusSlide, TheMessageSwingsInWithShrinkingAmplitude) {
    const std::vector<int> spaces = {4, 3, 2, 1, 0, 1, 2, 3, 4, // in from five, out to four
                                     3, 2, 1, 0, 1, 2, 3,       // four
                                     2, 1, 0, 1, 2,             // three
                                     1, 0, 1,                   // two
                                     0,                         // one
                                     0};                        // at rest
    EXPECT_EQ(StatusSlideSteps("Idle."), Indented("Idle.", spaces));
    EXPECT_EQ(StatusSlideSteps("Idle.").size(), 26u);
}

TEST(StatusSlide, AnEmptyMessageShowsOnlySpacesAndEndsEmpty) {
    auto steps = StatusSlideSteps("");
    ASSERT_EQ(steps.size(), 26u);
    for (const auto& s : steps)
        EXPECT_EQ(s.find_first_not_of(' '), std::string::npos);
    EXPECT_EQ(steps.back(), "");
}

TEST(StatusSlide, NeverEatsIntoTheMessage) {
    for (const auto& s : StatusSlideSteps("  two leading spaces"))
        EXPECT_NE(s.find("  two leading spaces"), std::string::npos) << '"' << s << '"';
}

} // namespace
} // namespace vorlaxen
