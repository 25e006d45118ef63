// The rules the end-to-end runs cannot reach: every way a command line can be counted, system
// directories that are not on a drive root, and the finder's look-ahead contract.

#include <gtest/gtest.h>

#include <algorithm>

#include "launcher/commands.h"
#include "platform/file_find.h"
#include "test_files.h"

using namespace launcher;

TEST(Rules, ArgumentCount) {
    const struct {
        const wchar_t *line;
        int count;
    } rows[] = {
        {L"", 1},
        {L"prog", 1},
        {L"prog   ", 1},
        {L"\"C:\\My Setup\\launcher.exe\" /s", 2},
        {L"\"prog\"x", 2}, // the character after the closing quote begins the arguments
        {L"prog one", 2},
        {L"prog \"two words\"", 2},
        {L"prog \"\"", 2},     // an empty quoted pair is one empty argument
        {L"prog\t\tone\t", 2}, // tabs separate like blanks
        {L"prog one two", 3},
        {L"prog \"a b\" c", 3},
        {L"prog \"\" \"\"", 3},
        {L"prog a\"b c\"d", 2},      // quotes group inside an argument
        {L"prog \"a\"\"b c\"", 3},   // "" inside quotes: a literal quote, and the quotes close
        {L"prog \"a\"\"\"b c\"", 2}, // ... so a third quote opens them again
        {L"prog a\\\"b", 2},         // 2n+1 backslashes and a quote: a literal quote
        {L"prog a\\\\\"b c\"", 2},   // 2n backslashes and a quote: the quote opens
        {L"prog \"a\\\\\" b", 3},    // ... or closes
        {L"prog \"a\\\" b\"", 2},    // an escaped quote keeps the section open
        {L"prog a\\\\ b", 3},        // backslashes before no quote are literal
        // Look-alike quotes (U+FF02) and backslashes (U+FF3C) are ordinary characters.
        {L"prog a\xFF02 -x \xFF02"
         L"b",
         4},
        {L"\"C:\\a\xFF02 -x \xFF02"
         L"b\\launcher.exe\" /s",
         2},
        {L"prog \xFF02two words\xFF02", 3},
        {L"prog \"a\xFF3C\" b", 3},
        {L"prog \xD83D\xDE80 x", 3}, // a character outside the Basic Multilingual Plane
    };
    for (const auto &row : rows)
        EXPECT_EQ(CountArguments(row.line), row.count)
            << "[" << testing::PrintToString(row.line) << "]";
}

TEST(Rules, DrivePrefixComesOnlyFromASystemDirectoryOnADriveRoot) {
    EXPECT_EQ(SystemDrivePrefix(std::wstring(L"C:\\Windows\\system32")), std::wstring(L"C:\\"));
    EXPECT_EQ(SystemDrivePrefix(std::wstring(L"d:\\winnt\\system32")), std::wstring(L"d:\\"));
    // Unknown, relative or not on a drive: nothing is built relative to the current directory.
    for (const wchar_t *directory : {L"", L"C:", L"C:Windows", L"Windows\\system32",
                                     L"\\\\server\\share", L"1:\\Windows", L"C:/Windows"})
        EXPECT_EQ(SystemDrivePrefix(std::wstring(directory)), std::nullopt);
    EXPECT_EQ(SystemDrivePrefix(std::nullopt), std::nullopt);
}

TEST(Finder, ReadsOneEntryAheadAndHandsOverTheLastOne) {
    test_files::RemoveAll("C:\\finder");
    test_files::MakeFolders("C:\\finder");
    test_files::WriteFile("C:\\finder\\only.txt", "x");
    CFileFind finder;
    ASSERT_TRUE(finder.BeginSearch(L"C:\\finder\\*.*"));
    EXPECT_EQ(finder.EntryName(), L"") << "the first match waits; nothing is current yet";
    std::vector<std::wstring> names;
    std::vector<bool> results;
    do {
        results.push_back(finder.Advance());
        names.push_back(finder.EntryName());
        EXPECT_EQ(finder.IsDotEntry(), names.back() != L"only.txt");
    } while (results.back());
    EXPECT_EQ(results, (std::vector<bool>{true, true, false}));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L".", L"..", L"only.txt"}));

    SetLastError(0xDEAD);
    EXPECT_FALSE(finder.BeginSearch(L"C:\\finder\\missing\\*.*"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND)) << "the platform's error is kept";
    EXPECT_FALSE(finder.Advance());
}
