#pragma once

// File helpers for tests that run under Wine against real folders and programs. Paths are UTF-8
// and absolute, reached through the "\\?\" form, so names the ANSI calls cannot reach
// (look-alike characters, trailing dots, device names, long paths) are made and read exactly.

#include <vector>

#include "bench/runner.h"

namespace test_files {

using namespace runner;

// The folder of the running test program; the launcher and the stand-in are built beside it.
std::string OwnFolder();
std::string Environment(const std::string &name);

void MakeFolders(const std::string &path);
// Makes the folders above the file when they are missing.
void WriteFile(const std::string &path, const std::string &content);
void CopyTo(const std::string &source, const std::string &target);
DWORD Attributes(const std::string &path);
bool Exists(const std::string &path);
void SetAttributes(const std::string &path, DWORD attributes);

// Every entry below the folder, sorted, with each file's content: equal listings, equal trees.
std::string Listing(const std::string &folder);

// Removes a tree for test set-up, read-only entries included, never following links.
void RemoveAll(const std::string &path);

// Makes `link` a Unix symbolic link to `target`; Wine shows it as a directory link.
void MakeUnixLink(const std::string &target, const std::string &link);
// Points that link at another target, and waits until Windows reaches the target through it.
void RepointUnixLink(const std::string &target, const std::string &link);

std::vector<std::string> SplitFields(const std::string &text, char separator);

} // namespace test_files
