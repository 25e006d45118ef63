// The rules the end-to-end runs cannot reach: every way a command line can be counted, system
// directories that are not on a drive root, and program headers no real file would have.

#include <gtest/gtest.h>

#include <cstring>

#include "launcher/commands.h"
#include "launcher/program_image.h"

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

namespace {

void Put(std::string &image, std::size_t at, std::uint32_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        image[at + i] = static_cast<char>(value >> (8 * i));
}

// A whole 32-bit program in 1 KiB: headers, then one section of 0x200 bytes at 0x200.
constexpr std::size_t kPe = 0x80, kOptional = kPe + 24, kSection = kOptional + 224;
std::string Program() {
    std::string image(0x400, '\0');
    Put(image, 0, 0x5A4D, 2);      // "MZ"
    Put(image, 0x3C, kPe, 4);      // where the PE header is
    Put(image, kPe, 0x4550, 4);    // "PE\0\0"
    Put(image, kPe + 4, 0x14C, 2); // i386
    Put(image, kPe + 6, 1, 2);     // one section
    Put(image, kPe + 20, 224, 2);  // the optional header's size
    Put(image, kPe + 22, IMAGE_FILE_EXECUTABLE_IMAGE, 2);
    Put(image, kOptional, 0x10B, 2);      // PE32
    Put(image, kOptional + 60, 0x200, 4); // the headers' size
    Put(image, kOptional + 92, 16, 4);    // the number of data directories
    Put(image, kSection + 16, 0x200, 4);  // the section's raw size
    Put(image, kSection + 20, 0x200, 4);  // and where it is
    return image;
}

} // namespace

// The headers decide what the platform's own answer cannot: a library, a 64-bit program, a file
// cut short; sizes and offsets from the file never wrap or read outside it.
TEST(Rules, ProgramImages) {
    constexpr DWORD ok = 0, notAProgram = ERROR_BAD_EXE_FORMAT, cut = ERROR_FILE_CORRUPT;
    constexpr DWORD mismatch = ERROR_EXE_MACHINE_TYPE_MISMATCH;
    const struct {
        const char *name;
        void (*change)(std::string &image);
        DWORD on32BitWindows, on64BitWindows;
        bool signedImage = false;
    } rows[] = {
        {"whole", [](std::string &) {}, ok, ok},
        {"64-bit",
         [](std::string &image) { // PE32+ for x64, whose optional header is longer
             Put(image, kPe + 4, 0x8664, 2);
             Put(image, kPe + 20, 240, 2);
             Put(image, kOptional, 0x20B, 2);
             Put(image, kOptional + 108, 16, 4);
             Put(image, kSection + 16 + 16, 0x200, 4);
             Put(image, kSection + 16 + 20, 0x200, 4);
         },
         mismatch, ok},
        {"for another processor", [](std::string &image) { Put(image, kPe + 4, 0x1C4, 2); },
         mismatch, mismatch},
        {"not marked executable", [](std::string &image) { Put(image, kPe + 22, 0, 2); },
         notAProgram, notAProgram},
        {"optional header too short", [](std::string &image) { Put(image, kPe + 20, 64, 2); },
         notAProgram, notAProgram},
        {"section table past the end", [](std::string &image) { Put(image, kPe + 6, 0xFFFF, 2); },
         cut, cut},
        {"section whose end wraps at 4 GiB",
         [](std::string &image) { Put(image, kSection + 20, 0xFFFFFF00, 4); }, cut, cut},
        {"certificate table past the end",
         [](std::string &image) {
             Put(image, kOptional + 96 + 32, 0x3F0, 4);
             Put(image, kOptional + 100 + 32, 0x20, 4);
         },
         cut, cut, true},
    };
    for (const auto &row : rows) {
        std::string image = Program();
        row.change(image);
        const ImageFacts facts = ReadImageFacts(
            image.size(), [&image](std::uint64_t at, void *buffer, std::size_t size) {
                if (at > image.size() || size > image.size() - at)
                    return false;
                std::memcpy(buffer, image.data() + at, size);
                return true;
            });
        EXPECT_EQ(facts.carriesSignature, row.signedImage) << row.name;
        const DWORD platformAnswer =
            facts.width == ImageWidth::Bits64 ? SCS_64BIT_BINARY : SCS_32BIT_BINARY;
        EXPECT_EQ(ProgramError(facts, platformAnswer, false), row.on32BitWindows) << row.name;
        EXPECT_EQ(ProgramError(facts, platformAnswer, true), row.on64BitWindows) << row.name;
        if (row.on64BitWindows == ok) { // what the platform takes for no program is none
            EXPECT_EQ(ProgramError(facts, SCS_DOS_BINARY, true), notAProgram) << row.name;
            EXPECT_EQ(ProgramError(facts, std::nullopt, true), notAProgram) << row.name;
        }
    }
}
