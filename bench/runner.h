#pragma once

// Runs a command line as a deployment tool would and reads what it wrote: its full 32-bit exit
// code and the bytes of its standard output. Paths and command lines are UTF-8 and absolute and
// reach Windows in UTF-16, so any name works. Used by run_command (the demo and the benchmark)
// and by the end-to-end tests.

#include <string>

#include <windows.h>

namespace runner {

std::wstring Wide(const std::string &utf8);
std::string Utf8(const std::wstring &wide);
// The "\\?\" form of an absolute path: Windows takes it as written.
std::wstring Exact(const std::string &path);
// Throws std::runtime_error naming what failed and the platform's last error.
void Require(bool condition, const std::string &what);

// The whole file, read through its "\\?\" path; empty when it cannot be opened.
std::string ReadFile(const std::string &path);

struct ProcessOutcome {
    DWORD exitCode = 0;
    std::string standardOutput;
};

// Starts a command line in the given current directory with standard output sent to a file that
// others may read and write (a program left running keeps it open); returns the process handle.
// Throws std::runtime_error when the file cannot be made or the program cannot be started.
HANDLE StartProcess(const std::string &commandLine, const std::string &currentDirectory,
                    const std::string &outputFile);
// Starts, waits, returns the exit code and every byte written.
ProcessOutcome RunProcess(const std::string &commandLine, const std::string &currentDirectory,
                          const std::string &outputFile);

} // namespace runner
