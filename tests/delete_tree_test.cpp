#include <gtest/gtest.h>

#include "launcher/delete_tree.h"
#include "test_files.h"

using namespace test_files;

namespace {

class DeleteTree : public ::testing::Test {
  protected:
    void SetUp() override {
        RemoveAll(outside_);
        folder_ = FreshFolder(std::string("C:\\deletion\\") +
                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        RemoveAll(folder_);
        RemoveAll(outside_);
    }

    std::string folder_;
    const std::string outside_ = "C:\\deletion-outside";
};

} // namespace

TEST_F(DeleteTree, RemovesAnEmptyFolder) {
    EXPECT_EQ(launcher::DeleteTree(folder_), 1);
    EXPECT_FALSE(Exists(folder_));
}

TEST_F(DeleteTree, MissingFolderIsAFailure) {
    EXPECT_EQ(launcher::DeleteTree(folder_ + "\\missing"), 0);
    EXPECT_TRUE(Exists(folder_));
}

TEST_F(DeleteTree, RemovesADeepTreeWithEveryKindOfEntry) {
    std::string level = folder_;
    for (int depth = 0; depth < 6; ++depth) {
        level += "\\level " + std::to_string(depth);
        MakeFolders(level);
        WriteFile(level + "\\file.txt", "x");
        WriteFile(level + "\\.x", "dot name");
        MakeFolders(level + "\\..y");
        WriteFile(level + "\\no extension", "x");
    }
    WriteFile(folder_ + "\\hidden.dat", "x");
    SetFileAttributesA((folder_ + "\\hidden.dat").c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(launcher::DeleteTree(folder_), 1);
    EXPECT_FALSE(Exists(folder_));
}

TEST_F(DeleteTree, ReadOnlyFileKeepsItsFoldersAndNothingElse) {
    MakeFolders(folder_ + "\\a\\b");
    MakeFolders(folder_ + "\\a\\sibling");
    WriteFile(folder_ + "\\top.txt", "x");
    WriteFile(folder_ + "\\a\\b\\locked.txt", "x");
    WriteFile(folder_ + "\\a\\b\\free.txt", "x");
    WriteFile(folder_ + "\\a\\sibling\\free.txt", "x");
    MakeReadOnly(folder_ + "\\a\\b\\locked.txt");

    EXPECT_EQ(launcher::DeleteTree(folder_), 0);
    EXPECT_TRUE(Exists(folder_ + "\\a\\b\\locked.txt"));
    EXPECT_FALSE(Exists(folder_ + "\\a\\b\\free.txt"));
    EXPECT_FALSE(Exists(folder_ + "\\a\\sibling"));
    EXPECT_FALSE(Exists(folder_ + "\\top.txt"));
}

TEST_F(DeleteTree, NamesAndPathsUpToThePlatformLimitAreWhole) {
    // Paths of 200 to 259 characters: past any short fixed buffer, within the platform's limit.
    const std::string longFolder = folder_ + "\\" + std::string(150, 'd');
    MakeFolders(longFolder);
    const std::size_t room = MAX_PATH - 1 - longFolder.size() - 1;
    for (std::size_t length : {room - 40, room - 1, room}) {
        const std::string path = longFolder + "\\" + std::string(length, 'n');
        WriteFile(path, "x");
        ASSERT_TRUE(Exists(path)) << path.size();
    }
    EXPECT_EQ(launcher::DeleteTree(folder_), 1);
    EXPECT_FALSE(Exists(folder_));
}

TEST_F(DeleteTree, PathsThePlatformRefusesAreSkipped) {
    const std::string longFolder = folder_ + "\\" + std::string(150, 'd');
    MakeFolders(longFolder);
    WriteFile(longFolder + "\\short.txt", "x");
    const std::string tooLong = longFolder + "\\" + std::string(200, 'n');
    ASSERT_TRUE(MakeFileWithLongPath(tooLong));

    EXPECT_EQ(launcher::DeleteTree(folder_), 0);
    EXPECT_TRUE(ExistsWithLongPath(tooLong));
    EXPECT_FALSE(Exists(longFolder + "\\short.txt"));
}

TEST_F(DeleteTree, NeverFollowsALinkInsideTheTree) {
    MakeFolders(outside_ + "\\inner");
    WriteFile(outside_ + "\\keep.txt", "keep");
    WriteFile(outside_ + "\\inner\\keep too.txt", "keep");
    MakeFolders(folder_ + "\\sub");
    WriteFile(folder_ + "\\sub\\file.txt", "x");
    MakeUnixLink(outside_, folder_ + "\\sub\\link");

    launcher::DeleteTree(folder_);
    EXPECT_EQ(ReadFile(outside_ + "\\keep.txt"), "keep");
    EXPECT_EQ(ReadFile(outside_ + "\\inner\\keep too.txt"), "keep");
    EXPECT_FALSE(Exists(folder_ + "\\sub\\file.txt"));
}

TEST_F(DeleteTree, AFolderThatIsALinkIsNeverEntered) {
    MakeFolders(outside_ + "\\inner");
    WriteFile(outside_ + "\\keep.txt", "keep");
    WriteFile(outside_ + "\\inner\\keep too.txt", "keep");
    MakeUnixLink(outside_, folder_ + "\\link");

    launcher::DeleteTree(folder_ + "\\link");
    EXPECT_EQ(ReadFile(outside_ + "\\keep.txt"), "keep");
    EXPECT_EQ(ReadFile(outside_ + "\\inner\\keep too.txt"), "keep");
}
