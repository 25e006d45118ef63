#pragma once

// The running program's own image: what its mapped headers say of its signature, and whether a
// held file is the one it was loaded from.

#include <cstdint>
#include <optional>

#include <windows.h>

namespace platform {

// From the running image's headers, as the loader mapped them from its file: they do not change
// when the file is renamed or another put in its place.
struct RunningImageFields {
    std::uint32_t certificateTableOffset = 0, certificateTableSize = 0, checksum = 0;
};
RunningImageFields ReadRunningImageFields();

// True when the file the running image is mapped from has, now, the name the held file has: the
// held file cannot be renamed, so it is that file. False when the names differ; nothing where
// the platform cannot say (before Windows 7, or when a call fails).
std::optional<bool> IsRunningImageFile(HANDLE heldFile);

} // namespace platform
