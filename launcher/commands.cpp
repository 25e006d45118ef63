#include "commands.h"

#include "paths.h"

namespace launcher {

namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Steps over one argument starting at `at`; returns where it ends.
std::string::size_type SkipArgument(const std::string &line, std::string::size_type at,
                                    LeadByteTest isLeadByte) {
    bool quoted = false;
    while (at < line.size() && (quoted || !IsBlank(line[at]))) {
        const char c = line[at];
        if (c == '\\') {
            std::string::size_type backslashes = 0;
            while (at < line.size() && line[at] == '\\')
                ++backslashes, ++at;
            // An odd run makes the quote after it literal; an even one leaves it to open or close.
            if (backslashes % 2 == 1 && at < line.size() && line[at] == '"')
                ++at;
        } else if (c == '"') {
            if (quoted && at + 1 < line.size() && line[at + 1] == '"')
                ++at; // "" inside quotes: a literal quote, and the quotes close
            quoted = !quoted;
            ++at;
        } else {
            at += isLeadByte(static_cast<unsigned char>(c)) && at + 1 < line.size() ? 2 : 1;
        }
    }
    return at;
}

} // namespace

LaunchMode LaunchModeFor(int argumentCount) {
    return argumentCount == 2 ? LaunchMode::Silent : LaunchMode::Interactive;
}

int CountArguments(const std::string &line, LeadByteTest isLeadByte) {
    std::string::size_type at = 0;
    if (!line.empty() && line[0] == '"') {
        const std::string::size_type closing = line.find('"', 1);
        at = closing == std::string::npos ? line.size() : closing + 1;
    } else {
        while (at < line.size() && !IsBlank(line[at]))
            at += isLeadByte(static_cast<unsigned char>(line[at])) ? 2 : 1;
    }
    int count = 1;
    for (;;) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        if (at >= line.size())
            return count;
        ++count;
        at = SkipArgument(line, at, isLeadByte);
    }
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

std::string InformationFolder(const std::string &drivePrefix, bool is64BitWindows) {
    return drivePrefix + (is64BitWindows ? "Program Files (x86)" : "Program Files") +
           "\\InstallShield Installation Information\\{}";
}

std::string UninstallCommand(const std::string &informationFolder) {
    return Quoted(JoinPath(informationFolder, "setup.exe")) + " -s -uninst -f1" +
           Quoted(JoinPath(informationFolder, "uninstall.iss"));
}

std::string InstallerCommand(LaunchMode mode, const std::string &launcherFolder) {
    std::string command = Quoted(JoinPath(launcherFolder, "data.exe"));
    if (mode == LaunchMode::Silent)
        command += " -s -f1" + Quoted(JoinPath(launcherFolder, "setup.iss"));
    return command;
}

LaunchSequence LaunchSequenceFor(bool is64BitWindows, LaunchMode mode) {
    LaunchSequence sequence = {is64BitWindows, mode, nullptr, nullptr, false};
    if (mode == LaunchMode::Interactive && is64BitWindows) {
        sequence.openingLine = "enter!";
        sequence.uninstallerStartedLine = "success";
    } else if (mode == LaunchMode::Interactive) {
        sequence.uninstallerStartedLine = "successful";
        sequence.reportsInformationFolder = true;
    }
    return sequence;
}

std::string InformationFolderReport(const std::string &informationFolder) {
    return "The value is:" + informationFolder + "\n";
}

} // namespace launcher
