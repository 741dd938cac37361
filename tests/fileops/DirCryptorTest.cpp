// The crypt box: the work list and the work directory of the running operation.

#include "fileops/TKX_DirCryptor.h"

#include <gtest/gtest.h>

namespace vorlaxen {
namespace {

TEST(TKX_DirCryptor, ReadSelectionTakesTheSelectedFilesAndTheShownDirectory) {
    TKX_DirCryptor box;
    EXPECT_TRUE(box.WorkList.empty());
    EXPECT_EQ(box.WorkDirectory, "");
    box.ReadSelection({"b.txt", "a.txt.CRY", "b.txt"}, "/home/shown");
    EXPECT_EQ(box.WorkList, (std::vector<std::string>{"b.txt", "a.txt.CRY", "b.txt"}))
        << "neither sorted nor deduplicated";
    EXPECT_EQ(box.WorkDirectory, "/home/shown");

    box.ReadSelection({}, "/home/other");
    EXPECT_TRUE(box.WorkList.empty());
    EXPECT_EQ(box.WorkDirectory, "/home/other") << "an empty selection still sets the directory";
}

} // namespace
} // namespace vorlaxen
