#pragma once

// How the launcher joins names into paths and puts paths on command lines.

#include <string>

namespace launcher {

std::string JoinPath(const std::string &folder, const std::string &name);

// Every program path on a command line is quoted: unquoted, a path with blanks lets the platform
// start "C:\Program.exe" and the like first.
std::string Quoted(const std::string &text);

// True when the entry name, joined to its folder's path, can only name that entry. Names read
// through a lossy conversion can hold separators and other characters no file name holds, the
// path layer drops trailing dots and blanks, and device names name no file at all: joined, such
// names could reach past the folder or another entry.
bool IsExactlyJoinable(const std::string &name);

} // namespace launcher
