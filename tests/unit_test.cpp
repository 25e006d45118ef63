// The rules the end-to-end runs cannot reach: every way a command line can be counted, system
// directories that are not on a drive root, program headers no real file would have, every edge
// of the checksum manifest and the machines Windows runs.

#include <gtest/gtest.h>

#include <cstring>

#include "launcher/commands.h"
#include "launcher/manifest.h"
#include "launcher/paths.h"
#include "launcher/program_image.h"
#include "launcher/reached_paths.h"
#include "launcher/vouching.h"

using namespace launcher;

// The classic rules, row by row; tests/fuzz/fuzz_command_line.cpp checks them on any line.
TEST(Rules, ArgumentCount) {
    const struct {
        const wchar_t *line;
        int count;
    } rows[] = {
        {L"", 1},
        {L"\"C:\\My Setup\\launcher.exe\" /s", 2},
        {L"\"prog\"x", 2},           // the character after the closing quote begins the arguments
        {L"prog \"\"", 2},           // an empty quoted pair is one empty argument
        {L"prog a\"b c\"d", 2},      // quotes group inside an argument
        {L"prog \"a\"\"b c\"", 3},   // "" inside quotes: a literal quote, and the quotes close
        {L"prog \"a\"\"\"b c\"", 2}, // ... so a third quote opens them again
        {L"prog a\\\"b", 2},         // 2n+1 backslashes and a quote: a literal quote
        {L"prog a\\\\\"b c\"", 2},   // 2n backslashes and a quote: the quote opens
        {L"prog a\\\\ b", 3},        // backslashes before no quote are literal
        // Look-alike quotes (U+FF02) are ordinary characters.
        {L"prog a\xFF02 -x \xFF02"
         L"b",
         4},
        {L"prog \xFF02two words\xFF02", 3},
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
    Put(image, 0, 0x5A4D, 2);             // "MZ"
    Put(image, 0x3C, kPe, 4);             // where the PE header is
    Put(image, kPe, 0x4550, 4);           // "PE\0\0"
    Put(image, kPe + 4, 0x14C, 2);        // i386
    Put(image, kPe + 6, 1, 2);            // one section
    Put(image, kPe + 20, 224, 2);         // the optional header's size
    Put(image, kPe + 22, 0x0002, 2);      // an executable image
    Put(image, kOptional, 0x10B, 2);      // PE32
    Put(image, kOptional + 60, 0x200, 4); // the headers' size
    Put(image, kOptional + 68, 2, 2);     // Windows GUI
    Put(image, kOptional + 92, 16, 4);    // the number of data directories
    Put(image, kSection + 16, 0x200, 4);  // the section's raw size
    Put(image, kSection + 20, 0x200, 4);  // and where it is
    return image;
}

} // namespace

// The headers decide what the platform's own answer cannot: a library, a 64-bit program, a file
// cut short, an image for no Windows subsystem; sizes and offsets from the file never wrap or read
// outside it, and a read that fails is that failure.
TEST(Rules, ProgramImages) {
    constexpr ErrorCode ok = kNoError, notAProgram = kErrorBadExeFormat, cut = kErrorFileCorrupt;
    constexpr ErrorCode mismatch = kErrorMachineMismatch;
    const struct {
        const char *name;
        void (*change)(std::string &image);
        ErrorCode on32BitWindows, on64BitWindows;
        bool signedImage = false;
        std::uint64_t failingReadAt = ~std::uint64_t{0}; // a read covering this byte fails
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
        {"empty", [](std::string &image) { image.clear(); }, notAProgram, notAProgram},
        {"a DOS program", [](std::string &image) { Put(image, 0x3C, 0, 4); }, notAProgram,
         notAProgram},
        {"native subsystem", [](std::string &image) { Put(image, kOptional + 68, 1, 2); },
         notAProgram, notAProgram},
        {"EFI subsystem", [](std::string &image) { Put(image, kOptional + 68, 10, 2); },
         notAProgram, notAProgram},
        {"optional header too short", [](std::string &image) { Put(image, kPe + 20, 64, 2); },
         notAProgram, notAProgram},
        {"cut inside its section table", [](std::string &image) { image.resize(kSection + 20); },
         cut, cut},
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
        {"a read that fails midway", [](std::string &) {}, 23, 23, false, kSection},
    };
    for (const auto &row : rows) {
        std::string image = Program();
        row.change(image);
        const ImageFacts facts = ReadImageFacts(
            image.size(), [&](std::uint64_t at, void *buffer, std::size_t size) -> ErrorCode {
                EXPECT_TRUE(at <= image.size() && size <= image.size() - at) << row.name;
                if (at <= row.failingReadAt && row.failingReadAt < at + size)
                    return 23; // as a bad sector would
                std::memcpy(buffer, image.data() + at, size);
                return kNoError;
            });
        EXPECT_EQ(facts.carriesSignature, row.signedImage) << row.name;
        const BinaryTypeAnswer platformAnswer = {
            facts.machine == ImageMachine::X64 ? kScs64BitBinary : kScs32BitBinary, kNoError};
        for (const bool is64 : {false, true}) {
            MachineAnswers machines;
            machines.is64BitWindows = is64;
            ErrorCode error = ImageError(facts, machines);
            if (error == kNoError)
                error = BinaryTypeError(platformAnswer);
            EXPECT_EQ(error, is64 ? row.on64BitWindows : row.on32BitWindows) << row.name;
        }
    }
    // The platform's answer: a program of another kind is none; a failure other than the file's
    // format is that failure.
    EXPECT_EQ(BinaryTypeError({kScs32BitBinary, kNoError}), ok);
    EXPECT_EQ(BinaryTypeError({1 /* SCS_DOS_BINARY */, kNoError}), notAProgram);
    EXPECT_EQ(BinaryTypeError({std::nullopt, kErrorBadExeFormat}), notAProgram);
    EXPECT_EQ(BinaryTypeError({std::nullopt, 32}), 32u);
}

// Which machines run, from what Windows answers: GetMachineTypeAttributes first, then the native
// machine, then the bitness alone.
TEST(Rules, MachinesThatRun) {
    const std::optional<bool> noAnswer, yes = true, no = false;
    const std::optional<std::uint16_t> unknown, amd64 = kMachineAmd64, arm64 = kMachineArm64;
    const struct {
        ImageMachine machine;
        bool is64BitWindows;
        std::optional<bool> runsInUserMode;
        std::optional<std::uint16_t> nativeMachine;
        bool runs;
    } rows[] = {
        {ImageMachine::X86, true, no, arm64, true}, // x86 always runs
        {ImageMachine::X64, false, noAnswer, unknown, false},
        {ImageMachine::X64, true, noAnswer, unknown, true},
        {ImageMachine::X64, true, noAnswer, arm64, false}, // ARM64 Windows 10: no x64
        {ImageMachine::X64, true, yes, arm64, true},       // ARM64 Windows 11 says it runs
        {ImageMachine::X64, true, no, amd64, false},
        {ImageMachine::Arm64, true, noAnswer, unknown, false},
        {ImageMachine::Arm64, true, noAnswer, amd64, false},
        {ImageMachine::Arm64, true, noAnswer, arm64, true},
        {ImageMachine::Other, true, yes, arm64, false},
    };
    for (const auto &row : rows) {
        MachineAnswers answers;
        answers.is64BitWindows = row.is64BitWindows;
        answers.runsInUserMode = row.runsInUserMode;
        answers.nativeMachine = row.nativeMachine;
        EXPECT_EQ(MachineRuns(row.machine, answers), row.runs)
            << MachineCode(row.machine) << " on " << (row.is64BitWindows ? 64 : 32) << "-bit";
    }
}

// The manifest's edges: what sha256sum and Get-FileHash write is taken; strict UTF-8 and the
// line's own form (the end-to-end table and the fuzzer's rules cover the names refused).
TEST(Rules, Manifests) {
    const std::string hash(64, 'a'), other(64, 'B');
    const std::string installer = hash + "  data.exe\n";
    const struct {
        std::string text;
        std::vector<std::string> names; // empty: refused
    } rows[] = {
        {installer, {"data.exe"}},
        {"\xEF\xBB\xBF" + other + "  DATA.EXE\r\n" + hash + "  Disk1\\data1.cab\r\n\r\n",
         {"DATA.EXE", "Disk1/data1.cab"}},
        {installer + "\n" + hash + " *./Disk1/sub/x y.cab", {"data.exe", "Disk1/sub/x y.cab"}},
        {installer + hash + "  ./\xD0\xA3\xE8\xA1\xA8.cab\n",
         {"data.exe", "\xD0\xA3\xE8\xA1\xA8.cab"}},
        {installer + hash + "  bad\xC0\xAF.cab\n", {}},     // overlong UTF-8
        {installer + hash + "  bad\xED\xA0\x80.cab\n", {}}, // a surrogate
        {installer + hash.substr(1) + "g  x\n", {}},        // not hex
        {installer + hash + "\tx\n", {}},
        {installer + hash + "  \n", {}}, // no name
        // Names the ordinary path rules read as a device or as another name are refused; names
        // that only begin like a device are plain.
        {installer + hash + "  auxiliary.cab\n" + hash + "  console.txt\n" + hash + "  com10.dat\n",
         {"data.exe", "auxiliary.cab", "console.txt", "com10.dat"}},
    };
    for (const char *name : {"AUX", "Disk1/aux.cab", "con.txt", "nul .txt", "COM0", "lpt9.x.y",
                             "COM\xC2\xB9", "lpt\xC2\xB3.cab", "CONIN$", "conout$.log", "PRN/x",
                             "setup.iss.", "setup.iss ", "Disk1./x", "Disk1 /x"})
        EXPECT_EQ(ParseManifest(installer + hash + "  " + name + "\n").error, kErrorInvalidData)
            << name;
    for (const auto &row : rows) {
        const Manifest manifest = ParseManifest(row.text);
        std::vector<std::string> names;
        for (const ManifestEntry &entry : manifest.entries)
            names.push_back(entry.name);
        EXPECT_EQ(manifest.error, row.names.empty() ? kErrorInvalidData : kNoError)
            << testing::PrintToString(row.text.substr(0, 200));
        EXPECT_EQ(names, row.names) << testing::PrintToString(row.text.substr(0, 200));
    }
    const Manifest manifest = ParseManifest(other + "  Disk1\\\xF0\x9F\x9A\x80.cab\n" + installer);
    ASSERT_EQ(manifest.entries.size(), 2u);
    EXPECT_EQ(manifest.entries[0].digest[0], 0xBB);
    EXPECT_EQ(RelativePath(manifest.entries[0]), L"Disk1\\\xD83D\xDE80.cab");
}

// The launcher's folder keeps its separator only at a drive root, and a joined name gets one.
TEST(Rules, FoldersAndJoinedPaths) {
    EXPECT_EQ(FolderOf(L"D:\\launcher.exe"), L"D:\\");
    EXPECT_EQ(FolderOf(L"D:\\Setup\\launcher.exe"), L"D:\\Setup");
    EXPECT_EQ(FolderOf(L"\\\\server\\share\\launcher.exe"), L"\\\\server\\share");
    EXPECT_EQ(FolderOf(L"launcher.exe"), L"");
    EXPECT_EQ(JoinPath(L"D:\\", L"data.exe"), L"D:\\data.exe");
    EXPECT_EQ(InstallerCommand(LaunchMode::Silent, L"D:\\"),
              L"\"D:\\data.exe\" -s -f1\"D:\\setup.iss\"");
    EXPECT_EQ(ExactPath(L"\\\\server\\share\\data.exe"), L"\\\\?\\UNC\\server\\share\\data.exe");
    EXPECT_EQ(ExactPath(L"D:\\data.exe"), L"\\\\?\\D:\\data.exe");
    // The held installer is started by its plain path only where that names the same file.
    EXPECT_EQ(PlainFormOf(L"\\\\?\\D:\\Média 2\\data.exe"), L"D:\\Média 2\\data.exe");
    EXPECT_EQ(PlainFormOf(L"\\\\?\\UNC\\server\\share\\data.exe"), L"\\\\server\\share\\data.exe");
    for (const std::wstring &exact : std::vector<std::wstring>{
             L"\\\\?\\D:\\media.\\data.exe", L"\\\\?\\D:\\COM1\\data.exe",
             L"\\\\?\\D:\\m \\data.exe", L"\\\\?\\D:\\..\\data.exe", L"\\\\?\\Volume{1}\\data.exe",
             L"\\\\?\\D:\\" + std::wstring(260, L'x') + L"\\data.exe"})
        EXPECT_EQ(PlainFormOf(exact), exact);
}

// A listed file counts as reached by its listed name only when the platform's path to it is the
// launcher folder's own joined with that name, compared as Windows compares names.
TEST(Rules, ListedFilesReachedByTheirListedName) {
    const std::wstring folder = L"\\\\?\\C:\\Media";
    const struct {
        const wchar_t *reached, *listed;
        bool byName;
    } rows[] = {
        {L"\\\\?\\C:\\Media\\Disk1\\a.cab", L"Disk1\\a.cab", true},
        {L"\\\\?\\C:\\MEDIA\\disk1\\A.CAB", L"Disk1\\a.cab", true}, // case alone
        {L"\\\\?\\C:\\Other\\a.cab", L"Disk1\\a.cab", false},       // a link on the way
        {L"\\\\?\\C:\\Media\\Disk1\\Sub\\a.cab", L"Disk1\\a.cab", false},
        {L"\\\\?\\C:\\Media\\Disk1\\a.cab", L"DISK1~1\\a.cab", false}, // a short name listed
        {L"\\\\?\\C:\\Media\\Disk1\\a.cab", L"Disk1\\a.cab\\", false},
        {L"", L"a.cab", false},
    };
    for (const auto &row : rows)
        EXPECT_EQ(launcher::ReachedByListedName(row.reached, folder, row.listed), row.byName)
            << std::string(row.reached, row.reached + std::wcslen(row.reached));
    EXPECT_FALSE(launcher::ReachedByListedName(L"\\\\?\\C:\\Media\\a.cab", L"", L"a.cab"));
}

// The signed messageDigest attribute's value: exactly an OCTET STRING of 32 bytes, in DER.
TEST(Rules, SignedManifestDigests) {
    Sha256Digest digest{};
    digest[0] = 0xAB, digest[31] = 0x01;
    std::vector<unsigned char> value = {0x04, 32};
    value.insert(value.end(), digest.begin(), digest.end());
    const std::string sha256 = "2.16.840.1.101.3.4.2.1";
    EXPECT_EQ(SignedSha256(sha256, value), digest);
    EXPECT_EQ(SignedSha256("1.3.14.3.2.26", value), std::nullopt); // SHA-1
    std::vector<unsigned char> longForm = {0x04, 0x81, 32};        // not DER
    longForm.insert(longForm.end(), digest.begin(), digest.end());
    std::vector<unsigned char> trailing = value, wrongTag = value, shortDigest = value;
    trailing.push_back(0);
    wrongTag[0] = 0x03;
    shortDigest.pop_back();
    for (const auto &bytes : {longForm, trailing, wrongTag, shortDigest, {}})
        EXPECT_EQ(ReadMessageDigest(bytes), std::nullopt);
}

// A verdict on the chain alone leaves a digest that matches; one on the signature never does, nor
// a chain verdict after a step of the signature's own failed or went unrecorded.
TEST(Rules, AuthenticodeDigestVerdicts) {
    const std::vector<std::uint32_t> passed(38, 0);
    std::vector<std::uint32_t> signatureStepFailed = passed, chainStepFailed = passed;
    signatureStepFailed[33] = 0x80096010; // the signature provider's step
    chainStepFailed[34] = 0x800B0109;     // the certificate provider's step
    const struct {
        std::uint32_t result;
        const std::vector<std::uint32_t> &steps;
        DigestVerdict verdict;
    } rows[] = {
        {0, {}, DigestVerdict::DigestMatches},
        {0x800B0109, chainStepFailed, DigestVerdict::DigestMatches}, // CERT_E_UNTRUSTEDROOT
        {0x800B0101, passed, DigestVerdict::DigestMatches},          // CERT_E_EXPIRED
        {0x800B0110, passed, DigestVerdict::DigestMatches},          // CERT_E_WRONG_USAGE
        {0x800B0109, signatureStepFailed, DigestVerdict::NoMatch},
        {0x800B0109, std::vector<std::uint32_t>(33, 0), DigestVerdict::NoMatch},
        {0x800B0109, {}, DigestVerdict::NoMatch},
        {0x80096010, passed, DigestVerdict::BadDigest}, // TRUST_E_BAD_DIGEST
        {0x800B0100, passed, DigestVerdict::NoMatch},   // TRUST_E_NOSIGNATURE
        {0x80096004, passed, DigestVerdict::NoMatch},   // TRUST_E_CERT_SIGNATURE
        {0x80091007, passed, DigestVerdict::NoMatch},   // CRYPT_E_HASH_VALUE
    };
    for (const auto &row : rows)
        EXPECT_EQ(DigestVerdictOf(row.result, row.steps), row.verdict) << std::hex << row.result;
}
