#include "commands.h"

#include "paths.h"

namespace launcher {

namespace {

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// Steps over one argument starting at `at`; returns where it ends.
std::wstring::size_type SkipArgument(const std::wstring &line, std::wstring::size_type at) {
    bool quoted = false;
    while (at < line.size() && (quoted || !IsBlank(line[at]))) {
        if (line[at] == L'\\') {
            std::wstring::size_type backslashes = 0;
            while (at < line.size() && line[at] == L'\\')
                ++backslashes, ++at;
            // An odd run makes the quote after it literal; an even one leaves it to open or close.
            if (backslashes % 2 == 1 && at < line.size() && line[at] == L'"')
                ++at;
        } else if (line[at] == L'"') {
            if (quoted && at + 1 < line.size() && line[at + 1] == L'"')
                ++at; // "" inside quotes: a literal quote, and the quotes close
            quoted = !quoted;
            ++at;
        } else {
            ++at;
        }
    }
    return at;
}

} // namespace

LaunchMode LaunchModeFor(int argumentCount) {
    return argumentCount == 2 ? LaunchMode::Silent : LaunchMode::Interactive;
}

int CountArguments(const std::wstring &line) {
    std::wstring::size_type at = 0;
    if (!line.empty() && line[0] == L'"') {
        const std::wstring::size_type closing = line.find(L'"', 1);
        at = closing == std::wstring::npos ? line.size() : closing + 1;
    } else {
        while (at < line.size() && !IsBlank(line[at]))
            ++at;
    }
    int count = 1;
    for (;;) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        if (at >= line.size())
            return count;
        ++count;
        at = SkipArgument(line, at);
    }
}

std::optional<std::wstring> SystemDrivePrefix(const std::optional<std::wstring> &systemDirectory) {
    if (!systemDirectory || systemDirectory->size() < 3)
        return std::nullopt;
    const std::wstring &directory = *systemDirectory;
    if (!IsAsciiLetter(directory[0]) || directory[1] != L':' || directory[2] != L'\\')
        return std::nullopt;
    return directory.substr(0, 3);
}

std::wstring SysWow64Folder(const std::wstring &drivePrefix) {
    return drivePrefix + L"Windows\\SysWOW64";
}

std::wstring InformationFolder(const std::wstring &drivePrefix, bool is64BitWindows) {
    return drivePrefix + (is64BitWindows ? L"Program Files (x86)" : L"Program Files") +
           L"\\InstallShield Installation Information\\{}";
}

std::wstring UninstallCommand(const std::wstring &informationFolder) {
    return Quoted(JoinPath(informationFolder, L"setup.exe")) + L" -s -uninst -f1" +
           Quoted(JoinPath(informationFolder, L"uninstall.iss"));
}

std::wstring InstallerCommand(LaunchMode mode, const std::wstring &launcherFolder) {
    std::wstring command = Quoted(JoinPath(launcherFolder, L"data.exe"));
    if (mode == LaunchMode::Silent)
        command += L" -s -f1" + Quoted(JoinPath(launcherFolder, L"setup.iss"));
    return command;
}

LaunchSequence LaunchSequenceFor(bool is64BitWindows, LaunchMode mode) {
    LaunchSequence sequence = {is64BitWindows, mode, nullptr, nullptr, false};
    if (mode == LaunchMode::Interactive && is64BitWindows) {
        sequence.openingLine = L"enter!";
        sequence.uninstallerStartedLine = L"success";
    } else if (mode == LaunchMode::Interactive) {
        sequence.uninstallerStartedLine = L"successful";
        sequence.reportsInformationFolder = true;
    }
    return sequence;
}

std::wstring InformationFolderReport(const std::wstring &informationFolder) {
    return L"The value is:" + informationFolder + L"\n";
}

} // namespace launcher
