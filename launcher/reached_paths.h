#pragma once

// The paths the held files are reached by, decided while the media is checked. The hold pins
// files, not the names that lead to them: a link below the launcher's folder could be pointed at
// other media once the checks are done, so a listed file is only taken where its listed name
// reaches it without one.

#include <string>

#include <windows.h>

#include "error_codes.h"

namespace launcher {

// True when `reached`, the path the platform reaches a held file by, is `folderReached` (the
// launcher folder's own resolved path) joined with the listed `relativePath`, component by
// component as Windows compares names: no link, junction or mount point lies on the way below
// the folder. A name listed in its short (8.3) form differs from the long form the platform
// reports, and is refused too. Either path empty: false.
bool ReachedByListedName(const std::wstring &reached, const std::wstring &folderReached,
                         const std::wstring &relativePath);

// A listed file, held open, is reached by its listed name (else ERROR_INVALID_DATA). Where the
// platform has no way to say (before Vista) the files are taken as they are; where it has one but
// cannot say for this file or for the folder, ERROR_CANT_RESOLVE_FILENAME.
ErrorCode CheckReachedByName(HANDLE held, const std::wstring &folderReached,
                             const std::wstring &relativePath);

struct StartPath {
    ErrorCode error = kNoError;
    std::wstring path; // the application data.exe is started by; set when there is no error
};

// The path the held data.exe is started by: the one the platform reaches it by (its plain form
// where that names the same file), wherever links along the launcher's folder point later.
// Where the platform cannot say, the command line's own path, once its entry is known to be the
// held file (by identity: volume serial and file index); else ERROR_CANT_RESOLVE_FILENAME. Never
// a path not known to reach the file that was checked.
StartPath DecideStartPath(const std::wstring &installerPath, HANDLE held);

} // namespace launcher
