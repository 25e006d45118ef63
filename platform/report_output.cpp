#include "report_output.h"

#include <windows.h>

#include "platform_operations.h"

namespace platform {

void WriteReportLine(const std::wstring &line) {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    const std::wstring text = line + L"\n";
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(output, &mode)) {
        WriteConsoleW(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = ToCodePage(text, CP_UTF8);
    WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace platform
