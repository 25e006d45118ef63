#pragma once

// The launcher's rules as pure functions: mode, bitness-dependent paths and the command lines it
// starts. Nothing here touches the platform.

#include <optional>
#include <string>

namespace launcher {

enum class LaunchMode { Interactive, Silent };

// Exactly one argument after the program name selects the silent installation; its text is
// never read.
LaunchMode LaunchModeFor(int argumentCount);

// Tells whether a byte leads a double-byte character of the ANSI code page.
using LeadByteTest = bool (*)(unsigned char);

// The number of elements a command line splits into, the program name included, by the
// platform's classic rules: the program name runs to the next quote when it starts with one,
// else to the first blank; arguments are split at blanks outside quotes; 2n backslashes and a
// quote give a quote that opens or closes, 2n+1 a literal one; inside quotes "" is a literal
// quote that also closes; double-byte characters are taken whole. An empty line is the program
// alone.
int CountArguments(const std::string &commandLine, LeadByteTest isLeadByte);

// The drive root the system directory begins with, such as "C:\". Nothing when the system
// directory is unknown or does not begin with a drive root: then no system path can be built
// without resolving it against the current directory.
std::optional<std::string> SystemDrivePrefix(const std::optional<std::string> &systemDirectory);

// The folder whose presence marks 64-bit Windows.
std::string SysWow64Folder(const std::string &drivePrefix);

// The installer engine's information folder of the earlier installation: under "Program Files"
// on 32-bit Windows, "Program Files (x86)" on 64-bit Windows. "{}" is the folder's literal name.
std::string InformationFolder(const std::string &drivePrefix, bool is64BitWindows);

std::string UninstallCommand(const std::string &informationFolder);
std::string InstallerCommand(LaunchMode mode, const std::string &launcherFolder);

// What one launch sequence writes and where it looks, for one bitness and mode.
struct LaunchSequence {
    bool is64BitWindows;
    LaunchMode mode;
    const char *openingLine;            // written before anything else, or nullptr
    const char *uninstallerStartedLine; // written once the uninstaller has started, or nullptr
    bool reportsInformationFolder;      // "The value is:" line after the uninstaller
};

LaunchSequence LaunchSequenceFor(bool is64BitWindows, LaunchMode mode);

// The line that reports the information folder after the uninstaller.
std::string InformationFolderReport(const std::string &informationFolder);

} // namespace launcher
