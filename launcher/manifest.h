#pragma once

// The checksum manifest that may ship beside the launcher (SHA256SUMS): the SHA-256 of files of
// the media, in the form sha256sum writes and PowerShell's Get-FileHash gives. Pure: the rules
// build without the platform's headers.
//
// A line is <64 hex digits, either case><blank><blank or *><name>. Lines end in LF or CR LF; a
// UTF-8 byte order mark may start the manifest; empty lines are skipped. A name is a path
// relative to the launcher's folder, in UTF-8, with "/" or "\" between its components and an
// optional leading "./". Anything else is refused: a line of another form, an escaped name (a
// line starting with "\"), a name that is absolute, names a drive, a server or an alternate data
// stream (":"), holds an empty, "." or ".." component, a component that is a device name
// (AUX, con.txt, ...) or ends in a dot or a blank, or a character Windows does not allow in a
// name, or is not UTF-8; a manifest over 1 MiB, one that lists itself and one that does not list
// data.exe.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "error_codes.h"

namespace launcher {

constexpr std::size_t kLargestManifest = 1024 * 1024;
constexpr wchar_t kManifestName[] = L"SHA256SUMS";

using Sha256Digest = std::array<std::uint8_t, 32>;

struct ManifestEntry {
    Sha256Digest digest{};
    std::string name;                     // UTF-8, components joined by "/", no leading "./"
    std::vector<std::wstring> components; // UTF-16, each a plain name
};

struct Manifest {
    ErrorCode error = kNoError;  // ERROR_INVALID_DATA when refused
    std::size_t refusedLine = 0; // 1-based line that was refused; 0 for the whole manifest
    std::vector<ManifestEntry> entries;
};

Manifest ParseManifest(const std::string &bytes);

// Why one component of a name (between separators) cannot name a file of the media, or kNone.
enum class NameFault {
    kNone,
    kEmpty,              // empty, "." or ".."
    kNotUtf8,            // not strict UTF-8
    kForbiddenCharacter, // a control character, a separator or one of < > : " | ? *
    kDeviceName,         // AUX, con.txt, COM1, ...: the ordinary path rules read a device
    kTrailingDotOrBlank, // the ordinary path rules drop it, and so read another name
};

// The rule the manifest's names are held to, one component at a time; `wide` gets the component
// in UTF-16 when it is accepted. scripts/package holds the names it ships to it too.
NameFault CheckNameComponent(const std::string &component, std::wstring &wide);

// True when the entry names data.exe beside the launcher (any case).
bool NamesInstaller(const ManifestEntry &entry);

// The entry's path below the launcher's folder, components joined by "\".
std::wstring RelativePath(const ManifestEntry &entry);

} // namespace launcher
