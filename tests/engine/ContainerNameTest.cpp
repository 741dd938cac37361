// The ".cry" naming rule: file names, captions with and without ".cry", and a container found under a
// plain name whatever the letter case of its extension.

#include "engine/ContainerName.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace vorlaxen {
namespace {

TEST(ContainerName, NamesAndCaptionsFollowTheExtensionAndShowCry) {
    EXPECT_EQ(ContainerPathOf("/d/letter.doc"), "/d/letter.doc.cry");
    EXPECT_EQ(PlainPathOf("/d/report.cry"), "/d/report");
    EXPECT_EQ(PlainPathOf("/d/report.xyz"), "/d/report") << "the last four characters, whatever they are";
    EXPECT_EQ(PlainPathOf("cry"), "");
    EXPECT_TRUE(HasContainerExtension("A.CRY"));
    EXPECT_TRUE(HasContainerExtension(".cry"));
    EXPECT_FALSE(HasContainerExtension("a.cryx"));
    EXPECT_FALSE(HasContainerExtension("acry"));

    for (bool showCry : {false, true}) {
        const std::string caption = CryptedCaptionOf("a.txt.cry", showCry);
        EXPECT_EQ(caption, showCry ? "a.txt.cry" : "a.txt");
        EXPECT_EQ(CryptedCaptionForPlain("a.txt", showCry), caption) << "encrypting names the entry it lists";
        EXPECT_EQ(PlainNameOfCaption(caption, showCry), "a.txt") << showCry;
    }
}

TEST(ContainerName, ACaptionWithoutCryFindsItsContainerInAnyLetterCase) {
    test::TempDir dir;
    test::WriteFile(dir / "b.txt.CRY", "x");
    test::WriteFile(dir / "c.txt.cry", "x");
    test::WriteFile(dir / "c.txt.Cry", "x");
    EXPECT_EQ(ContainerFileFor(dir.path(), "b.txt"), "b.txt.CRY");
    EXPECT_EQ(ContainerFileFor(dir.path(), "c.txt"), "c.txt.cry") << "the exact name first";
    EXPECT_EQ(ContainerFileFor(dir.path(), "d.txt"), "d.txt.cry") << "none yet: the name with .cry";
    EXPECT_EQ(ContainerFileFor(dir.path(), "B.TXT"), "B.TXT.cry") << "only the extension's case may differ";
    EXPECT_EQ(ContainerNameOfCaption(dir.path(), "b.txt", false), "b.txt.CRY");
    EXPECT_EQ(ContainerNameOfCaption(dir.path(), "b.txt.CRY", true), "b.txt.CRY");
}

} // namespace
} // namespace vorlaxen
