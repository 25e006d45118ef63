#include <algorithm>

#include <gtest/gtest.h>

#include "platform/file_find.h"
#include "test_files.h"

using namespace test_files;

namespace {

class FileFind : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = FreshFolder(std::string("C:\\finder\\") +
                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { RemoveAll(folder_); }

    std::string folder_;
};

} // namespace

TEST_F(FileFind, ReadsOneEntryAheadAndHandsOverTheLastOne) {
    WriteFile(folder_ + "\\only.txt", "x");
    CFileFind finder;
    EXPECT_EQ(finder.EntryName(), "");
    ASSERT_TRUE(finder.BeginSearch((folder_ + "\\*.*").c_str()));
    // The first match waits; nothing is current yet.
    EXPECT_EQ(finder.EntryName(), "");
    EXPECT_FALSE(finder.IsFolder());
    EXPECT_FALSE(finder.IsDotEntry());

    std::vector<std::string> names;
    std::vector<bool> results;
    bool more;
    do {
        more = finder.Advance();
        results.push_back(more);
        names.push_back(finder.EntryName());
        EXPECT_EQ(finder.IsDotEntry(), names.back() == "." || names.back() == "..");
        EXPECT_EQ(finder.IsFolder(), names.back() != "only.txt");
    } while (more);

    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(results, (std::vector<bool>{true, true, false}));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "only.txt"}));
    // The last entry stays readable after the false advance.
    EXPECT_FALSE(finder.EntryName().empty());
    EXPECT_EQ(finder.Root(), folder_);

    finder.EndSearch();
    finder.EndSearch();
    EXPECT_EQ(finder.EntryName(), "");
    EXPECT_FALSE(finder.Advance());
}

TEST_F(FileFind, ExactPathIsFoundWhateverItNames) {
    WriteFile(folder_ + "\\uninstall.iss", "x");
    MakeFolders(folder_ + "\\sub.iss");
    CFileFind finder;
    EXPECT_TRUE(finder.BeginSearch((folder_ + "\\uninstall.iss").c_str()));
    ASSERT_FALSE(finder.Advance());
    EXPECT_EQ(finder.EntryName(), "uninstall.iss");
    EXPECT_FALSE(finder.IsFolder());

    EXPECT_TRUE(finder.BeginSearch((folder_ + "\\sub.iss").c_str()));
    finder.Advance();
    EXPECT_TRUE(finder.IsFolder());
    EXPECT_FALSE(finder.IsDotEntry());
}

TEST_F(FileFind, FailedStartKeepsThePlatformsErrorAndLeavesNoSearch) {
    CFileFind finder;
    EXPECT_FALSE(finder.BeginSearch((folder_ + "\\missing.iss").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(finder.Advance());
    EXPECT_EQ(finder.EntryName(), "");

    EXPECT_FALSE(finder.BeginSearch((folder_ + "\\no such folder\\*.*").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    finder.EndSearch();
}

TEST_F(FileFind, DotEntriesAreOnlyTheTwoFolderEntries) {
    MakeFolders(folder_ + "\\.x");
    WriteFile(folder_ + "\\..y", "x");
    CFileFind finder;
    ASSERT_TRUE(finder.BeginSearch((folder_ + "\\*.*").c_str()));
    int dots = 0, others = 0;
    bool more;
    do {
        more = finder.Advance();
        (finder.IsDotEntry() ? dots : others)++;
    } while (more);
    EXPECT_EQ(dots, 2);
    EXPECT_EQ(others, 2);
}

TEST_F(FileFind, CarriesItsRunTimeClass) {
    CFileFind finder;
    const CObject &object = finder;
    EXPECT_STREQ(object.GetRuntimeClass()->className, "CFileFind");
    EXPECT_TRUE(object.IsKindOf(&CObject::classCObject));
    EXPECT_TRUE(object.IsKindOf(&CFileFind::classCFileFind));
}
