#pragma once

// The launcher's rules as pure functions: mode, bitness-dependent paths, the command lines it
// starts and the exit code it reports. Nothing here touches the platform.

#include <optional>
#include <string>

#include <windows.h>

namespace launcher {

enum class LaunchMode { Interactive, Silent };

// Exactly one argument after the program name selects the silent installation; its text is
// never read.
LaunchMode LaunchModeFor(int argumentCount);

// The drive root the system directory begins with, such as "C:\". Nothing when the system
// directory is unknown or does not begin with a drive root: then no system path can be built
// without resolving it against the current directory.
std::optional<std::string> SystemDrivePrefix(const std::optional<std::string> &systemDirectory);

// The folder whose presence marks 64-bit Windows.
std::string SysWow64Folder(const std::string &drivePrefix);

// "Program Files" on 32-bit Windows, "Program Files (x86)" on 64-bit Windows.
const char *ProgramFilesRoot(bool is64BitWindows);

// The installer engine's information folder of the earlier installation. "{}" is the folder's
// literal name.
std::string InformationFolder(const std::string &drivePrefix, const char *programFilesRoot);

std::string JoinPath(const std::string &folder, const std::string &name);

// Every program path is quoted: unquoted, a path with blanks lets the platform start
// "C:\Program.exe" and the like first.
std::string UninstallCommand(const std::string &informationFolder);
std::string InteractiveInstallerCommand(const std::string &launcherFolder);
std::string SilentInstallerCommand(const std::string &launcherFolder);
std::string InstallerCommand(LaunchMode mode, const std::string &launcherFolder);

// What one launch sequence writes and where it looks, for one bitness and mode.
struct LaunchSequence {
    const char *programFilesRoot;
    LaunchMode mode;
    const char *openingLine;            // written before anything else, or nullptr
    const char *uninstallerStartedLine; // written once the uninstaller has started, or nullptr
    bool reportsInformationFolder;      // "The value is:" line after the uninstaller
};

LaunchSequence LaunchSequenceFor(bool is64BitWindows, LaunchMode mode);

// The line that reports the information folder after the uninstaller.
std::string InformationFolderReport(const std::string &informationFolder);

// The exit code deployment tools see: the installer's own once it ran, else the platform's
// error for the failed start (never 0).
DWORD LauncherExitCode(bool installerStarted, DWORD installerExitCode, DWORD startError);

} // namespace launcher
