#pragma once

#include <string>

#include <windows.h>

namespace launcher {

// True for a junction, directory symbolic link, mount point or other link, given its own
// attributes.
bool IsLinkAttributes(DWORD attributes);

// Removes a folder with everything below it, deleting what it can and skipping what it cannot.
// Links (junctions, directory symbolic links, mount points) are removed as themselves and never
// followed, the folder itself included. An entry whose name cannot be joined to its folder's path
// exactly (see IsExactlyJoinable) is left in place. Returns 1 when the folder itself was
// removed, else 0.
int DeleteTree(const std::string &folder);

} // namespace launcher
