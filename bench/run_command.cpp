// Runs one command line under Wine the way a deployment tool would and reports what the shell
// cannot see: the full 32-bit exit code, the bytes written to standard output and the time taken.
//
//   run_command.exe OUTPUT-FILE COMMAND-LINE...
//
// The arguments after OUTPUT-FILE, joined by blanks, are the command line to run; from a Unix
// shell, pass it as one argument and Wine hands it over unchanged. Arguments are read in UTF-16,
// so any name reaches the program. The started program's
// standard output goes to OUTPUT-FILE. run_command then prints
//   exit code: N
//   elapsed ms: T

#include <cstdio>
#include <string>

#include "runner.h"

int wmain(int argc, wchar_t **argv) {
    if (argc < 3) {
        std::fputs("usage: run_command.exe OUTPUT-FILE COMMAND-LINE...\n", stderr);
        return 2;
    }

    std::string commandLine = runner::Utf8(argv[2]);
    for (int i = 3; i < argc; ++i)
        commandLine += " " + runner::Utf8(argv[i]);

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    wchar_t currentDirectory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, currentDirectory);
    const runner::ProcessOutcome outcome =
        runner::RunProcess(commandLine, runner::Utf8(currentDirectory), runner::Utf8(argv[1]));
    QueryPerformanceCounter(&end);
    std::printf("exit code: %lu\nelapsed ms: %.1f\n", outcome.exitCode,
                1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                    static_cast<double>(frequency.QuadPart));
    return 0;
}
