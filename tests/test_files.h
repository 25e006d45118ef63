#pragma once

// File and process helpers for tests that run under Wine against real folders and programs.
// Paths are UTF-8 and absolute. Files and folders are reached through the wide, unlimited-length
// path form, so names the ANSI calls cannot reach (look-alike characters, trailing dots, device
// names, paths past the platform limit) are made and read exactly.

#include <string>
#include <vector>

#include <windows.h>

namespace test_files {

// The folder of the running test program; the launcher and the stand-in are built beside it.
std::string OwnFolder();
std::wstring Wide(const std::string &utf8);
std::string Utf8(const std::wstring &wide);
std::string Environment(const std::string &name);

void MakeFolders(const std::string &path);
// Makes the folders above the file when they are missing.
void WriteFile(const std::string &path, const std::string &content);
std::string ReadFile(const std::string &path);
void CopyTo(const std::string &source, const std::string &target);
DWORD Attributes(const std::string &path);
bool Exists(const std::string &path);
void SetAttributes(const std::string &path, DWORD attributes);

// Removes a tree for test set-up, read-only entries included, never following links.
void RemoveAll(const std::string &path);

// Makes `link` a Unix symbolic link to `target`; Wine shows it as a directory link.
void MakeUnixLink(const std::string &target, const std::string &link);

struct ProcessOutcome {
    DWORD exitCode = 0;
    std::string standardOutput;
};

// Starts a command line in the given current directory with standard output sent to a file that
// others may read and write (a program left running keeps it open); returns the process handle.
HANDLE StartProcess(const std::string &commandLine, const std::string &currentDirectory,
                    const std::string &outputFile);
// Starts, waits, returns the exit code and every byte written.
ProcessOutcome RunProcess(const std::string &commandLine, const std::string &currentDirectory,
                          const std::string &outputFile);

std::vector<std::string> SplitFields(const std::string &text, char separator);

} // namespace test_files
