#pragma once

// The files of a media folder that its SHA256SUMS does not list, which the launcher therefore
// never checks, and the links below it, which it never follows.

#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include "platform/file_identity.h"

namespace launcher {

// A name as Windows compares names: upper-cased character by character by the file system's rules
// (Σ and ς alike, ß and SS apart), so two names that differ in case alone give one key.
std::wstring NameKey(const std::wstring &name);

enum class UnlistedKind {
    File,       // a file that is none of the listed ones
    Link,       // a link, junction or mount point (to a file or a folder): never entered
    Unreadable, // a folder that cannot be listed, or an entry whose identity cannot be read
};

struct UnlistedEntry {
    std::wstring relativePath; // with "\" between components; empty for the folder itself
    UnlistedKind kind = UnlistedKind::File;
    DWORD error = 0; // for an unreadable one
};

// Every entry below the folder that is no listed file, sorted. Whether a file is listed is decided
// by its identity, not its name: a file listed by its short name is listed, and a case twin of a
// listed file in a case-sensitive folder is not. launcher.exe, media-check.exe, SHA256SUMS and
// SHA256SUMS.p7s at the top are the media's own.
std::vector<UnlistedEntry> FindUnlistedFiles(const std::wstring &folder,
                                             const std::set<platform::FileIdentity> &listed);

} // namespace launcher
