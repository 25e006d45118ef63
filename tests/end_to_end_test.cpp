// The shipped launcher.exe, run for real under Wine with stand-in programs for the product
// installer and the uninstaller. One table: each row sets a scene, the launcher runs in each of
// the row's modes, and every run is checked for the programs it started (exactly, in order), its
// standard output byte for byte (and what of it each program found when it started), its exit
// code and what is left of the earlier installation.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/file_digest.h"
#include "platform/handle_owner.h"
#include "platform/platform_operations.h"
#include "test_files.h"

using namespace test_files;
using platform::CloseHandleOwner;

namespace {

const bool kIs64 = Environment("WINE_TEST_ENVIRONMENT") == "win64";
const std::string kProgramFiles = kIs64 ? "C:\\Program Files (x86)" : "C:\\Program Files";
const std::string kInformationRoot = kProgramFiles + "\\InstallShield Installation Information";
const std::string kInformation = kInformationRoot + "\\{}";
const std::string kProduct = "C:\\ship\\product", kOutside = "C:\\outside";
const std::string kReport = "C:\\stand-in-report.txt", kHistory = "C:\\product-history.txt";
const std::string kOutput = "C:\\launcher-output.txt";
// Look-alike characters that the ANSI code page maps to "\" and "\"" by best fit.
const std::string kFullwidthBackslash = "\xEF\xBC\xBC", kSetMinus = "\xE2\x88\x96";
const std::string kFullwidthQuote = "\xEF\xBC\x82";
// Trap programs where an unquoted path, the current directory, PATH or a look-alike path would
// lead. A trap that runs reports like any stand-in, so the exact list of programs catches it.
const char *const kTraps[] = {"C:\\Program.exe", "C:\\current\\data.exe", "C:\\windows\\data.exe",
                              "C:\\windows\\system32\\data.exe", "C:\\Evil\\data.exe"};

// A stand-in's report: its module, its command line, its response
// file and the information folder, each "absent" or "present:" and its first line, and the
// launcher's standard output as it found it.
struct Record {
    std::string module, commandLine, responseFile, probe, output;
};

struct LauncherRun {
    DWORD exitCode;
    std::string output;
    std::vector<Record> records; // hand-over copies included
    bool silent;
};

bool IsCopy(const Record &record) {
    return record.module.find("-copy.exe") != std::string::npos;
}

std::vector<Record> Records() {
    std::vector<Record> records;
    for (const std::string &line : SplitFields(ReadFile(kReport), '\x1e')) {
        std::vector<std::string> fields = SplitFields(line, '\t');
        fields.resize(5);
        records.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
    }
    return records;
}

// Waits until a program the launcher did not wait for has reported, so that it cannot report
// into the next run.
void AwaitRecords(std::size_t count) {
    for (int wait = 0; wait < 100 && Records().size() < count; ++wait)
        Sleep(100);
}

void Ship(const std::string &folder, const std::string &installer = "stand_in.exe") {
    MakeFolders(folder);
    CopyTo(OwnFolder() + "\\launcher.exe", folder + "\\launcher.exe");
    CopyTo(OwnFolder() + "\\" + installer, folder + "\\data.exe");
    WriteFile(folder + "\\setup.iss", "setup response\r\n");
    WriteFile(folder + "\\uninstall.iss", "response beside the launcher\r\n");
}

// The information folder an earlier installation left, with its uninstaller and some files.
void MakeEarlierInstallation(bool withUninstaller = true) {
    WriteFile(kInformation + "\\Disk1\\Data\\data1.cab", "x");
    if (withUninstaller)
        CopyTo(OwnFolder() + "\\stand_in.exe", kInformation + "\\setup.exe");
}

// The folder outside the information folder that links lead to; a run must leave it whole.
bool outsideMade = false;
void MakeOutside() {
    WriteFile(kOutside + "\\inner\\keep.txt", "keep");
    outsideMade = true;
}

void ShipOnly(std::string &folder) {
    Ship(folder);
}

void Upgrade(std::string &folder) {
    Ship(folder);
    MakeEarlierInstallation();
}

void UpgradeTo(std::string &folder, const std::string &installer) {
    Upgrade(folder);
    WriteFile(folder + "\\data.exe", installer);
}

// The file's SHA-256 in lower-case hex, by the launcher's own hasher: scripts/package checks it
// against sha256sum.
std::string Sha256Hex(const std::string &path) {
    const platform::OpenedFile file = platform::OpenForReading(Exact(path));
    launcher::Sha256Digest digest{};
    Require(file.error == 0 && platform::Sha256Hasher(platform::ReadSystemDirectory())
                                       .HashFile(file.handle.Get(), file.size, digest) == 0,
            "cannot hash " + path);
    std::string hex;
    for (const unsigned char byte : digest)
        hex += "0123456789abcdef"[byte >> 4], hex += "0123456789abcdef"[byte & 15];
    return hex;
}

// SHA256SUMS beside the launcher, listing the files (named with "/") as sha256sum writes it
// (lower-case hex, "./", LF) or as PowerShell's Get-FileHash gives it (upper-case hex, backslashes,
// CR LF, a byte order mark).
enum class ManifestForm { Sha256sum, PowerShell };
void WriteManifest(const std::string &folder, const std::vector<std::string> &names,
                   ManifestForm form) {
    const bool powerShell = form == ManifestForm::PowerShell;
    std::string text = powerShell ? "\xEF\xBB\xBF" : "";
    for (std::string name : names) {
        std::string windowsName = name;
        std::replace(windowsName.begin(), windowsName.end(), '/', '\\');
        std::string hex = Sha256Hex(folder + "\\" + windowsName);
        if (powerShell)
            std::transform(hex.begin(), hex.end(), hex.begin(), ::toupper);
        text +=
            hex + "  " + (powerShell ? windowsName : "./" + name) + (powerShell ? "\r\n" : "\n");
    }
    WriteFile(folder + "\\SHA256SUMS", text);
}

// An upgrade whose media lists every file, a companion file in a subfolder too.
void UpgradeWithManifest(std::string &folder, ManifestForm form) {
    Upgrade(folder);
    WriteFile(folder + "\\Disk1\\data1.cab", "payload");
    WriteManifest(folder, {"data.exe", "setup.iss", "uninstall.iss", "Disk1/data1.cab"}, form);
}

// Four bytes of a program file, little-endian.
std::uint32_t Number(const std::string &image, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(image[at + i]);
    return value;
}

// Where the last section's raw data ends in a program file, and its size.
std::pair<std::uint32_t, std::uint32_t> LastSection(const std::string &image) {
    const std::uint32_t pe = Number(image, 0x3C);
    const std::uint32_t table = pe + 24 + (Number(image, pe + 20) & 0xFFFF);
    std::pair<std::uint32_t, std::uint32_t> last = {0, 0};
    for (std::uint32_t at = table; at < table + 40 * (Number(image, pe + 6) & 0xFFFF); at += 40)
        last = std::max(last, std::make_pair(Number(image, at + 20) + Number(image, at + 16),
                                             Number(image, at + 16)));
    return last;
}

// The stand-in installer with a field of its optional header changed.
void UpgradeToPatched(std::string &folder, std::size_t field, std::uint32_t value) {
    Upgrade(folder);
    std::string image = ReadFile(folder + "\\data.exe");
    const std::size_t at = Number(image, 0x3C) + 24 + field;
    for (std::size_t i = 0; i < (field == 68 ? 2u : 4u); ++i) // the subsystem takes two bytes
        image[at + i] = static_cast<char>(value >> (8 * i));
    WriteFile(folder + "\\data.exe", image);
}

LauncherRun RunLauncher(const std::string &launcher, const std::string &arguments, bool silent) {
    RemoveAll(kReport);
    const ProcessOutcome outcome =
        RunProcess("\"" + launcher + "\"" + arguments, "C:\\current", kOutput);
    return {outcome.exitCode, outcome.standardOutput, Records(), silent};
}

// Every attempt of a tampering stand-in failed, and each file it tried holds what was shipped.
void CheckMediaUntouched(const LauncherRun &) {
    const std::map<std::string, std::string> shipped = {
        {"data.exe", ReadFile(OwnFolder() + "\\stand_in.exe")},
        {"data1.cab", "payload"},
        {"setup.iss", "setup response\r\n"}};
    const std::vector<std::string> files = SplitFields(ReadFile(kReport + ".tamper"), '\n');
    EXPECT_FALSE(files.empty());
    for (const std::string &file : files) {
        const std::vector<std::string> fields = SplitFields(file, ' '); // the path, then errors
        ASSERT_EQ(fields.size(), 6u) << file;
        for (std::size_t i = 1; i < fields.size(); ++i)
            EXPECT_NE(fields[i], "0") << "write, copy over, replace, rename away, delete: " << file;
        EXPECT_EQ(ReadFile(fields[0]), shipped.at(fields[0].substr(fields[0].rfind('\\') + 1)));
    }
}

enum class Removal { None, Started, StartFailed };
enum class Left { Nothing, Something, Either }; // of the information folder after the run

struct Row {
    const char *name;
    void (*arrange)(std::string &folder); // sets the scene; may move the launcher folder
    const char *standIns;                 // "EXIT_data=3010 HANDOVER_setup=1000": STAND_IN_...
    Removal removal;
    bool installerRuns;
    DWORD exitCode;
    Left left;
    void (*check)(const LauncherRun &run) = nullptr;
    const char *interactiveArguments = ""; // after the quoted launcher path
    const char *silentArguments = " /s";
    DWORD silentRefusal = 0; // the silent run is refused with this error, and changes nothing
    const char *installerModule = nullptr; // the file started, when not data.exe in the folder
};

// What a run of the row in the mode is expected to do.
Row Expected(const Row &row, bool silent) {
    Row expected = row;
    if (silent && row.silentRefusal != 0) {
        expected.removal = Removal::None;
        expected.installerRuns = false;
        expected.exitCode = row.silentRefusal;
        expected.left = Left::Something;
    }
    return expected;
}

std::string ExpectedOutput(const Row &row, bool silent) {
    const bool started = row.removal == Removal::Started;
    if (silent || (!kIs64 && row.removal == Removal::None))
        return "";
    if (kIs64)
        return started ? "enter!success" : "enter!";
    return (started ? "successful" : "") + std::string("The value is:") + kInformation + "\r\n";
}

// What the uninstaller finds written when it starts: everything up to the line that says it has.
std::string OutputBeforeUninstaller(bool silent) {
    return silent ? "" : kIs64 ? "enter!success" : "successful";
}

void CheckRun(const Row &row, const std::string &folder, const LauncherRun &run,
              const std::string &earlierInstallation) {
    EXPECT_EQ(run.exitCode, row.exitCode);
    EXPECT_EQ(run.output, ExpectedOutput(row, run.silent));

    // (module, command line, output found) of every program started, in order. Each diagnostic
    // reaches the output when it is written: the uninstaller finds the line saying it started.
    std::vector<std::vector<std::string>> expected, started;
    if (row.removal == Removal::Started)
        expected.push_back({kInformation + "\\setup.exe",
                            "\"" + kInformation + "\\setup.exe\" -s -uninst -f1\"" + kInformation +
                                "\\uninstall.iss\"",
                            OutputBeforeUninstaller(run.silent)});
    const std::string path = folder + "\\"; // one separator, also after a drive root
    if (row.installerRuns)
        expected.push_back(
            {row.installerModule != nullptr ? row.installerModule : folder + "\\data.exe",
             "\"" + path + "data.exe\"" + (run.silent ? " -s -f1\"" + path + "setup.iss\"" : ""),
             ExpectedOutput(row, run.silent)});
    for (const Record &record : run.records)
        if (!IsCopy(record))
            started.push_back({record.module, record.commandLine, record.output});
    EXPECT_EQ(started, expected);

    const bool folderLeft = Exists(kInformation);
    if (row.left != Left::Either) {
        EXPECT_EQ(folderLeft, row.left == Left::Something);
    }
    // The installer starts only once the removal stage has ended.
    if (row.installerRuns && !run.records.empty() && !IsCopy(run.records.back())) {
        EXPECT_EQ(run.records.back().probe == "present:", folderLeft);
    }
    if (outsideMade) { // nothing in it is ever touched
        EXPECT_EQ(ReadFile(kOutside + "\\inner\\keep.txt"), "keep");
    }
    if (row.removal == Removal::None) { // not a byte of the earlier installation changes
        EXPECT_EQ(Listing(kInformationRoot), earlierInstallation);
    }
    if (row.check != nullptr && started == expected) // the row's check reads those reports
        row.check(run);
}

// media-check on the launcher's folder gives the code the launcher exits with when it refuses,
// else 0, and changes nothing: it starts no program and leaves every folder as it was.
std::string CheckMediaCheck(const Row &row, const std::string &folder, bool silent,
                            const std::string &earlierInstallation) {
    const bool refused = row.removal == Removal::None && !row.installerRuns;
    RemoveAll(kReport);
    const ProcessOutcome outcome =
        RunProcess("\"" + OwnFolder() + "\\media-check.exe\"" + (silent ? "" : " --interactive") +
                       " \"" + folder + "\\.\"",
                   "C:\\current", "C:\\media-check-output.txt");
    EXPECT_EQ(outcome.exitCode, refused ? row.exitCode : 0) << outcome.standardOutput;
    EXPECT_NE(outcome.standardOutput.find("\nverdict: "), std::string::npos);
    EXPECT_TRUE(Records().empty()) << "media-check started a program";
    EXPECT_EQ(Listing(kInformationRoot), earlierInstallation);
    return outcome.standardOutput;
}

class EndToEnd : public ::testing::TestWithParam<Row> {
  protected:
    void SetUp() override {
        for (const std::string &path :
             {kInformationRoot, std::string("C:\\ship"), kOutside, kHistory})
            RemoveAll(path);
        for (const std::string trap : kTraps) {
            MakeFolders(trap.substr(0, trap.find_last_of('\\')));
            CopyTo(OwnFolder() + "\\stand_in.exe", trap);
        }
        MakeFolders(kInformationRoot);
        outsideMade = false;
        for (const std::string &name :
             SplitFields("EXIT_data EXIT_setup HANDOVER_data HANDOVER_setup BREAKAWAY_setup "
                         "TAMPER_setup TAMPER_data RELINK_setup LOAD_data EXCLUSIVE_data AWAIT",
                         ' '))
            SetEnvironmentVariableA(("STAND_IN_" + name).c_str(), nullptr);
        SetEnvironmentVariableA("STAND_IN_REPORT", kReport.c_str());
        RemoveAll("C:\\planted-libraries.txt");
        RemoveAll(kReport + ".tamper");
        SetEnvironmentVariableA("STAND_IN_PROBE", kInformation.c_str());
        SetEnvironmentVariableA("STAND_IN_OUTPUT", kOutput.c_str());
    }
};

TEST_P(EndToEnd, Row) {
    const Row &row = GetParam();
    for (const char *arguments : {row.interactiveArguments, row.silentArguments}) {
        const bool silent = arguments == row.silentArguments;
        SCOPED_TRACE(std::string(row.name) + (silent ? ", silent" : ", interactive") +
                     ", arguments [" + arguments + "]");
        SetUp();
        for (const std::string &setting : SplitFields(row.standIns, ' '))
            SetEnvironmentVariableA(("STAND_IN_" + setting.substr(0, setting.find('='))).c_str(),
                                    setting.substr(setting.find('=') + 1).c_str());
        if (Expected(row, silent).removal == Removal::Started)
            SetEnvironmentVariableA("STAND_IN_AWAIT", OutputBeforeUninstaller(silent).c_str());
        std::string folder = kProduct;
        row.arrange(folder);
        const std::string launcher = folder + "\\launcher.exe";
        const std::string earlierInstallation = Listing(kInformationRoot);
        CheckMediaCheck(Expected(row, silent), folder, silent, earlierInstallation);
        CheckRun(Expected(row, silent), folder, RunLauncher(launcher, arguments, silent),
                 earlierInstallation);
    }
}

const Row kRows[] = {
    // The launcher counts its arguments by fixed rules, whatever its runtime would say.
    {"one-argument-is-silent", ShipOnly, "EXIT_data=3010", Removal::None, true, 3010, Left::Nothing,
     nullptr, " one two", " \"two words\""},

    // The installer beside the launcher, by its full quoted path and nowhere else.
    {"launcher-at-a-drive-root",
     [](std::string &folder) {
         folder = "C:";
         CopyTo(OwnFolder() + "\\launcher.exe", "C:\\launcher.exe");
         CopyTo(OwnFolder() + "\\stand_in.exe", "C:\\data.exe");
         WriteFile("C:\\setup.iss", "setup response\r\n");
     },
     "", Removal::None, true, 0, Left::Nothing},
    // Nothing changes unless the new installation can start: a damaged or foreign installer is
    // refused before the earlier installation is touched, each with its own error.
    {"installer-that-is-a-folder",
     [](std::string &folder) {
         Upgrade(folder);
         RemoveAll(folder + "\\data.exe");
         MakeFolders(folder + "\\data.exe");
     },
     "", Removal::None, false, ERROR_FILE_NOT_FOUND, Left::Something},
    {"web-page-saved-as-the-installer",
     [](std::string &folder) { UpgradeTo(folder, "<!DOCTYPE html><title>404</title>\r\n"); }, "",
     Removal::None, false, ERROR_BAD_EXE_FORMAT, Left::Something},
    {"library-as-the-installer",
     [](std::string &folder) { UpgradeTo(folder, ReadFile("C:\\windows\\system32\\shlwapi.dll")); },
     "", Removal::None, false, ERROR_BAD_EXE_FORMAT, Left::Something},
    {"signed-installer-with-a-changed-byte",
     [](std::string &folder) {
         UpgradeTo(folder, ReadFile(OwnFolder() + "\\stand_in-changed.exe"));
     },
     "", Removal::None, false, 577 /* ERROR_INVALID_IMAGE_HASH */, Left::Something},
    {"installer-cut-inside-its-headers",
     [](std::string &folder) {
         UpgradeTo(folder, ReadFile(OwnFolder() + "\\stand_in.exe").substr(0, 0x100));
     },
     "", Removal::None, false, ERROR_FILE_CORRUPT, Left::Something},
    // How an installer whose payload is a resource is cut short.
    {"installer-cut-inside-its-last-section",
     [](std::string &folder) {
         const std::string image = ReadFile(OwnFolder() + "\\stand_in.exe");
         const auto last = LastSection(image);
         UpgradeTo(folder, image.substr(0, last.first - last.second / 2));
     },
     "", Removal::None, false, ERROR_FILE_CORRUPT, Left::Something},
    // An image for a subsystem Windows does not start as a program (EFI too, in the unit table).
    {"installer-for-the-native-subsystem",
     [](std::string &folder) { UpgradeToPatched(folder, 68, 1); }, "", Removal::None, false,
     ERROR_BAD_EXE_FORMAT, Left::Something},
    // Headers that pass but an image the platform refuses (no size): its answer counts.
    {"installer-the-platform-refuses", [](std::string &folder) { UpgradeToPatched(folder, 56, 0); },
     "", Removal::None, false, ERROR_BAD_EXE_FORMAT, Left::Something},
    // The checks cannot see every flaw: a section alignment below the file alignment passes them
    // all (the headers are whole and the platform calls it a program), and only the loader
    // refuses it. The earlier installation is gone by then; the start's error is the result.
    {"installer-that-passes-every-check-but-cannot-start",
     [](std::string &folder) { UpgradeToPatched(folder, 32, 0x100); }, "", Removal::Started,
     false, ERROR_BAD_EXE_FORMAT, Left::Nothing},

    // A checksum manifest beside the launcher: every file it lists is verified first.
    {"manifest-as-sha256sum-writes-it",
     [](std::string &folder) { UpgradeWithManifest(folder, ManifestForm::Sha256sum); }, "",
     Removal::Started, true, 0, Left::Nothing},
    {"manifest-as-powershell-gives-it",
     [](std::string &folder) { UpgradeWithManifest(folder, ManifestForm::PowerShell); }, "",
     Removal::Started, true, 0, Left::Nothing},
    // A real installer whose payload follows its sections, copied short: its headers are whole.
    {"real-installer-cut-short-listed-whole",
     [](std::string &folder) {
         const std::string installer = ReadFile(OwnFolder() + "\\product-1.exe");
         UpgradeTo(folder, installer);
         WriteManifest(folder, {"data.exe", "setup.iss"}, ManifestForm::Sha256sum);
         WriteFile(folder + "\\data.exe", installer.substr(0, installer.size() * 9 / 10));
     },
     "", Removal::None, false, ERROR_CRC, Left::Something},
    {"listed-file-missing",
     [](std::string &folder) {
         UpgradeWithManifest(folder, ManifestForm::Sha256sum);
         RemoveAll(folder + "\\Disk1\\data1.cab");
     },
     "", Removal::None, false, ERROR_FILE_NOT_FOUND, Left::Something},
    // Every digit of a digest counts: the last one differs here.
    {"listed-digest-that-differs-in-its-last-digit",
     [](std::string &folder) {
         UpgradeWithManifest(folder, ManifestForm::PowerShell);
         std::string manifest = ReadFile(folder + "\\SHA256SUMS");
         char &last = manifest[manifest.find("  Disk1") - 1];
         last = last == '0' ? '1' : '0';
         WriteFile(folder + "\\SHA256SUMS", manifest);
     },
     "", Removal::None, false, ERROR_CRC, Left::Something},
    // The media is held from its checks until the installer's wait has ended: while the
    // uninstaller runs no listed file can be written, overwritten, replaced, renamed away or
    // deleted, and neither can data.exe while the installer itself runs, manifest or not. Every
    // program reads the bytes that were checked.
    {"uninstaller-that-tampers-with-the-media",
     [](std::string &folder) { UpgradeWithManifest(folder, ManifestForm::Sha256sum); },
     "TAMPER_setup=C:\\ship\\product\\data.exe|C:\\ship\\product\\Disk1\\data1.cab|"
     "C:\\ship\\product\\setup.iss",
     Removal::Started, true, 0, Left::Nothing,
     [](const LauncherRun &run) {
         CheckMediaUntouched(run);
         // Reading the held media is not hindered: the listed uninstall.iss is copied.
         EXPECT_EQ(run.records[0].responseFile, "present:response beside the launcher");
     }},
    {"installer-that-tampers-with-itself", ShipOnly, "TAMPER_data=C:\\ship\\product\\data.exe",
     Removal::None, true, 0, Left::Nothing, CheckMediaUntouched},
    {"installer-that-tampers-with-itself-and-its-listed-media",
     [](std::string &folder) { UpgradeWithManifest(folder, ManifestForm::PowerShell); },
     "TAMPER_data=C:\\ship\\product\\data.exe|C:\\ship\\product\\Disk1\\data1.cab",
     Removal::Started, true, 0, Left::Nothing, CheckMediaUntouched},
    // The hold keeps out a reader that shares nothing, and that shows only once the earlier
    // installation has gone: such an installer's open of its own file fails with 32.
    {"installer-that-reads-itself-sharing-nothing", Upgrade,
     "EXCLUSIVE_data=C:\\ship\\product\\data.exe", Removal::Started, true,
     ERROR_SHARING_VIOLATION, Left::Nothing},
    // The hold pins files, not the names that lead to them: a listed file below a link inside the
    // media is refused, before the uninstaller could point the link at other media.
    {"listed-file-below-a-folder-link",
     [](std::string &folder) {
         UpgradeWithManifest(folder, ManifestForm::Sha256sum);
         RemoveAll(folder + "\\Disk1");
         WriteFile("C:\\ship\\disk\\data1.cab", "payload");
         WriteFile("C:\\ship\\other\\data1.cab", "other payload");
         MakeUnixLink("C:\\ship\\disk", folder + "\\Disk1");
     },
     "RELINK_setup=C:\\ship\\product\\Disk1|C:\\ship\\other", Removal::None, false,
     ERROR_INVALID_DATA, Left::Something},
    // The launcher's folder is reached through a link (a junction on Windows) that the uninstaller
    // points at other media: the data.exe started is still the one checked and held, by the path
    // the platform reaches it by. The command line names it as always.
    {"launcher-folder-through-a-link-pointed-elsewhere-meanwhile",
     [](std::string &folder) {
         std::string other = "C:\\ship\\other", checked = "C:\\ship\\checked";
         Upgrade(other);
         UpgradeWithManifest(checked, ManifestForm::Sha256sum);
         MakeUnixLink(checked, kProduct);
         folder = kProduct;
     },
     "RELINK_setup=C:\\ship\\product|C:\\ship\\other", Removal::Started, true, 0, Left::Nothing,
     nullptr, "", " /s", 0, "C:\\ship\\checked\\data.exe"},
    // Libraries named like system ones beside the launcher are never loaded, though Wine is told
    // to prefer them to its own (tests/CMakeLists.txt); the installer, which loads one by its
    // bare name, shows that the planted ones are found there.
    {"libraries-planted-beside-the-launcher",
     [](std::string &folder) {
         Upgrade(folder);
         CopyTo(OwnFolder() + "\\stand_in-signed.exe", folder + "\\data.exe");
         WriteManifest(folder, {"data.exe"}, ManifestForm::Sha256sum);
         for (const char *name : {"wintrust", "bcrypt", "shlwapi"})
             CopyTo(OwnFolder() + "\\planted_library.dll", folder + "\\" + name + ".dll");
     },
     "LOAD_data=shlwapi.dll", Removal::Started, true, 0, Left::Nothing,
     [](const LauncherRun &) {
         const std::string loaded = ReadFile("C:\\planted-libraries.txt");
         for (const char *name : {"wintrust", "bcrypt", "shlwapi"})
             EXPECT_EQ(loaded.find("launcher.exe\t" + kProduct + "\\" + name), std::string::npos)
                 << loaded;
         EXPECT_NE(loaded.find("data.exe\t" + kProduct + "\\shlwapi"), std::string::npos) << loaded;
     }},
    // A real 64-bit installer (it reports nothing itself, and leaves an information folder of
    // its own): it runs on 64-bit Windows only.
    {"64-bit-installer",
     [](std::string &folder) { UpgradeTo(folder, ReadFile(OwnFolder() + "\\product-64.exe")); }, "",
     kIs64 ? Removal::Started : Removal::None, false,
     kIs64 ? 0 : DWORD{ERROR_EXE_MACHINE_TYPE_MISMATCH}, Left::Something, // its own, on 64-bit
     [](const LauncherRun &) { EXPECT_EQ(ReadFile(kHistory), kIs64 ? "install 64\r\n" : ""); }},
    // Only a silent installation needs setup.iss; the uninstaller runs without uninstall.iss.
    {"no-response-files-beside-the-launcher",
     [](std::string &folder) {
         Upgrade(folder);
         RemoveAll(folder + "\\setup.iss");
         RemoveAll(folder + "\\uninstall.iss");
     },
     "", Removal::Started, true, 0, Left::Nothing,
     [](const LauncherRun &run) {
         if (!run.silent) { // a silent run starts nothing
             EXPECT_EQ(run.records[0].responseFile, "absent");
         }
     },
     "", " /s", ERROR_FILE_NOT_FOUND},
    // The launcher's own folder, whatever its name: the ANSI code page could not name these.
    // "Установка 製品 表ソ 🚀": in code page 932 the second byte of 表 and ソ is "\".
    {"cyrillic-japanese-and-emoji-launcher-folder",
     [](std::string &folder) {
         folder =
             "C:\\ship\\\xD0\xA3\xD1\x81\xD1\x82\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xBA\xD0\xB0 "
             "\xE8\xA3\xBD\xE5\x93\x81 \xE8\xA1\xA8\xE3\x82\xBD \xF0\x9F\x9A\x80";
         Upgrade(folder);
     },
     "", Removal::Started, true, 0, Left::Nothing,
     [](const LauncherRun &run) {
         EXPECT_EQ(run.records[0].responseFile, "present:response beside the launcher");
     }},
    // Read through the ANSI code page: "a" -x "b\..\..\Evil", which starts C:\ship\a.exe or,
    // as a folder, leads to C:\Evil.
    {"look-alike-quotes-and-separators-in-the-launcher-folder",
     [](std::string &folder) {
         folder = "C:\\ship\\a" + kFullwidthQuote + " -x " + kFullwidthQuote + "b" +
                  kFullwidthBackslash + ".." + kSetMinus + ".." + kFullwidthBackslash + "Evil";
         Upgrade(folder);
         CopyTo(OwnFolder() + "\\stand_in.exe", "C:\\ship\\a.exe"); // a trap
     },
     "", Removal::Started, true, 0, Left::Nothing},

    // A release signed with scripts/sign (by the signing test) is the same launcher, and the
    // installer signed with the same certificate is vouched for by it. That certificate's issuer
    // is one this Windows does not trust: trust is not the launcher's to decide.
    {"signed-launcher-and-installer",
     [](std::string &folder) {
         Upgrade(folder);
         CopyTo(OwnFolder() + "\\launcher-signed.exe", folder + "\\launcher.exe");
         CopyTo(OwnFolder() + "\\stand_in-signed.exe", folder + "\\data.exe");
     },
     "EXIT_data=7", Removal::Started, true, 7, Left::Nothing},

    // The earlier installation: response file, uninstaller, then the folder goes.
    {"upgrade", Upgrade, "EXIT_setup=1603 EXIT_data=3221225477", Removal::Started, true,
     3221225477u, Left::Nothing,
     [](const LauncherRun &run) {
         EXPECT_EQ(run.records[0].responseFile, "present:response beside the launcher");
     }},
    {"response-file-already-there-is-kept",
     [](std::string &folder) {
         Upgrade(folder);
         WriteFile(kInformation + "\\uninstall.iss", "earlier response\r\n");
         SetAttributes(kInformation + "\\uninstall.iss", FILE_ATTRIBUTE_READONLY);
     },
     "", Removal::Started, true, 0, Left::Something,
     [](const LauncherRun &run) {
         EXPECT_EQ(run.records[0].responseFile, "present:earlier response");
         EXPECT_TRUE(Attributes(kInformation + "\\uninstall.iss") & FILE_ATTRIBUTE_READONLY);
     }},
    {"read-only-response-file-from-the-media",
     [](std::string &folder) {
         Upgrade(folder);
         SetAttributes(folder + "\\uninstall.iss", FILE_ATTRIBUTE_READONLY);
     },
     "", Removal::Started, true, 0, Left::Nothing},
    {"no-uninstaller",
     [](std::string &folder) {
         Ship(folder);
         MakeEarlierInstallation(false);
     },
     "", Removal::StartFailed, true, 0, Left::Nothing},
    {"uninstaller-that-hands-over", Upgrade, "HANDOVER_setup=3000", Removal::Started, true, 0,
     Left::Nothing,
     [](const LauncherRun &run) {
         ASSERT_EQ(run.records.size(), 3u);
         EXPECT_TRUE(IsCopy(run.records[1])) << "the copy ends before the installer starts";
         EXPECT_EQ(run.records[1].probe, "present:") << "and before the folder goes";
     }},
    // The job only watches: a process that asks to leave it starts and is not waited for.
    {"uninstaller-whose-child-breaks-away", Upgrade, "BREAKAWAY_setup=1", Removal::Started, true, 0,
     Left::Nothing,
     [](const LauncherRun &) {
         AwaitRecords(3); // the child reports once the installer has: it was not waited for
         EXPECT_TRUE(Records().size() == 3 && IsCopy(Records()[2])) << "the child ran";
     }},
    {"installer-that-hands-over", ShipOnly, "HANDOVER_data=500", Removal::None, true, 0,
     Left::Nothing,
     [](const LauncherRun &run) {
         // A silent run waits for the copy; an interactive one for the installer alone.
         EXPECT_EQ(run.records.size() == 2 && IsCopy(run.records[1]), run.silent);
         AwaitRecords(2);
     }},

    // Deletion: everything inside the folder, by its exact name, and nothing outside it.
    {"every-name-and-depth-goes",
     [](std::string &folder) {
         Upgrade(folder);
         // Names the path layer would rewrite, folders named like the parent entry but for a
         // character, and names the ANSI code page cannot carry.
         const std::string up =
             ".." + kFullwidthBackslash + ".." + kSetMinus + ".." + kFullwidthBackslash + "Victim";
         // A folder of 257 characters, and a tree past 1,000 characters.
         std::string deep = kInformation;
         while (deep.size() < 1100)
             deep += "\\" + std::string(60, 'd');
         for (const std::string &name :
              {std::string("dot."), std::string("sp "), std::string("NUL"), std::string("con.txt"),
               std::string("COM1"), std::string("AUX\\x..\\in"), std::string("...\\in"),
               std::string("..x\\in"), up, std::string("\xC4\x81"),
               std::string("\xD0\xA3 \xE8\xA1\xA8\xE3\x82\xBD \xF0\x9F\x9A\x80"),
               std::string(256 - kInformation.size(), 'n') + "\\in",
               deep.substr(kInformation.size() + 1) + "\\in"})
             WriteFile(kInformation + "\\" + name, "x");
     },
     "", Removal::Started, true, 0, Left::Nothing},
    {"what-cannot-be-deleted-stays",
     [](std::string &folder) {
         Upgrade(folder);
         WriteFile(kInformation + "\\a\\b\\locked.txt", "x");
         WriteFile(kInformation + "\\a\\b\\free.txt", "x");
         SetAttributes(kInformation + "\\a\\b\\locked.txt", FILE_ATTRIBUTE_READONLY);
     },
     "", Removal::Started, true, 0, Left::Something,
     [](const LauncherRun &) {
         EXPECT_TRUE(Exists(kInformation + "\\a\\b\\locked.txt"));
         EXPECT_FALSE(Exists(kInformation + "\\a\\b\\free.txt"));
         EXPECT_FALSE(Exists(kInformation + "\\Disk1"));
     }},
    {"nothing-outside-the-folder-is-touched",
     [](std::string &folder) {
         Upgrade(folder);
         MakeOutside();
         MakeUnixLink(kOutside, kInformation + "\\Disk1\\link");
         // The path layer reads "x.." as "x." and "x." as "x".
         MakeUnixLink(kOutside, kInformation + "\\x.");
         MakeFolders(kInformation + "\\x..");
         // Listed through the ANSI code page, "ā" and "ō" read as "a" and "o": the links.
         for (const char *name : {"a", "o"})
             MakeUnixLink(kOutside, kInformation + "\\" + name);
         for (const char *name : {"\xC4\x81", "\xC5\x8D"})
             WriteFile(kInformation + "\\" + name + "\\inner\\keep.txt", "x");
     },
     "", Removal::Started, true, 0, Left::Something,
     [](const LauncherRun &) {
         // Only the links stay: Wine cannot remove a link to a folder that holds something.
         for (const char *gone : {"\\x..", "\\\xC4\x81", "\\\xC5\x8D", "\\Disk1\\Data"})
             EXPECT_FALSE(Exists(kInformation + gone)) << gone;
     }},
    {"information-folder-that-is-a-link",
     [](std::string &folder) {
         Ship(folder);
         MakeOutside();
         SetAttributes(kOutside, FILE_ATTRIBUTE_HIDDEN);
         MakeUnixLink(kOutside, kInformation);
     },
     "", Removal::StartFailed, true, 0, Left::Either,
     [](const LauncherRun &) { EXPECT_TRUE(Attributes(kOutside) & FILE_ATTRIBUTE_HIDDEN); }},
};

INSTANTIATE_TEST_SUITE_P(Rows, EndToEnd, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row> &info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// Media the launcher refuses before anything changes, each with its code, in a silent run with an
// earlier installation present: malformed manifests of every kind, a folder among them (13), and a
// data.exe another program is still writing (32). media-check says the same. Nothing starts,
// nothing changes.
TEST_F(EndToEnd, RefusedMediaChangeNothing) {
    const std::string hash(64, 'a');
    const std::string listed = hash + "  data.exe\n";
    const struct {
        const char *name;
        std::string manifest; // written as SHA256SUMS; empty: none
        DWORD exitCode;
    } rows[] = {
        {"a name with ..", listed + hash + "  Disk1/../../outside.cab\n", ERROR_INVALID_DATA},
        {"a stream", listed + hash + "  data.exe:payload\n", ERROR_INVALID_DATA},
        {"an escaped name", listed + "\\" + hash + "  Disk1\\\\x\n", ERROR_INVALID_DATA},
        {"no data.exe", hash + "  setup.iss\n", ERROR_INVALID_DATA},
        {"itself", listed + hash + "  SHA256SUMS\n", ERROR_INVALID_DATA},
        {"over 1 MiB", listed + std::string(1024 * 1024, '\n'), ERROR_INVALID_DATA},
        // Taken for no manifest, a folder would turn the checks off.
        {"a folder", "folder", ERROR_INVALID_DATA},
        {"a device name", listed + hash + "  Disk1/aux.cab\n", ERROR_INVALID_DATA},
        {"data.exe held open for writing", "", ERROR_SHARING_VIOLATION},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        std::string folder = kProduct;
        Upgrade(folder);
        if (row.manifest == "folder")
            MakeFolders(folder + "\\SHA256SUMS");
        else if (!row.manifest.empty())
            WriteFile(folder + "\\SHA256SUMS", row.manifest);
        const std::string earlierInstallation = Listing(kInformationRoot);
        // Another program writing data.exe shares no more than reading with the launcher.
        const CloseHandleOwner writer(
            row.manifest.empty() ? CreateFileW(Exact(folder + "\\data.exe").c_str(), GENERIC_WRITE,
                                               FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                                 : nullptr);
        Row expected = {row.name,     ShipOnly,       "", Removal::None, false,
                        row.exitCode, Left::Something};
        CheckMediaCheck(expected, folder, true, earlierInstallation);
        CheckRun(expected, folder, RunLauncher(folder + "\\launcher.exe", " /s", true),
                 earlierInstallation);
    }
}

constexpr DWORD kNotTrusted = 0x800B0004; // TRUST_E_SUBJECT_NOT_TRUSTED

// Media for a launcher signed by publisher A (tests/check-signing made the programs, the
// manifests and their signatures): the installer alone signed by A, or SHA256SUMS signed by A
// with every file listed. Each is run, silent, by that launcher and by the unsigned one, which
// takes every one of them as it always has. A refusal changes nothing.
void ArrangeVouched(std::string &folder, const std::string &installer, const std::string &manifest,
                    const std::string &signature) {
    const std::string vouched = OwnFolder() + "\\vouched\\";
    UpgradeTo(folder, ReadFile(OwnFolder() + "\\" + installer + ".exe"));
    WriteFile(folder + "\\Disk1\\data1.cab", "payload");
    if (!manifest.empty())
        CopyTo(vouched + "SHA256SUMS-" + manifest, folder + "\\SHA256SUMS");
    if (signature == "junk")
        WriteFile(folder + "\\SHA256SUMS.p7s", "not a signature");
    else if (!signature.empty())
        CopyTo(vouched + "SHA256SUMS-" + (manifest.empty() ? installer : manifest) + "." +
                   signature + ".p7s",
               folder + "\\SHA256SUMS.p7s");
}

TEST_F(EndToEnd, SignedLauncherStartsOnlyWhatItsSignerVouchedFor) {
    const std::string yes = "the media is vouched for by it: yes, ";
    const std::string no = "the media is vouched for by it: no: ";
    const struct {
        const char *name, *installer, *manifest, *signature;
        void (*change)(const std::string &folder);
        DWORD exitCode; // the signed launcher's
        std::string line;
    } rows[] = {
        {"installer signed by A", "stand_in-a", "", "", nullptr, 0,
         yes + "data.exe is signed by it (no SHA256SUMS.p7s: nothing else is vouched for)"},
        {"installer unsigned", "stand_in", "", "", nullptr, kNotTrusted,
         no + "there is no SHA256SUMS.p7s, and data.exe is not signed by it"},
        {"installer signed by B", "stand_in-b", "", "", nullptr, kNotTrusted,
         no + "there is no SHA256SUMS.p7s, and data.exe is not signed by it"},
        {"manifest signed by A", "stand_in", "stand_in", "a", nullptr, 0,
         yes + "SHA256SUMS.p7s signs SHA256SUMS, which lists every file"},
        {"manifest rewritten after signing", "stand_in", "stand_in", "a",
         [](const std::string &folder) {
             WriteFile(folder + "\\Disk1\\data1.cab", "other payload");
             WriteManifest(folder, {"data.exe", "setup.iss", "uninstall.iss", "Disk1/data1.cab"},
                           ManifestForm::Sha256sum);
         },
         kNotTrusted, no + "SHA256SUMS is not what SHA256SUMS.p7s signed"},
        {"manifest signed by B", "stand_in", "stand_in", "b", nullptr, kNotTrusted,
         no + "SHA256SUMS.p7s is not signed by it"},
        {"manifest signed by B, installer by A", "stand_in-a", "stand_in-a", "b", nullptr,
         kNotTrusted, no + "SHA256SUMS.p7s is not signed by it"},
        // The installer would load it from its own folder.
        {"unlisted library beside the installer", "stand_in", "stand_in", "a",
         [](const std::string &folder) {
             CopyTo(OwnFolder() + "\\planted_library.dll", folder + "\\version.dll");
         },
         kNotTrusted, no + "version.dll is not listed in SHA256SUMS"},
        {"signature without signed attributes", "stand_in", "stand_in", "noattr", nullptr,
         kNotTrusted, no + "SHA256SUMS.p7s signs no SHA-256 digest of it among signed attributes"},
        {"signature that is none", "stand_in", "stand_in", "junk", nullptr, ERROR_INVALID_DATA,
         no + "SHA256SUMS.p7s is no signature"},
        {"signature without its manifest", "stand_in-a", "", "a", nullptr, kNotTrusted,
         no + "SHA256SUMS.p7s is there without a SHA256SUMS"},
    };
    for (const auto &row : rows)
        for (const bool signedLauncher : {true, false}) {
            SCOPED_TRACE(std::string(row.name) + (signedLauncher ? ", signed" : ", unsigned"));
            SetUp();
            std::string folder = kProduct;
            ArrangeVouched(folder, row.installer, row.manifest, row.signature);
            if (row.change != nullptr)
                row.change(folder);
            if (signedLauncher)
                CopyTo(OwnFolder() + "\\launcher-a.exe", folder + "\\launcher.exe");
            const DWORD exitCode = signedLauncher ? row.exitCode : 0;
            Row expected = {row.name,
                            ShipOnly,
                            "",
                            exitCode == 0 ? Removal::Started : Removal::None,
                            exitCode == 0,
                            exitCode,
                            exitCode == 0 ? Left::Nothing : Left::Something};
            const std::string earlierInstallation = Listing(kInformationRoot);
            const std::string said = CheckMediaCheck(expected, folder, true, earlierInstallation);
            const std::string line =
                signedLauncher
                    ? "launcher.exe is signed by CN=Publisher A, O=Check Signing: " + row.line +
                          (exitCode == 0 ? "" : " (" + std::to_string(exitCode) + ")")
                    : "launcher.exe is not signed: nothing beyond these checks is vouched for";
            EXPECT_NE(said.find("\n" + line + "\n"), std::string::npos) << said;
            CheckRun(expected, folder, RunLauncher(folder + "\\launcher.exe", " /s", true),
                     earlierInstallation);
        }
}

// The launcher's own file is renamed away before it has looked at it, and another launcher, signed
// by B, put in its place with media B vouches for: the running launcher is still A's, and refuses.
TEST_F(EndToEnd, SignedLauncherWhoseFileIsReplacedWhileItStarts) {
    std::string folder = kProduct;
    ArrangeVouched(folder, "stand_in-a", "", "");
    CopyTo(OwnFolder() + "\\launcher-a.exe", folder + "\\launcher.exe");
    const std::string earlierInstallation = Listing(kInformationRoot);
    RemoveAll(kReport);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    std::wstring commandLine = Wide("\"" + folder + "\\launcher.exe\" /s");
    ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                               nullptr, L"C:\\current", &startup, &started));
    const CloseHandleOwner process(started.hProcess), thread(started.hThread);
    ASSERT_TRUE(MoveFileW(Exact(folder + "\\launcher.exe").c_str(),
                          Exact(folder + "\\launcher-away.exe").c_str()));
    CopyTo(OwnFolder() + "\\launcher-b.exe", folder + "\\launcher.exe");
    CopyTo(OwnFolder() + "\\stand_in-b.exe", folder + "\\data.exe");
    ResumeThread(thread.Get());
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.Get(), &exitCode);
    EXPECT_EQ(exitCode, kNotTrusted);
    EXPECT_TRUE(Records().empty()) << "a program was started";
    EXPECT_EQ(Listing(kInformationRoot), earlierInstallation);
}

// A real installer engine: its uninstaller hands over to a temporary copy of itself and exits.
TEST_F(EndToEnd, UpgradesARealProduct) {
    const std::string product = kProgramFiles + "\\Example Product\\product.txt";
    Ship(kProduct, "product-1.exe");
    EXPECT_EQ(RunLauncher(kProduct + "\\launcher.exe", " /s", true).exitCode, 0u);
    EXPECT_EQ(ReadFile(product), "version 1\r\n");

    // Version 2's whole media is listed and held until its installer has ended.
    CopyTo(OwnFolder() + "\\product-2.exe", kProduct + "\\data.exe");
    WriteManifest(kProduct, {"data.exe", "setup.iss", "uninstall.iss"}, ManifestForm::Sha256sum);
    EXPECT_EQ(RunLauncher(kProduct + "\\launcher.exe", " /s", true).exitCode, 0u);
    EXPECT_EQ(ReadFile(product), "version 2\r\n");
    EXPECT_EQ(ReadFile(kHistory),
              "install 1\r\nuninstall 1 begin\r\nuninstall 1 end\r\ninstall 2\r\n");
}

// The job ends no process with the launcher: a launcher ended mid-run leaves the uninstaller's
// work running, and deletes nothing.
TEST_F(EndToEnd, AnEndedLauncherLeavesTheUninstallersWorkRunning) {
    std::string folder = kProduct;
    Upgrade(folder);
    SetEnvironmentVariableA("STAND_IN_HANDOVER_setup", "1000");
    RemoveAll(kReport);
    const CloseHandleOwner launcher(
        StartProcess("\"" + kProduct + "\\launcher.exe\" /s", "C:\\current", kOutput));
    AwaitRecords(1); // the uninstaller has handed over; its copy is at work
    ASSERT_EQ(Records().size(), 1u);
    TerminateProcess(launcher.Get(), 1);
    WaitForSingleObject(launcher.Get(), INFINITE);
    AwaitRecords(2);
    ASSERT_EQ(Records().size(), 2u);
    EXPECT_TRUE(IsCopy(Records()[1]));
    EXPECT_TRUE(Exists(kInformation + "\\Disk1\\Data\\data1.cab"));
}

} // namespace
