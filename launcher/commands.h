#pragma once

// The launcher's rules as pure functions: mode, bitness-dependent paths and the command lines it
// starts. Nothing here touches the platform. Every path and command line is UTF-16, as the
// platform's own names are, so no name is ever changed on the way.

#include <optional>
#include <string>

namespace launcher {

enum class LaunchMode { Interactive, Silent };

// Exactly one argument after the program name selects the silent installation; its text is
// never read.
LaunchMode LaunchModeFor(int argumentCount);

// The number of elements a command line splits into, the program name included, by the
// platform's classic rules: the program name runs to the next quote when it starts with one,
// else to the first blank; arguments are split at blanks outside quotes; 2n backslashes and a
// quote give a quote that opens or closes, 2n+1 a literal one; inside quotes "" is a literal
// quote that also closes. Only the plain quote, backslash, blank and tab count: a look-alike is
// an ordinary character. An empty line is the program alone.
int CountArguments(const std::wstring &commandLine);

// The drive root the system directory begins with, such as "C:\". Nothing when the system
// directory is unknown or does not begin with a drive root: then no system path can be built
// without resolving it against the current directory.
std::optional<std::wstring> SystemDrivePrefix(const std::optional<std::wstring> &systemDirectory);

// The folder whose presence marks 64-bit Windows.
std::wstring SysWow64Folder(const std::wstring &drivePrefix);

// The installer engine's information folder of the earlier installation: under "Program Files"
// on 32-bit Windows, "Program Files (x86)" on 64-bit Windows. "{}" is the folder's literal name.
std::wstring InformationFolder(const std::wstring &drivePrefix, bool is64BitWindows);

std::wstring UninstallCommand(const std::wstring &informationFolder);
std::wstring InstallerCommand(LaunchMode mode, const std::wstring &launcherFolder);

// What one launch sequence writes and where it looks, for one bitness and mode.
struct LaunchSequence {
    bool is64BitWindows;
    LaunchMode mode;
    const wchar_t *openingLine;            // written before anything else, or nullptr
    const wchar_t *uninstallerStartedLine; // written once the uninstaller has started, or nullptr
    bool reportsInformationFolder;         // "The value is:" line after the uninstaller
};

LaunchSequence LaunchSequenceFor(bool is64BitWindows, LaunchMode mode);

// The line that reports the information folder after the uninstaller.
std::wstring InformationFolderReport(const std::wstring &informationFolder);

} // namespace launcher
