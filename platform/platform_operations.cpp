#include "platform_operations.h"

#include <cstdio>
#include <cwchar>
#include <vector>

#include <shlwapi.h>

namespace platform {

namespace {

// The longest path the platform accepts anywhere, terminator included.
constexpr DWORD kLongestPlatformPath = 32768;

DWORD ErrorOr(DWORD error, DWORD fallback) {
    return error != 0 ? error : fallback;
}

// The module path read whole, growing the buffer while the result fills it.
std::wstring ReadModulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0)
            return {};
        if (length < size)
            return std::wstring(buffer.data(), length);
        if (size >= kLongestPlatformPath) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return {};
        }
        buffer.resize(size * 2);
    }
}

// Puts the process in a job of its own whose completion port reports when no process of the job
// is left. False when the platform refuses any step (older Windows refuse nested jobs).
bool WatchProcessTree(StartedProcess &started) {
    CloseHandleOwner job(CreateJobObjectA(nullptr, nullptr));
    CloseHandleOwner port(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
    if (!job.IsOpen() || !port.IsOpen())
        return false;
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {job.Get(), port.Get()};
    if (!SetInformationJobObject(job.Get(), JobObjectAssociateCompletionPortInformation,
                                 &association, sizeof association) ||
        !AssignProcessToJobObject(job.Get(), started.process.Get()))
        return false;
    started.job = std::move(job);
    started.port = std::move(port);
    return true;
}

// Blocks until the job's last process has ended. False when the port cannot be read.
bool WaitForEmptyJob(const StartedProcess &started) {
    DWORD message = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED overlapped = nullptr;
    while (GetQueuedCompletionStatus(started.port.Get(), &message, &key, &overlapped, INFINITE))
        if (key == reinterpret_cast<ULONG_PTR>(started.job.Get()) &&
            message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
            return true;
    return false;
}

} // namespace

LauncherFolder ReadLauncherFolder() {
    std::wstring path = ReadModulePath();
    if (path.empty())
        return {{}, ErrorOr(GetLastError(), ERROR_BAD_PATHNAME)};
    PathRemoveFileSpecW(&path[0]);
    path.resize(std::wcslen(path.c_str()));
    if (path.empty()) // never a folder relative to the current directory
        return {{}, ERROR_BAD_PATHNAME};
    std::optional<std::string> exact = ExactAnsiText(path);
    if (!exact)
        return {{}, ERROR_NO_UNICODE_TRANSLATION};
    return {*exact, 0};
}

std::optional<std::string> ExactAnsiText(const std::wstring &text) {
    if (text.empty())
        return std::string();
    // A UTF-8 code page takes no best-fit flag and never needs a default character; the round
    // trip below catches what it cannot carry.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL *usedDefaultAnswer = utf8 ? nullptr : &usedDefault;
    const int wideLength = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_ACP, flags, text.data(), wideLength, nullptr, 0,
                                           nullptr, usedDefaultAnswer);
    if (length <= 0 || usedDefault)
        return std::nullopt;
    std::string ansi(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, flags, text.data(), wideLength, &ansi[0], length, nullptr,
                        usedDefaultAnswer);
    if (usedDefault)
        return std::nullopt;

    std::wstring back(text.size(), L'\0');
    const int backLength =
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, &back[0], wideLength);
    if (backLength != wideLength || back != text)
        return std::nullopt;
    return ansi;
}

bool IsLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
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

bool CopyFileIfAbsent(const std::string &source, const std::string &target) {
    return CopyFileA(source.c_str(), target.c_str(), TRUE) != FALSE;
}

void ResetAttributes(const std::string &path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

void ClearReadOnly(const std::string &path) {
    const DWORD attributes = ReadAttributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

bool DeleteFileAt(const std::string &path) {
    return DeleteFileA(path.c_str()) != FALSE;
}

bool RemoveFolder(const std::string &path) {
    return RemoveDirectoryA(path.c_str()) != FALSE;
}

StartedProcess StartProcess(const std::string &commandLine, WaitScope scope) {
    // The platform may write into the command line it is given, so it gets a private copy.
    std::vector<char> writableCommand(commandLine.begin(), commandLine.end());
    writableCommand.push_back('\0');

    const bool tree = scope == WaitScope::ProcessTree;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    StartedProcess started;
    if (!CreateProcessA(nullptr, writableCommand.data(), nullptr, nullptr, FALSE,
                        tree ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &info)) {
        started.startError = ErrorOr(GetLastError(), ERROR_GEN_FAILURE);
        return started;
    }
    started.process = CloseHandleOwner(info.hProcess);
    const CloseHandleOwner thread(info.hThread);
    if (tree) {
        WatchProcessTree(started); // without a job, the process alone is waited for
        if (ResumeThread(thread.Get()) == static_cast<DWORD>(-1)) {
            // A process that never runs would be waited for forever.
            StartedProcess failed;
            failed.startError = ErrorOr(GetLastError(), ERROR_GEN_FAILURE);
            TerminateProcess(started.process.Get(), failed.startError);
            return failed;
        }
    }
    return started;
}

DWORD WaitForExit(const StartedProcess &started) {
    if (started.port.IsOpen())
        WaitForEmptyJob(started); // a failed read leaves the wait for the process itself
    DWORD exitCode = 0;
    if (WaitForSingleObject(started.process.Get(), INFINITE) == WAIT_FAILED ||
        !GetExitCodeProcess(started.process.Get(), &exitCode))
        return ErrorOr(GetLastError(), ERROR_GEN_FAILURE);
    return exitCode;
}

void WriteDiagnostic(const std::string &text) {
    std::fputs(text.c_str(), stdout);
}

} // namespace platform
