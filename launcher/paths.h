#pragma once

// How the launcher joins names into paths and puts paths on command lines. Pure.

#include <string>

namespace launcher {

// The folder of a file given by its full path: the path less its last component, with no
// trailing separator except at a drive root ("C:\"). Empty when the path has no folder.
std::wstring FolderOf(const std::wstring &path);

// One separator between the two, also after a folder that ends in one (a drive root).
std::wstring JoinPath(const std::wstring &folder, const std::wstring &name);

// Every program path on a command line is quoted: unquoted, a path with blanks lets the platform
// start "C:\Program.exe" and the like first.
std::wstring Quoted(const std::wstring &text);

// The "\\?\" form of a full path ("\\?\UNC\" for a server's share). The platform takes it as
// written: no trailing dot or blank is dropped, no device name is recognised, no "." or ".." is
// resolved and the length may reach the platform's limit, so a joined name reaches exactly the
// entry listed. Only for file-system calls: command lines and output show the plain path.
std::wstring ExactPath(const std::wstring &fullPath);

// True when the name means a device to the platform's ordinary path rules, whatever follows it:
// CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, COM and LPT with a superscript 1, 2 or 3, CONIN$ and
// CONOUT$, in any case, alone or before a dot, also with blanks before the dot ("nul .txt").
bool IsDeviceName(const std::wstring &name);

// True when the ordinary path rules would read the name as another one: it ends in a dot or a
// blank (dropped), or it names a device.
bool MeansAnotherThingWithoutExactForm(const std::wstring &name);

// The plain form of a "\\?\" path ("\\?\C:\x" as "C:\x", "\\?\UNC\s\x" as "\\s\x")
// when the ordinary path rules read it as the same entry: shorter than the classic path limit,
// and no component that means another thing without the exact form. Otherwise, and for any
// other form, the path as it is.
std::wstring PlainFormOf(const std::wstring &exactPath);

} // namespace launcher
