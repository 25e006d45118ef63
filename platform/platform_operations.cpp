#include "platform_operations.h"

#include <cstdio>
#include <vector>

#include <shlwapi.h>

#include "unique_handle.h"

namespace platform {

namespace {

// The longest path the platform accepts anywhere, terminator included.
constexpr DWORD kLongestPlatformPath = 32768;

DWORD ErrorOrGeneralFailure(DWORD error) {
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

} // namespace

std::string ReadModulePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
        if (length == 0)
            return {};
        if (length < size)
            return std::string(buffer.data(), length);
        // A result that fills the buffer was cut short; read again with room to spare.
        if (size >= kLongestPlatformPath)
            return {};
        buffer.resize(size * 2);
    }
}

std::string ReadLauncherFolder() {
    std::string path = ReadModulePath();
    if (path.empty())
        return {};
    PathRemoveFileSpecA(&path[0]);
    path.resize(std::char_traits<char>::length(path.c_str()));
    return path;
}

std::optional<std::string> ReadSystemDirectory() {
    char buffer[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(buffer, MAX_PATH);
    // Zero is a failure; a length of MAX_PATH or more is the size the directory would need.
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    return std::string(buffer, length);
}

bool PathExists(const std::string &path) {
    return PathFileExistsA(path.c_str()) != FALSE;
}

DWORD ReadAttributes(const std::string &path) {
    return GetFileAttributesA(path.c_str());
}

void CopyFileIfAbsent(const std::string &source, const std::string &target) {
    CopyFileA(source.c_str(), target.c_str(), TRUE);
}

void ResetAttributes(const std::string &path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

bool DeleteFileAt(const std::string &path) {
    return DeleteFileA(path.c_str()) != FALSE;
}

bool RemoveFolder(const std::string &path) {
    return RemoveDirectoryA(path.c_str()) != FALSE;
}

RunResult RunAndWait(const std::string &commandLine, const char *lineOnceStarted) {
    // The platform may write into the command line it is given, so it gets a private copy.
    std::vector<char> writableCommand(commandLine.begin(), commandLine.end());
    writableCommand.push_back('\0');

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, writableCommand.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started)) {
        RunResult result;
        result.startError = ErrorOrGeneralFailure(GetLastError());
        return result;
    }
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);

    if (lineOnceStarted != nullptr)
        WriteDiagnostic(lineOnceStarted);

    RunResult result;
    result.started = true;
    if (WaitForSingleObject(process.Get(), INFINITE) == WAIT_FAILED ||
        !GetExitCodeProcess(process.Get(), &result.exitCode))
        result.exitCode = ErrorOrGeneralFailure(GetLastError());
    return result;
}

void WriteDiagnostic(const std::string &text) {
    std::fputs(text.c_str(), stdout);
}

} // namespace platform
