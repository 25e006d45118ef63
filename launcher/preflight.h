#pragma once

#include <optional>
#include <string>

#include <windows.h>

#include "commands.h"

namespace launcher {

// Everything the new installation needs, checked before anything changes: an earlier
// installation removed without a new one to follow leaves no product at all. In order, the
// first failure deciding:
// - data.exe is beside the launcher as a file (else ERROR_FILE_NOT_FOUND);
// - it is a program this Windows can start, and whole (see ProgramError);
// - when it is signed, its bytes match its signature (else ERROR_INVALID_IMAGE_HASH); the
//   signature is checked only where the system directory is known;
// - in silent mode, setup.iss is beside the launcher as a file (else ERROR_FILE_NOT_FOUND).
// Returns 0 when all hold, else the error; the error reading data.exe when it cannot be read.
DWORD CheckBeforeChanges(LaunchMode mode, bool is64BitWindows, const std::wstring &launcherFolder,
                         const std::optional<std::wstring> &systemDirectory);

} // namespace launcher
