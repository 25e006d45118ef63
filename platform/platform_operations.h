#pragma once

// The operating-system operations the launcher's logic needs. Paths and command lines are byte
// strings in the system's ANSI code page; only the launcher's own path is read in UTF-16, so that
// it is known exactly or not at all.

#include <optional>
#include <string>

#include <windows.h>

#include "handle_owner.h"

namespace platform {

// The running executable's folder (the module path less its last component; no trailing
// separator except at a drive root), or the error that kept it from being known exactly.
struct LauncherFolder {
    std::string path; // empty when unknown
    DWORD error = 0;
};

// The ANSI code page cannot name the folder exactly (it would need best-fit or default
// characters) or the module path cannot be read whole: then `error` is set, never a folder that
// merely looks like it. A look-alike "＼" or "＂" read as "\" or "\"" names another folder.
LauncherFolder ReadLauncherFolder();

// The text in the ANSI code page when every character converts exactly and back; else nothing.
std::optional<std::string> ExactAnsiText(const std::wstring &text);

// True for a lead byte of a double-byte character in the ANSI code page.
bool IsLeadByte(unsigned char byte);

// The system directory, read into a buffer of the platform path limit. Nothing when the read
// failed or did not fit: a partial path must never be taken for the system's.
std::optional<std::string> ReadSystemDirectory();

bool PathExists(const std::string &path);

// The entry's own attributes (a link's, not its target's); INVALID_FILE_ATTRIBUTES when it
// cannot be read.
DWORD ReadAttributes(const std::string &path);

// Copies source onto target only when target does not exist yet. True when the copy was made.
bool CopyFileIfAbsent(const std::string &source, const std::string &target);

// Clears read-only, hidden and system attributes of that one entry.
void ResetAttributes(const std::string &path);
// Clears the read-only attribute alone, keeping the others.
void ClearReadOnly(const std::string &path);

bool DeleteFileAt(const std::string &path);
bool RemoveFolder(const std::string &path);

// What a wait covers: the started process alone, or it and every process it starts in turn.
enum class WaitScope { Process, ProcessTree };

// A started process, with the job and completion port that watch its tree when asked for.
struct StartedProcess {
    CloseHandleOwner process;
    CloseHandleOwner job;
    CloseHandleOwner port;
    DWORD startError = 0; // set (never 0) when the process could not be started

    bool Started() const { return process.IsOpen(); }
};

// Starts a command line with no application name. For a process tree the process starts
// suspended and is resumed once it is in a job of its own; when no job can be had, only the
// process itself will be waited for.
StartedProcess StartProcess(const std::string &commandLine, WaitScope scope);

// Waits with no time limit (for the whole tree when one is watched) and returns the started
// process's own exit code.
DWORD WaitForExit(const StartedProcess &started);

// Writes diagnostic text to the runtime's buffered standard output, exactly as given.
void WriteDiagnostic(const std::string &text);

} // namespace platform
