#pragma once

// The operating-system operations the launcher's logic needs. All are the ANSI forms: every path
// and command line is a byte string in the system's ANSI code page.

#include <optional>
#include <string>

#include <windows.h>

namespace platform {

// Full path of the running executable, read whole. Empty when it cannot be read whole: a truncated
// module path names another folder, and the launcher must never start programs from there.
std::string ReadModulePath();

// The running executable's folder (the module path less its last component); no trailing
// separator except at a drive root. Empty when the module path cannot be read whole.
std::string ReadLauncherFolder();

// The system directory, read into a buffer of the platform path limit. Nothing when the read
// failed or did not fit: a partial path must never be taken for the system's.
std::optional<std::string> ReadSystemDirectory();

bool PathExists(const std::string &path);

// The entry's own attributes (a link's, not its target's); INVALID_FILE_ATTRIBUTES when it
// cannot be read.
DWORD ReadAttributes(const std::string &path);

// Copies source onto target only when target does not exist yet; the result is not needed.
void CopyFileIfAbsent(const std::string &source, const std::string &target);

// Clears read-only, hidden and system attributes of that one entry.
void ResetAttributes(const std::string &path);

bool DeleteFileAt(const std::string &path);
bool RemoveFolder(const std::string &path);

// What a run-and-wait came to: the program's own exit code once it ran, else the platform's
// error for the failed start.
struct RunResult {
    bool started = false;
    DWORD exitCode = 0;
    DWORD startError = 0;
};

// Starts a command line with no application name, writes `lineOnceStarted` (when given) between
// the start and the wait, waits with no time limit and closes the process's handles.
RunResult RunAndWait(const std::string &commandLine, const char *lineOnceStarted = nullptr);

// Writes diagnostic text to the runtime's buffered standard output, exactly as given.
void WriteDiagnostic(const std::string &text);

} // namespace platform
