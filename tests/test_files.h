#pragma once

// File and process helpers for tests that run under Wine against real folders and programs.

#include <string>
#include <vector>

#include <windows.h>

namespace test_files {

// The folder of the running test program; the launcher and the stand-in are built beside it.
std::string OwnFolder();

std::string Environment(const std::string &name);
std::string CurrentDirectory();

void MakeFolders(const std::string &path);
void WriteFile(const std::string &path, const std::string &content);
std::string ReadFile(const std::string &path);
void CopyTo(const std::string &source, const std::string &target);
bool Exists(const std::string &path);
void MakeReadOnly(const std::string &path);

// Removes a tree for test set-up, clearing read-only files and never following links.
void RemoveAll(const std::string &path);

// Makes `path` a new, empty folder and returns it.
std::string FreshFolder(const std::string &path);

// Makes `link` a Unix symbolic link to `target`; Wine shows it as a directory link.
void MakeUnixLink(const std::string &target, const std::string &link);

// Creates a file through the wide, unlimited-length path form, for names and paths that the
// ANSI calls refuse.
bool MakeFileWithLongPath(const std::string &path);
bool ExistsWithLongPath(const std::string &path);

struct ProcessOutcome {
    bool started = false;
    DWORD exitCode = 0;
    std::string standardOutput;
};

// Runs a command line in the given current directory with standard output sent to a file, waits
// and returns the full exit code and every byte written to standard output.
ProcessOutcome RunProcess(const std::string &commandLine, const std::string &currentDirectory,
                          const std::string &outputFile);

std::vector<std::string> SplitLines(const std::string &text);
std::vector<std::string> SplitFields(const std::string &line, char separator);

} // namespace test_files
