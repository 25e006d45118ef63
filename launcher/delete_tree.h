#pragma once

#include <string>

#include <windows.h>

namespace launcher {

// True for a junction, directory symbolic link, mount point or other link, given its own
// attributes.
bool IsLinkAttributes(DWORD attributes);

// Removes a folder, given by its "\\?\" path, with everything below it, deleting what it can and
// skipping what it cannot. Every entry is reached by the exact name it was listed under, so no
// name and no length leads anywhere else. Links (junctions, directory symbolic links, mount
// points) are removed as themselves and never followed, the folder itself included. Returns 1
// when the folder itself was removed, else 0.
int DeleteTree(const std::wstring &exactFolder);

} // namespace launcher
