// Planted beside the launcher under the name of a system library. Whatever process loads it
// appends "<process module> <TAB> <library file>" and a line feed to C:\planted-libraries.txt.

#include <windows.h>

#include <string>

namespace {

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH];
    return std::wstring(path, GetModuleFileNameW(module, path, MAX_PATH));
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE library, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    const std::wstring line = ModulePath(nullptr) + L"\t" + ModulePath(library) + L"\n";
    char bytes[2 * MAX_PATH * 4];
    const int length = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                           bytes, sizeof bytes, nullptr, nullptr);
    const HANDLE report = CreateFileW(L"C:\\planted-libraries.txt", FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(report, bytes, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(report);
    return TRUE;
}
