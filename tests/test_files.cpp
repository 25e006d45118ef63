#include "test_files.h"

#include <algorithm>
#include <stdexcept>

#include "platform/handle_owner.h"

using platform::CloseHandleOwner;

namespace test_files {

namespace {

std::wstring Exact(const std::string &path) {
    return L"\\\\?\\" + Wide(path);
}

void Require(bool condition, const std::string &what) {
    if (!condition)
        throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

// The Unix path behind a path on drive C of the running prefix. Names go over as they are: the
// path layer would rewrite a name like "x.".
std::string UnixPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return Environment("WINEPREFIX") + "/drive_c/" + path.substr(3);
}

// Wine splits a Unix program's arguments by the Windows rules (double quotes group) and does
// not let a Windows process wait for it: its effect is awaited instead, for up to ten seconds.
void RunUnixCommand(const std::string &commandLine, const std::string &path, bool present) {
    RunProcess(commandLine, "C:\\", "C:\\unix-command-output.txt");
    for (int attempt = 0; attempt < 1000 && Exists(path) != present; ++attempt)
        Sleep(10);
    Require(Exists(path) == present, commandLine);
}

} // namespace

std::string OwnFolder() {
    wchar_t path[MAX_PATH];
    const std::string module =
        Utf8(std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH)));
    return module.substr(0, module.find_last_of('\\'));
}

std::wstring Wide(const std::string &utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    &wide[0], static_cast<int>(wide.size())));
    return wide;
}

std::string Utf8(const std::wstring &wide) {
    std::string utf8(wide.size() * 3, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                    &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr));
    return utf8;
}

std::string Environment(const std::string &name) {
    char value[4096];
    const DWORD length = GetEnvironmentVariableA(name.c_str(), value, sizeof value);
    return length < sizeof value ? std::string(value, length) : std::string();
}

void MakeFolders(const std::string &path) {
    if (Exists(path))
        return;
    const std::string parent = path.substr(0, path.find_last_of('\\'));
    if (parent.size() > 2)
        MakeFolders(parent);
    CreateDirectoryW(Exact(path).c_str(), nullptr);
    Require(Attributes(path) & FILE_ATTRIBUTE_DIRECTORY, "cannot make " + path);
}

void WriteFile(const std::string &path, const std::string &content) {
    MakeFolders(path.substr(0, path.find_last_of('\\')));
    const CloseHandleOwner file(CreateFileW(Exact(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    Require(file.IsOpen() && ::WriteFile(file.Get(), content.data(),
                                         static_cast<DWORD>(content.size()), &written, nullptr),
            "cannot write " + path);
}

std::string ReadFile(const std::string &path) {
    const CloseHandleOwner file(CreateFileW(Exact(path).c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (file.IsOpen() && ::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read)
        content.append(buffer, read);
    return content;
}

void CopyTo(const std::string &source, const std::string &target) {
    Require(CopyFileW(Exact(source).c_str(), Exact(target).c_str(), FALSE),
            "cannot copy to " + target);
}

DWORD Attributes(const std::string &path) {
    return GetFileAttributesW(Exact(path).c_str());
}

bool Exists(const std::string &path) {
    return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

void SetAttributes(const std::string &path, DWORD attributes) {
    Require(SetFileAttributesW(Exact(path).c_str(), attributes),
            "cannot set attributes of " + path);
}

void RemoveAll(const std::string &path) {
    // From the Unix side: Wine would follow a link, and Unix takes any name and attribute.
    if (Exists(path))
        RunUnixCommand("/bin/rm -rf \"" + UnixPath(path) + "\"", path, false);
}

void MakeUnixLink(const std::string &target, const std::string &link) {
    RunUnixCommand("/bin/ln -s \"" + UnixPath(target) + "\" \"" + UnixPath(link) + "\"", link,
                   true);
    Require(Attributes(link) & FILE_ATTRIBUTE_REPARSE_POINT, "not a link: " + link);
}

HANDLE StartProcess(const std::string &commandLine, const std::string &currentDirectory,
                    const std::string &outputFile) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    CloseHandleOwner output(CreateFileW(Exact(outputFile).c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    Require(output.IsOpen(), "cannot create " + outputFile);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.Get();
    PROCESS_INFORMATION started = {};
    std::wstring writable = Wide(commandLine);
    Require(CreateProcessW(nullptr, &writable[0], nullptr, nullptr, TRUE, 0, nullptr,
                           Wide(currentDirectory).c_str(), &startup, &started),
            "cannot start " + commandLine);
    CloseHandle(started.hThread);
    return started.hProcess;
}

ProcessOutcome RunProcess(const std::string &commandLine, const std::string &currentDirectory,
                          const std::string &outputFile) {
    const CloseHandleOwner process(StartProcess(commandLine, currentDirectory, outputFile));
    ProcessOutcome outcome;
    WaitForSingleObject(process.Get(), INFINITE);
    GetExitCodeProcess(process.Get(), &outcome.exitCode);
    outcome.standardOutput = ReadFile(outputFile);
    return outcome;
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
