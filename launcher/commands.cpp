#include "commands.h"

namespace launcher {

namespace {

constexpr char kInformationFolderTail[] = "\\InstallShield Installation Information\\{}";

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string Quoted(const std::string &text) {
    return "\"" + text + "\"";
}

} // namespace

LaunchMode LaunchModeFor(int argumentCount) {
    return argumentCount == 2 ? LaunchMode::Silent : LaunchMode::Interactive;
}

std::optional<std::string> SystemDrivePrefix(const std::optional<std::string> &systemDirectory) {
    if (!systemDirectory || systemDirectory->size() < 3)
        return std::nullopt;
    const std::string &directory = *systemDirectory;
    if (!IsAsciiLetter(directory[0]) || directory[1] != ':' || directory[2] != '\\')
        return std::nullopt;
    return directory.substr(0, 3);
}

std::string SysWow64Folder(const std::string &drivePrefix) {
    return drivePrefix + "Windows\\SysWOW64";
}

const char *ProgramFilesRoot(bool is64BitWindows) {
    return is64BitWindows ? "Program Files (x86)" : "Program Files";
}

std::string InformationFolder(const std::string &drivePrefix, const char *programFilesRoot) {
    return drivePrefix + programFilesRoot + kInformationFolderTail;
}

std::string JoinPath(const std::string &folder, const std::string &name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    path += '\\';
    path += name;
    return path;
}

std::string UninstallCommand(const std::string &informationFolder) {
    return Quoted(JoinPath(informationFolder, "setup.exe")) + " -s -uninst -f1" +
           Quoted(JoinPath(informationFolder, "uninstall.iss"));
}

std::string InteractiveInstallerCommand(const std::string &launcherFolder) {
    return Quoted(JoinPath(launcherFolder, "data.exe"));
}

std::string SilentInstallerCommand(const std::string &launcherFolder) {
    return InteractiveInstallerCommand(launcherFolder) + " -s -f1" +
           Quoted(JoinPath(launcherFolder, "setup.iss"));
}

std::string InstallerCommand(LaunchMode mode, const std::string &launcherFolder) {
    return mode == LaunchMode::Silent ? SilentInstallerCommand(launcherFolder)
                                      : InteractiveInstallerCommand(launcherFolder);
}

LaunchSequence LaunchSequenceFor(bool is64BitWindows, LaunchMode mode) {
    const bool interactive = mode == LaunchMode::Interactive;
    LaunchSequence sequence = {ProgramFilesRoot(is64BitWindows), mode, nullptr, nullptr, false};
    if (interactive && is64BitWindows) {
        sequence.openingLine = "enter!";
        sequence.uninstallerStartedLine = "success";
    } else if (interactive) {
        sequence.uninstallerStartedLine = "successful";
        sequence.reportsInformationFolder = true;
    }
    return sequence;
}

std::string InformationFolderReport(const std::string &informationFolder) {
    return "The value is:" + informationFolder + "\n";
}

DWORD LauncherExitCode(bool installerStarted, DWORD installerExitCode, DWORD startError) {
    if (installerStarted)
        return installerExitCode;
    return startError != 0 ? startError : ERROR_GEN_FAILURE;
}

} // namespace launcher
