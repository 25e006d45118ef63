// The rules the end-to-end runs cannot reach: every way a command line can be counted, and
// system directories that are not on a drive root.

#include <gtest/gtest.h>

#include "launcher/commands.h"

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
        {L"prog \"a\xFF3C\" b", 3},  // no escape: the quote closes
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
