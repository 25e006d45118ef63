#pragma once

#include <optional>
#include <string>

#include <windows.h>

namespace launcher {

// True on 64-bit Windows: the system drive holds Windows\SysWOW64. Without a drive prefix the
// machine counts as 32-bit.
bool Is64BitWindows(const std::optional<std::wstring> &drivePrefix);

// The whole job for the argument count; returns the process exit code.
DWORD RunLauncher(int argumentCount);

} // namespace launcher
