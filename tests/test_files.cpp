#include "test_files.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace test_files {

namespace {

std::wstring Widened(const std::string &text) {
    std::wstring wide(text.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           &wide[0], static_cast<int>(wide.size()));
    wide.resize(length);
    return wide;
}

std::wstring LongPathForm(const std::string &path) {
    return L"\\\\?\\" + Widened(path);
}

void Require(bool condition, const std::string &what) {
    if (!condition)
        throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

// Wine's own conversion of a Windows path to the Unix path behind it.
std::string UnixPath(const std::string &windowsPath) {
    using Convert = char *(CDECL *)(const WCHAR *);
    const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    Require(convert != nullptr, "not running under Wine");
    char *unixPath = convert(Widened(windowsPath).c_str());
    Require(unixPath != nullptr, "no Unix path for " + windowsPath);
    std::string result(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

// Wine hands a Unix program its arguments split by the Windows rules (double quotes group) and
// does not let a Windows process wait for it: its effect is awaited instead.
void RunUnixCommand(const std::string &commandLine) {
    Require(RunProcess(commandLine, "C:\\", "C:\\unix-command-output.txt").started,
            "cannot run " + commandLine);
}

// Waits up to ten seconds for a path to appear (or to go).
bool AwaitAttributes(const std::string &path, bool present) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if ((GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present)
            return true;
        Sleep(10);
    }
    return false;
}

} // namespace

std::string OwnFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\'));
}

std::string Environment(const std::string &name) {
    char value[4096];
    const DWORD length = GetEnvironmentVariableA(name.c_str(), value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::string CurrentDirectory() {
    char path[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, path);
    return length < MAX_PATH ? std::string(path, length) : std::string();
}

void MakeFolders(const std::string &path) {
    for (std::string::size_type at = path.find('\\', 3); at != std::string::npos;
         at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
    Require(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, "cannot make " + path);
}

void WriteFile(const std::string &path, const std::string &content) {
    std::ofstream file(path, std::ios::binary);
    file << content;
    Require(static_cast<bool>(file), "cannot write " + path);
}

std::string ReadFile(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void CopyTo(const std::string &source, const std::string &target) {
    Require(CopyFileA(source.c_str(), target.c_str(), FALSE), "cannot copy to " + target);
}

bool Exists(const std::string &path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeReadOnly(const std::string &path) {
    Require(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY), "cannot protect " + path);
}

void RemoveAll(const std::string &path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // Through Wine the link would be followed; unlink it from the Unix side.
        RunUnixCommand("/bin/rm -f \"" + UnixPath(path) + "\"");
        Require(AwaitAttributes(path, false), "cannot unlink " + path);
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name != "." && name != "..")
                RemoveAll(path + "\\" + name);
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

std::string FreshFolder(const std::string &path) {
    RemoveAll(path);
    MakeFolders(path);
    return path;
}

void MakeUnixLink(const std::string &target, const std::string &link) {
    RunUnixCommand("/bin/ln -s \"" + UnixPath(target) + "\" \"" + UnixPath(link) + "\"");
    Require(AwaitAttributes(link, true), "no link at " + link);
    Require(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, "not a link: " + link);
}

bool MakeFileWithLongPath(const std::string &path) {
    const HANDLE file = CreateFileW(LongPathForm(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

bool ExistsWithLongPath(const std::string &path) {
    return GetFileAttributesW(LongPathForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

ProcessOutcome RunProcess(const std::string &commandLine, const std::string &currentDirectory,
                          const std::string &outputFile) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    const HANDLE output = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                      &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    Require(output != INVALID_HANDLE_VALUE, "cannot create " + outputFile);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    PROCESS_INFORMATION process = {};
    std::string writable = commandLine;
    ProcessOutcome outcome;
    outcome.started = CreateProcessA(nullptr, &writable[0], nullptr, nullptr, TRUE, 0, nullptr,
                                     currentDirectory.c_str(), &startup, &process) != FALSE;
    CloseHandle(output);
    if (outcome.started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &outcome.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    outcome.standardOutput = ReadFile(outputFile);
    return outcome;
}

std::vector<std::string> SplitLines(const std::string &text) {
    return SplitFields(text, '\n');
}

std::vector<std::string> SplitFields(const std::string &text, char separator) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    while (start < text.size()) {
        std::string::size_type end = text.find(separator, start);
        if (end == std::string::npos)
            end = text.size();
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

} // namespace test_files
