// The ".cry" naming rule: file names, and captions with and without ".cry".

#include "engine/ContainerName.h"

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

    EXPECT_EQ(CryptedCaptionOf("a.txt.cry", false), "a.txt");
    EXPECT_EQ(CryptedCaptionOf("B.CRY", true), "B.CRY");
}

} // namespace
} // namespace vorlaxen
