#pragma once

#include <cstdint>

#include <windows.h>

namespace platform {

// Which file a handle reaches, whatever name led to it: the volume's serial number and the file's
// index on that volume. Two names with one identity are one file (a short name, a hard link); two
// files whose names differ in case alone, in a case-sensitive folder, have two identities.
struct FileIdentity {
    DWORD volumeSerial = 0;
    std::uint64_t fileIndex = 0;

    bool operator<(const FileIdentity &other) const {
        return volumeSerial != other.volumeSerial ? volumeSerial < other.volumeSerial
                                                  : fileIndex < other.fileIndex;
    }
    bool operator==(const FileIdentity &other) const {
        return volumeSerial == other.volumeSerial && fileIndex == other.fileIndex;
    }
};

} // namespace platform
