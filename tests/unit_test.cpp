// The rules the end-to-end runs cannot reach: every way a command line can be counted, system
// directories that are not on a drive root, and the finder's look-ahead contract.

#include <gtest/gtest.h>

#include <algorithm>

#include "launcher/commands.h"
#include "platform/file_find.h"
#include "test_files.h"

using namespace launcher;

namespace {

// Lead bytes of a double-byte code page whose trail bytes include "\" (0x5C).
bool DoubleByteLeads(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

} // namespace

TEST(Rules, ArgumentCount) {
    const struct {
        const char *line;
        int count;
        LeadByteTest isLeadByte = [](unsigned char) { return false; };
    } rows[] = {
        {"", 1},
        {"prog", 1},
        {"prog   ", 1},
        {"\"C:\\My Setup\\launcher.exe\" /s", 2},
        {"\"prog\"x", 2}, // the character after the closing quote begins the arguments
        {"prog one", 2},
        {"prog \"two words\"", 2},
        {"prog \"\"", 2},     // an empty quoted pair is one empty argument
        {"prog\t\tone\t", 2}, // tabs separate like blanks
        {"prog one two", 3},
        {"prog \"a b\" c", 3},
        {"prog \"\" \"\"", 3},
        {"prog a\"b c\"d", 2},      // quotes group inside an argument
        {"prog \"a\"\"b c\"", 3},   // "" inside quotes: a literal quote, and the quotes close
        {"prog \"a\"\"\"b c\"", 2}, // ... so a third quote opens them again
        {"prog a\\\"b", 2},         // 2n+1 backslashes and a quote: a literal quote
        {"prog a\\\\\"b c\"", 2},   // 2n backslashes and a quote: the quote opens
        {"prog \"a\\\\\" b", 3},    // ... or closes
        {"prog \"a\\\" b\"", 2},    // an escaped quote keeps the section open
        {"prog a\\\\ b", 3},        // backslashes before no quote are literal
        {"prog \"a\x83\\\" b", 3, DoubleByteLeads}, // a trail byte 0x5C escapes no quote
        {"prog \"a\x83\\\" b", 2},                  // ... where it is a backslash
    };
    for (const auto &row : rows)
        EXPECT_EQ(CountArguments(row.line, row.isLeadByte), row.count) << "[" << row.line << "]";
}

TEST(Rules, DrivePrefixComesOnlyFromASystemDirectoryOnADriveRoot) {
    EXPECT_EQ(SystemDrivePrefix(std::string("C:\\Windows\\system32")), std::string("C:\\"));
    EXPECT_EQ(SystemDrivePrefix(std::string("d:\\winnt\\system32")), std::string("d:\\"));
    // Unknown, relative or not on a drive: nothing is built relative to the current directory.
    for (const char *directory : {"", "C:", "C:Windows", "Windows\\system32", "\\\\server\\share",
                                  "1:\\Windows", "C:/Windows"})
        EXPECT_EQ(SystemDrivePrefix(std::string(directory)), std::nullopt) << directory;
    EXPECT_EQ(SystemDrivePrefix(std::nullopt), std::nullopt);
}

TEST(Finder, ReadsOneEntryAheadAndHandsOverTheLastOne) {
    test_files::RemoveAll("C:\\finder");
    test_files::MakeFolders("C:\\finder");
    test_files::WriteFile("C:\\finder\\only.txt", "x");
    CFileFind finder;
    ASSERT_TRUE(finder.BeginSearch("C:\\finder\\*.*"));
    EXPECT_EQ(finder.EntryName(), "") << "the first match waits; nothing is current yet";
    std::vector<std::string> names;
    std::vector<bool> results;
    do {
        results.push_back(finder.Advance());
        names.push_back(finder.EntryName());
        EXPECT_EQ(finder.IsDotEntry(), names.back() != "only.txt");
    } while (results.back());
    EXPECT_EQ(results, (std::vector<bool>{true, true, false}));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "only.txt"}));

    SetLastError(0xDEAD);
    EXPECT_FALSE(finder.BeginSearch("C:\\finder\\missing\\*.*"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND)) << "the platform's error is kept";
    EXPECT_FALSE(finder.Advance());
}
