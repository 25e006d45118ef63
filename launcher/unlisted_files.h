#pragma once

// For media-check: the files of a media folder that its SHA256SUMS does not list, which the
// launcher therefore never checks.

#include <set>
#include <string>
#include <vector>

#include <windows.h>

namespace launcher {

// A name as Windows compares names: upper-cased character by character by the file system's rules
// (Σ and ς alike, ß and SS apart), so two names that differ in case alone give one key.
std::wstring NameKey(const std::wstring &name);

struct UnlistedEntry {
    std::wstring relativePath; // with "\" between components
    DWORD listError = 0;       // set for a folder that could not be listed
};

// Every file below the folder whose relative path's key is not among `listedKeys`, sorted; a link
// (to a file or a folder) counts as a file and is never entered. launcher.exe, media-check.exe and
// SHA256SUMS at the top are the media's own. A folder that cannot be listed is one entry with its
// error.
std::vector<UnlistedEntry> FindUnlistedFiles(const std::wstring &folder,
                                             const std::set<std::wstring> &listedKeys);

} // namespace launcher
