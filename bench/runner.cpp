#include "runner.h"

#include <stdexcept>

#include "platform/handle_owner.h"

using platform::CloseHandleOwner;

namespace runner {

std::wstring Wide(const std::string &utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
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

std::string Utf8(const std::wstring &wide) {
    std::string utf8(wide.size() * 3, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                    &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr));
    return utf8;
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

} // namespace runner
