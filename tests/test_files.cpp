#include "test_files.h"

#include <stdexcept>

#include "platform/handle_owner.h"

using platform::CloseHandleOwner;

namespace test_files {

namespace {

std::wstring Wide(const std::string &text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    &wide[0], static_cast<int>(wide.size())));
    return wide;
}

std::wstring Exact(const std::string &path) {
    return L"\\\\?\\" + Wide(path);
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
    char *unixPath = convert(Wide(windowsPath).c_str());
    Require(unixPath != nullptr, "no Unix path for " + windowsPath);
    std::string result(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
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
    char path[MAX_PATH];
    const std::string module(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return module.substr(0, module.find_last_of('\\'));
}

std::string Environment(const std::string &name) {
    char value[4096];
    const DWORD length = GetEnvironmentVariableA(name.c_str(), value, sizeof value);
    return length < sizeof value ? std::string(value, length) : std::string();
}

void MakeFolders(const std::string &path) {
    for (std::string::size_type at = path.find('\\', 3); at != std::string::npos;
         at = path.find('\\', at + 1))
        CreateDirectoryW(Exact(path.substr(0, at)).c_str(), nullptr);
    CreateDirectoryW(Exact(path).c_str(), nullptr);
    Require(Attributes(path) & FILE_ATTRIBUTE_DIRECTORY, "cannot make " + path);
}

void WriteFile(const std::string &path, const std::string &content) {
    const CloseHandleOwner file(CreateFileW(Exact(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    Require(file.IsOpen() && ::WriteFile(file.Get(), content.data(),
                                         static_cast<DWORD>(content.size()), &written, nullptr),
            "cannot write " + path);
}

std::string ReadFile(const std::string &path) {
    const CloseHandleOwner file(CreateFileW(Exact(path).c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (file.IsOpen() && ::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) &&
           read > 0)
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
    const DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) { // through Wine the link would be followed
        const std::string::size_type separator = path.find_last_of('\\');
        return RunUnixCommand("/bin/rm -f \"" + UnixPath(path.substr(0, separator)) + "/" +
                                  path.substr(separator + 1) + "\"",
                              path, false);
    }
    SetFileAttributesW(Exact(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(Exact(path).c_str());
        return;
    }
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((Exact(path) + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::string utf8(name.size() * 3, '\0');
            utf8.resize(WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()),
                                            &utf8[0], static_cast<int>(utf8.size()), nullptr,
                                            nullptr));
            RemoveAll(path + "\\" + utf8);
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(Exact(path).c_str());
}

void MakeUnixLink(const std::string &target, const std::string &folder, const std::string &name) {
    // The link's own name goes to Unix as given: the path layer would rewrite a name like "x.".
    const std::string link = folder + "\\" + name;
    RunUnixCommand("/bin/ln -s \"" + UnixPath(target) + "\" \"" + UnixPath(folder) + "/" + name +
                       "\"",
                   link, true);
    Require(Attributes(link) & FILE_ATTRIBUTE_REPARSE_POINT, "not a link: " + link);
}

ProcessOutcome RunProcess(const std::string &commandLine, const std::string &currentDirectory,
                          const std::string &outputFile) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    CloseHandleOwner output(CreateFileW(Exact(outputFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                        &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
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
    output = CloseHandleOwner();
    const CloseHandleOwner process(started.hProcess), thread(started.hThread);
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
