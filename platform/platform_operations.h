#pragma once

// The operating-system operations the launcher's logic needs, in their UTF-16 forms: every name
// and command line reaches the platform exactly as it is, whatever the ANSI code page can hold.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <windows.h>

#include "file_identity.h"
#include "handle_owner.h"
#include "launcher/program_image.h"

namespace platform {

// The running executable's folder (the module path less its last component; no trailing
// separator except at a drive root), or the error that kept it from being known.
struct LauncherFolder {
    std::wstring path; // empty when unknown
    DWORD error = 0;
};

// The module path is read whole, never cut at a buffer's end: a cut path names another folder.
LauncherFolder ReadLauncherFolder();
// The running executable's path as the platform recorded it when it was loaded (the module
// path), read whole; empty when it cannot be read.
std::wstring ReadRunningImagePath();

// Libraries are looked for in the system directory alone from now on, never in the program's own
// folder: the launcher runs elevated, often from a Downloads folder where anyone may have put a
// library named like a system one. Called first, before anything loads a library; a Windows
// without either setting keeps its own order.
void RestrictLibrarySearch();

// A function of a loaded library, of the type the caller names; null when the library lacks it.
template <typename Function> Function LibraryFunction(HMODULE library, const char *name) {
    // Through the generic function type, which any function pointer may be cast to and from.
    return library == nullptr ? nullptr
                              : reinterpret_cast<Function>(
                                    reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// A system library, by its full path in the system directory, with that directory searched first
// for what it needs in turn. Not open when it cannot be loaded.
FreeLibraryOwner LoadSystemLibrary(const std::wstring &systemDirectory, const wchar_t *name);

// The system directory, read into a buffer of the platform path limit. Nothing when the read
// failed or did not fit: a partial path must never be taken for the system's.
std::optional<std::wstring> ReadSystemDirectory();

// The full path of a name, of any length the platform allows; empty when it cannot be formed.
std::wstring FullPath(const std::wstring &name);

bool PathExists(const std::wstring &path);

// True when the path, links followed, opens as a file: a folder, or a link to nothing, is none.
bool IsExistingFile(const std::wstring &path);

// A file opened for reading its bytes, links followed. While it is open others may read it, but no
// one may write, replace, rename or delete it.
struct OpenedFile {
    CloseHandleOwner handle;
    std::uint64_t size = 0;
    // Set (never 0) when it could not be opened or sized: ERROR_FILE_NOT_FOUND when it is
    // missing or no file (a folder, a link to nothing), else the platform's error (32 while
    // another program writes it, 5 without rights).
    DWORD error = 0;
};
OpenedFile OpenForReading(const std::wstring &path);
// Reads exactly `size` bytes at `offset`: 0, or the error (ERROR_HANDLE_EOF when fewer were
// there).
DWORD ReadAt(HANDLE file, std::uint64_t offset, void *buffer, std::size_t size);
// Reads the file from its start to `size` in large pieces, handing each to `consume`: 0, or the
// read's error.
DWORD ReadWhole(HANDLE file, std::uint64_t size,
                const std::function<void(const unsigned char *bytes, std::size_t size)> &consume);

// The file the handle reaches; nothing when the platform cannot say.
std::optional<FileIdentity> IdentityOf(HANDLE file);
// The identity of the entry the path names (a link's own, never its target's), opened without
// asking for any access, so that a file others hold is reached too; nothing when it cannot be
// opened.
std::optional<FileIdentity> IdentityOfEntry(const std::wstring &path);

// The path the platform reaches an open file by, links and junctions along it resolved, in the
// "\\?\" form: the normalized name (long names), else the name it was opened by, which some file
// systems alone can give; empty where the platform cannot say (before Vista) or both calls fail.
std::wstring FinalPathOf(HANDLE file);
// False before Vista, which has no way to say the path an open file is reached by.
bool CanTellFinalPaths();
// The path the platform reaches a folder by, as FinalPathOf says it; empty when it cannot say.
std::wstring FinalPathOfFolder(const std::wstring &path);
// What GetFinalPathNameByHandleW gives for the form and volume flags (FILE_NAME_OPENED 0x8,
// VOLUME_NAME_NT 0x2); empty where it is missing or fails.
std::wstring FinalPathInForm(HANDLE file, DWORD flags);

// The platform's own answer to what kind of program a file is.
launcher::BinaryTypeAnswer BinaryType(const std::wstring &path);

// What this Windows says of the image's machine, where it has a way to say it; looked up at run
// time, as older Windows lack both ways.
launcher::MachineAnswers AskMachineAnswers(bool is64BitWindows, std::uint16_t imageMachine);

// The entry's own attributes (a link's, not its target's); INVALID_FILE_ATTRIBUTES when it
// cannot be read.
DWORD ReadAttributes(const std::wstring &path);

// Copies source onto target only when target does not exist yet. True when the copy was made.
bool CopyFileIfAbsent(const std::wstring &source, const std::wstring &target);

// Clears read-only, hidden and system attributes of that one entry.
void ResetAttributes(const std::wstring &path);
// Clears the read-only attribute alone, keeping the others.
void ClearReadOnly(const std::wstring &path);

bool DeleteFileAt(const std::wstring &path);
bool RemoveFolder(const std::wstring &path);

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

// Starts a command line: the program is the file `application` names when it names one, else the
// command line's first token. For a process tree the process starts suspended and is resumed
// once it is in a job of its own; when no job can be had, only the process itself will be
// waited for. The job only watches: it sets no limit, lets a process that asks to leave it go,
// and ends no process when the launcher ends.
StartedProcess StartProcess(const std::wstring &commandLine, WaitScope scope,
                            const std::wstring &application = {});

// Waits with no time limit (for the whole tree when one is watched) and returns the started
// process's own exit code.
DWORD WaitForExit(const StartedProcess &started);

// The text as bytes in the code page (CP_ACP, CP_UTF8); empty when it cannot be converted.
std::string ToCodePage(const std::wstring &text, UINT codePage);

// Writes diagnostic text to standard output as bytes in the ANSI code page, at once: a console,
// a pipe or a deployment tool's log shows each stage as it happens.
void WriteDiagnostic(const std::wstring &text);

} // namespace platform
