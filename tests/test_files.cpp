#include "test_files.h"

#include <algorithm>
#include <cwchar>
#include <numeric>
#include <sstream>

#include "platform/handle_owner.h"

using platform::CloseHandleOwner;

namespace test_files {

namespace {

// The Unix path behind a path on drive C of the running prefix. Names go over as they are: the
// path layer would rewrite a name like "x.".
std::string UnixPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return Environment("WINEPREFIX") + "/drive_c/" + path.substr(3);
}

// Wine splits a Unix program's arguments by the Windows rules (double quotes group) and does
// not let a Windows process wait for it: its effect is awaited instead, for up to 30 seconds.
template <typename Done> void RunUnixCommand(const std::string &commandLine, const Done &done) {
    RunProcess(commandLine, "C:\\", "C:\\unix-command-output.txt");
    for (int attempt = 0; attempt < 3000 && !done(); ++attempt)
        Sleep(10);
    Require(done(), commandLine);
}

void RunUnixCommand(const std::string &commandLine, const std::string &path, bool present) {
    RunUnixCommand(commandLine, [&] { return Exists(path) == present; });
}

// The path Windows reaches the entry by, links resolved.
std::wstring FinalPath(const std::string &path) {
    const CloseHandleOwner entry(CreateFileW(Exact(path).c_str(), 0, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    wchar_t resolved[MAX_PATH] = {};
    return entry.IsOpen() ? std::wstring(resolved, GetFinalPathNameByHandleW(entry.Get(), resolved,
                                                                             MAX_PATH, 0))
                          : std::wstring();
}

} // namespace

std::string OwnFolder() {
    wchar_t path[MAX_PATH];
    const std::string module =
        Utf8(std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH)));
    return module.substr(0, module.find_last_of('\\'));
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

std::string Listing(const std::string &folder) {
    std::vector<std::string> lines;
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW(Exact(folder + "\\*").c_str(), &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry)) {
        const std::string path = folder + "\\" + Utf8(entry.cFileName);
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            lines.push_back(path + ": " + ReadFile(path) + "\n");
        else if (std::wcscmp(entry.cFileName, L".") != 0 &&
                 std::wcscmp(entry.cFileName, L"..") != 0)
            lines.push_back(path + "\\\n" + Listing(path));
    }
    FindClose(search);
    std::sort(lines.begin(), lines.end());
    return std::accumulate(lines.begin(), lines.end(), std::string());
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

void RepointUnixLink(const std::string &target, const std::string &link) {
    RunUnixCommand("/bin/ln -sfn \"" + UnixPath(target) + "\" \"" + UnixPath(link) + "\"",
                   [&] { return FinalPath(link) == Exact(target); });
}

std::vector<std::string> SplitFields(const std::string &text, char separator) {
    std::vector<std::string> fields;
    std::istringstream stream(text);
    for (std::string field; std::getline(stream, field, separator);)
        fields.push_back(field);
    return fields;
}

} // namespace test_files
