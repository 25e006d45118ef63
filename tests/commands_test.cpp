#include <gtest/gtest.h>

#include "launcher/commands.h"
#include "launcher/launch.h"
#include "test_files.h"

using namespace launcher;

TEST(Commands, ExactlyOneArgumentSelectsSilentMode) {
    EXPECT_EQ(LaunchModeFor(0), LaunchMode::Interactive);
    EXPECT_EQ(LaunchModeFor(1), LaunchMode::Interactive);
    EXPECT_EQ(LaunchModeFor(2), LaunchMode::Silent);
    EXPECT_EQ(LaunchModeFor(3), LaunchMode::Interactive);
    EXPECT_EQ(LaunchModeFor(10), LaunchMode::Interactive);
}

TEST(Commands, DrivePrefixComesOnlyFromASystemDirectoryOnADriveRoot) {
    EXPECT_EQ(SystemDrivePrefix(std::string("C:\\Windows\\system32")), std::string("C:\\"));
    EXPECT_EQ(SystemDrivePrefix(std::string("d:\\winnt\\system32")), std::string("d:\\"));
    EXPECT_EQ(SystemDrivePrefix(std::string("Z:\\")), std::string("Z:\\"));
    // Unknown, empty, relative or not on a drive: no prefix, so nothing is built relative to the
    // current directory.
    EXPECT_EQ(SystemDrivePrefix(std::nullopt), std::nullopt);
    EXPECT_EQ(SystemDrivePrefix(std::string()), std::nullopt);
    EXPECT_EQ(SystemDrivePrefix(std::string("C:")), std::nullopt);
    EXPECT_EQ(SystemDrivePrefix(std::string("C:Windows")), std::nullopt);
    EXPECT_EQ(SystemDrivePrefix(std::string("Windows\\system32")), std::nullopt);
    EXPECT_EQ(SystemDrivePrefix(std::string("\\\\server\\share\\system32")), std::nullopt);
    EXPECT_EQ(SystemDrivePrefix(std::string("1:\\Windows")), std::nullopt);
    EXPECT_EQ(SystemDrivePrefix(std::string("C:/Windows")), std::nullopt);
}

TEST(Commands, SystemPathsPerBitness) {
    EXPECT_EQ(SysWow64Folder("C:\\"), "C:\\Windows\\SysWOW64");
    EXPECT_STREQ(ProgramFilesRoot(false), "Program Files");
    EXPECT_STREQ(ProgramFilesRoot(true), "Program Files (x86)");

    const std::string folder32 = InformationFolder("C:\\", ProgramFilesRoot(false));
    const std::string folder64 = InformationFolder("C:\\", ProgramFilesRoot(true));
    EXPECT_EQ(folder32, "C:\\Program Files\\InstallShield Installation Information\\{}");
    EXPECT_EQ(folder64, "C:\\Program Files (x86)\\InstallShield Installation Information\\{}");
    EXPECT_EQ(folder32.size(), 58u);
    EXPECT_EQ(folder64.size(), 64u);
}

TEST(Commands, UninstallCommandQuotesBothPaths) {
    const std::string folder = "C:\\Program Files\\InstallShield Installation Information\\{}";
    EXPECT_EQ(UninstallCommand(folder),
              "\"C:\\Program Files\\InstallShield Installation Information\\{}\\setup.exe\" -s "
              "-uninst -f1\"C:\\Program Files\\InstallShield Installation "
              "Information\\{}\\uninstall.iss\"");
}

TEST(Commands, InstallerCommandsNameTheInstallerBesideTheLauncher) {
    const std::string folder = "C:\\My Setup (x86)\\Product 2.0";
    EXPECT_EQ(InteractiveInstallerCommand(folder), "\"C:\\My Setup (x86)\\Product 2.0\\data.exe\"");
    EXPECT_EQ(SilentInstallerCommand(folder), "\"C:\\My Setup (x86)\\Product 2.0\\data.exe\" -s "
                                              "-f1\"C:\\My Setup (x86)\\Product 2.0\\setup.iss\"");
    EXPECT_EQ(InstallerCommand(LaunchMode::Interactive, folder),
              InteractiveInstallerCommand(folder));
    EXPECT_EQ(InstallerCommand(LaunchMode::Silent, folder), SilentInstallerCommand(folder));
}

TEST(Commands, InstallerCommandsKeepDriveRootsAndLongFoldersWhole) {
    EXPECT_EQ(SilentInstallerCommand("C:\\"), "\"C:\\\\data.exe\" -s -f1\"C:\\\\setup.iss\"");

    const std::string longFolder = "C:\\" + std::string(200, 'f');
    const std::string command = SilentInstallerCommand(longFolder);
    EXPECT_EQ(command.size(), 2 * longFolder.size() + 30);
    EXPECT_EQ(command, "\"" + longFolder + "\\data.exe\" -s -f1\"" + longFolder + "\\setup.iss\"");
}

TEST(Commands, ExitCodeIsTheInstallersOrTheStartError) {
    EXPECT_EQ(LauncherExitCode(true, 0, 0), 0u);
    EXPECT_EQ(LauncherExitCode(true, 3010, 0), 3010u);
    EXPECT_EQ(LauncherExitCode(true, 1603, 0), 1603u);
    EXPECT_EQ(LauncherExitCode(true, 0xC0000005, 0), 0xC0000005);
    EXPECT_EQ(LauncherExitCode(false, 0, ERROR_FILE_NOT_FOUND), 2u);
    EXPECT_EQ(LauncherExitCode(false, 0, ERROR_ACCESS_DENIED), 5u);
    // A failed start is never reported as success, even without an error code.
    EXPECT_NE(LauncherExitCode(false, 0, 0), 0u);
}

namespace {

// Compares C strings by content, with nullptr meaning "writes nothing".
std::string Text(const char *text) {
    return text != nullptr ? text : "<nothing>";
}

void ExpectSequence(bool is64BitWindows, LaunchMode mode, const char *root, const char *opening,
                    const char *started, bool reportsFolder) {
    const LaunchSequence sequence = LaunchSequenceFor(is64BitWindows, mode);
    EXPECT_STREQ(sequence.programFilesRoot, root);
    EXPECT_EQ(sequence.mode, mode);
    EXPECT_EQ(Text(sequence.openingLine), Text(opening));
    EXPECT_EQ(Text(sequence.uninstallerStartedLine), Text(started));
    EXPECT_EQ(sequence.reportsInformationFolder, reportsFolder);
}

} // namespace

TEST(LaunchSequences, FourSequencesByBitnessAndMode) {
    ExpectSequence(false, LaunchMode::Silent, "Program Files", nullptr, nullptr, false);
    ExpectSequence(false, LaunchMode::Interactive, "Program Files", nullptr, "successful", true);
    ExpectSequence(true, LaunchMode::Silent, "Program Files (x86)", nullptr, nullptr, false);
    ExpectSequence(true, LaunchMode::Interactive, "Program Files (x86)", "enter!", "success",
                   false);
}

TEST(LaunchSequences, InformationFolderReportEndsInOneLineFeed) {
    EXPECT_EQ(InformationFolderReport("C:\\x\\{}"), "The value is:C:\\x\\{}\n");
}

TEST(LaunchSequences, BitnessProbeLooksOnlyUnderTheSystemDrive) {
    const bool is64 = test_files::Environment("WINE_TEST_ENVIRONMENT") == "win64";
    EXPECT_EQ(Is64BitWindows(std::string("C:\\")), is64);
    // No drive prefix: 32-bit, even where the current directory holds Windows\SysWOW64.
    SetCurrentDirectoryA("C:\\");
    EXPECT_FALSE(Is64BitWindows(std::nullopt));
    EXPECT_FALSE(Is64BitWindows(std::string("Q:\\")));
}
