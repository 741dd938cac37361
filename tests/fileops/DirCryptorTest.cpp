// The crypt box: the work list and the work directory of the running operation.

#include "fileops/TKX_DirCryptor.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace vorlaxen {
namespace {

TEST(TKX_DirCryptor, ReadSelectionTakesTheCaptionsAndTheCurrentDirectory) {
    test::TempDir dir;
    char saved[4096];
    ASSERT_TRUE(::getcwd(saved, sizeof saved));
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);

    TKX_DirCryptor box;
    EXPECT_TRUE(box.WorkList.empty());
    EXPECT_EQ(box.WorkDirectory, "");
    box.ReadSelection({"b.txt", "a.txt", "b.txt"});
    EXPECT_EQ(box.WorkList, (std::vector<std::string>{"b.txt", "a.txt", "b.txt"})) << "neither sorted nor deduplicated";
    EXPECT_EQ(box.WorkDirectory, dir.path());

    box.WorkDirectory = "elsewhere";
    box.ReadSelection({});
    EXPECT_TRUE(box.WorkList.empty());
    EXPECT_EQ(box.WorkDirectory, dir.path()) << "an empty selection still sets the directory";
    ASSERT_EQ(::chdir(saved), 0);
}

} // namespace
} // namespace vorlaxen
