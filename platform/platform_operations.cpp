#include "platform_operations.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "launcher/paths.h"

namespace platform {

namespace {

// The longest path the platform accepts anywhere, terminator included.
constexpr DWORD kLongestPlatformPath = 32768;

// How much of a file one read takes when a whole file is read.
constexpr DWORD kWholeFileReadSize = 1024 * 1024;

// How long a wait for a process tree trusts the job's completion port alone before it asks the
// job how many processes are left: the platform does not promise to deliver every message.
constexpr DWORD kJobCountInterval = 2000;

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
// is left. The job's one setting lets a process that asks to break away leave it: it only
// watches and must not change what the programs in it can do. False when the platform refuses
// any step (older Windows refuse nested jobs).
bool WatchProcessTree(StartedProcess &started) {
    CloseHandleOwner job(CreateJobObjectW(nullptr, nullptr));
    CloseHandleOwner port(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
    if (!job.IsOpen() || !port.IsOpen())
        return false;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {job.Get(), port.Get()};
    if (!SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits) ||
        !SetInformationJobObject(job.Get(), JobObjectAssociateCompletionPortInformation,
                                 &association, sizeof association) ||
        !AssignProcessToJobObject(job.Get(), started.process.Get()))
        return false;
    started.job = std::move(job);
    started.port = std::move(port);
    return true;
}

// The number of processes still in the job; nothing when it cannot be read.
std::optional<DWORD> ActiveProcesses(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                   sizeof accounting, nullptr))
        return std::nullopt;
    return accounting.ActiveProcesses;
}

// Blocks until the job's last process has ended: told by the port's message, or, when none comes
// for a while, by the job's own count. Returns early only when neither can be read.
void WaitForEmptyJob(const StartedProcess &started) {
    for (;;) {
        DWORD message = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED overlapped = nullptr;
        if (GetQueuedCompletionStatus(started.port.Get(), &message, &key, &overlapped,
                                      kJobCountInterval)) {
            if (key == reinterpret_cast<ULONG_PTR>(started.job.Get()) &&
                message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
                return;
            continue;
        }
        const bool portBroken = overlapped == nullptr && GetLastError() != WAIT_TIMEOUT;
        const std::optional<DWORD> active = ActiveProcesses(started.job.Get());
        if (active && *active == 0)
            return;
        // While the port works, a count that cannot be read only means: wait on.
        if (portBroken) {
            if (!active)
                return;               // the wait for the process itself follows
            Sleep(kJobCountInterval); // the count alone, at the same pace
        }
    }
}

// A function of kernel32 that older Windows lack, looked up at run time.
template <typename Function> Function KernelFunction(const char *name) {
    return LibraryFunction<Function>(GetModuleHandleW(L"kernel32.dll"), name);
}

using FinalPathNameByHandle = DWORD(WINAPI *)(HANDLE file, LPWSTR path, DWORD size, DWORD flags);

} // namespace

std::wstring FinalPathInForm(HANDLE file, DWORD form) {
    const auto ask = KernelFunction<FinalPathNameByHandle>("GetFinalPathNameByHandleW");
    if (ask == nullptr)
        return {};
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ask(file, buffer.data(), static_cast<DWORD>(buffer.size()), form);
        if (length == 0 || length > kLongestPlatformPath)
            return {};
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(length + 1); // the size it needs
    }
}

LauncherFolder ReadLauncherFolder() {
    const std::wstring path = ReadModulePath();
    if (path.empty())
        return {{}, ErrorOr(GetLastError(), ERROR_BAD_PATHNAME)};
    const std::wstring folder = launcher::FolderOf(path);
    if (folder.empty()) // never a folder relative to the current directory
        return {{}, ERROR_BAD_PATHNAME};
    return {folder, 0};
}

std::wstring ReadRunningImagePath() {
    return ReadModulePath();
}

void RestrictLibrarySearch() {
    constexpr DWORD kSearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32
    using SetDefaultDirectories = BOOL(WINAPI *)(DWORD flags);
    using SetDirectory = BOOL(WINAPI *)(LPCWSTR folder);
    if (const auto setDefault = KernelFunction<SetDefaultDirectories>("SetDefaultDllDirectories"))
        if (setDefault(kSearchSystem32))
            return;
    // An empty folder takes the current directory out of the search.
    if (const auto setDirectory = KernelFunction<SetDirectory>("SetDllDirectoryW"))
        setDirectory(L"");
}

FreeLibraryOwner LoadSystemLibrary(const std::wstring &systemDirectory, const wchar_t *name) {
    return FreeLibraryOwner(LoadLibraryExW(launcher::JoinPath(systemDirectory, name).c_str(),
                                           nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

std::optional<std::wstring> ReadSystemDirectory() {
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    // Zero is a failure; a length of MAX_PATH or more is the size the directory would need.
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    return std::wstring(buffer, length);
}

std::wstring FullPath(const std::wstring &name) {
    std::wstring fullPath(MAX_PATH, L'\0');
    for (;;) {
        const DWORD capacity = static_cast<DWORD>(fullPath.size());
        const DWORD length = GetFullPathNameW(name.c_str(), capacity, &fullPath[0], nullptr);
        if (length == 0)
            return {};
        if (length < capacity) {
            fullPath.resize(length);
            return fullPath;
        }
        fullPath.resize(length); // the size it needs, terminator included
    }
}

bool PathExists(const std::wstring &path) {
    return ReadAttributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsExistingFile(const std::wstring &path) {
    // No access is asked for, only the entry's information; folders open only with backup
    // semantics, so that one is told apart by its attributes rather than by a refusal.
    const CloseHandleOwner file(
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information = {};
    return file.IsOpen() && GetFileInformationByHandle(file.Get(), &information) &&
           !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

OpenedFile OpenForReading(const std::wstring &path) {
    OpenedFile opened;
    // Sharing read access only: no one may write, replace, rename or delete the file while it is
    // open. Folders open only with backup semantics, so that one is told apart by what it is
    // rather than by a refusal.
    opened.handle =
        CloseHandleOwner(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!opened.handle.IsOpen() || !GetFileInformationByHandle(opened.handle.Get(), &information)) {
        const DWORD error = ErrorOr(GetLastError(), ERROR_GEN_FAILURE);
        opened.error = error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error;
    } else if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        opened.error = ERROR_FILE_NOT_FOUND;
    }
    if (opened.error != 0)
        opened.handle = CloseHandleOwner();
    opened.size = (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
    return opened;
}

DWORD ReadAt(HANDLE file, std::uint64_t offset, void *buffer, std::size_t size) {
    if (size > MAXDWORD)
        return ERROR_INVALID_PARAMETER;
    // The offset travels with the read, so no file position is shared between reads.
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    if (!::ReadFile(file, buffer, static_cast<DWORD>(size), &read, &at))
        return ErrorOr(GetLastError(), ERROR_READ_FAULT);
    return read == size ? 0 : ERROR_HANDLE_EOF;
}

DWORD ReadWhole(HANDLE file, std::uint64_t size,
                const std::function<void(const unsigned char *bytes, std::size_t size)> &consume) {
    std::vector<unsigned char> buffer(kWholeFileReadSize);
    for (std::uint64_t offset = 0; offset < size;) {
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - offset));
        if (const DWORD error = ReadAt(file, offset, buffer.data(), piece))
            return error;
        consume(buffer.data(), piece);
        offset += piece;
    }
    return 0;
}

std::optional<FileIdentity> IdentityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandle(file, &information))
        return std::nullopt;
    return FileIdentity{information.dwVolumeSerialNumber,
                        (std::uint64_t{information.nFileIndexHigh} << 32) |
                            information.nFileIndexLow};
}

std::optional<FileIdentity> IdentityOfEntry(const std::wstring &path) {
    const CloseHandleOwner entry(CreateFileW(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return entry.IsOpen() ? IdentityOf(entry.Get()) : std::nullopt;
}

bool CanTellFinalPaths() {
    return KernelFunction<FinalPathNameByHandle>("GetFinalPathNameByHandleW") != nullptr;
}

std::wstring FinalPathOf(HANDLE file) {
    constexpr DWORD kNameOpened = 0x8; // FILE_NAME_OPENED
    const std::wstring normalized = FinalPathInForm(file, 0);
    return normalized.empty() ? FinalPathInForm(file, kNameOpened) : normalized;
}

std::wstring FinalPathOfFolder(const std::wstring &path) {
    // Only the folder's name is asked for: it is opened for no more than its attributes, sharing
    // everything, so that it hinders no one.
    const CloseHandleOwner folder(CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return folder.IsOpen() ? FinalPathOf(folder.Get()) : std::wstring();
}

launcher::BinaryTypeAnswer BinaryType(const std::wstring &path) {
    DWORD type = 0;
    if (!GetBinaryTypeW(path.c_str(), &type))
        return {std::nullopt, GetLastError()};
    return {type, 0};
}

launcher::MachineAnswers AskMachineAnswers(bool is64BitWindows, std::uint16_t imageMachine) {
    launcher::MachineAnswers answers;
    answers.is64BitWindows = is64BitWindows;
    constexpr int kUserEnabled = 0x1; // MACHINE_ATTRIBUTES
    using MachineTypeAttributes = HRESULT(WINAPI *)(USHORT machine, int *attributes);
    using IsWow64Process2 =
        BOOL(WINAPI *)(HANDLE process, USHORT * processMachine, USHORT * nativeMachine);
    int attributes = 0;
    if (const auto ask = KernelFunction<MachineTypeAttributes>("GetMachineTypeAttributes"))
        if (SUCCEEDED(ask(imageMachine, &attributes)))
            answers.runsInUserMode = (attributes & kUserEnabled) != 0;
    USHORT processMachine = 0, nativeMachine = 0;
    if (const auto ask = KernelFunction<IsWow64Process2>("IsWow64Process2"))
        if (ask(GetCurrentProcess(), &processMachine, &nativeMachine))
            answers.nativeMachine = nativeMachine;
    return answers;
}

DWORD ReadAttributes(const std::wstring &path) {
    return GetFileAttributesW(path.c_str());
}

bool CopyFileIfAbsent(const std::wstring &source, const std::wstring &target) {
    return CopyFileW(source.c_str(), target.c_str(), TRUE) != FALSE;
}

void ResetAttributes(const std::wstring &path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

void ClearReadOnly(const std::wstring &path) {
    const DWORD attributes = ReadAttributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

bool DeleteFileAt(const std::wstring &path) {
    return DeleteFileW(path.c_str()) != FALSE;
}

bool RemoveFolder(const std::wstring &path) {
    return RemoveDirectoryW(path.c_str()) != FALSE;
}

StartedProcess StartProcess(const std::wstring &commandLine, WaitScope scope,
                            const std::wstring &application) {
    // The platform may write into the command line it is given, so it gets a private copy.
    std::vector<wchar_t> writableCommand(commandLine.begin(), commandLine.end());
    writableCommand.push_back(L'\0');

    const bool tree = scope == WaitScope::ProcessTree;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    StartedProcess started;
    if (!CreateProcessW(application.empty() ? nullptr : application.c_str(), writableCommand.data(),
                        nullptr, nullptr, FALSE, tree ? CREATE_SUSPENDED : 0, nullptr, nullptr,
                        &startup, &info)) {
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
        WaitForEmptyJob(started); // a job that cannot be read leaves the wait for the process
    DWORD exitCode = 0;
    if (WaitForSingleObject(started.process.Get(), INFINITE) == WAIT_FAILED ||
        !GetExitCodeProcess(started.process.Get(), &exitCode))
        return ErrorOr(GetLastError(), ERROR_GEN_FAILURE);
    return exitCode;
}

std::string ToCodePage(const std::wstring &text, UINT codePage) {
    const int wideLength = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(codePage, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), wideLength, &bytes[0], length, nullptr, nullptr);
    return bytes;
}

void WriteDiagnostic(const std::wstring &text) {
    const std::string bytes = ToCodePage(text, CP_ACP);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

} // namespace platform
