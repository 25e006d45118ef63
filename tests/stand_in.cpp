// Stands in for the product installer (data.exe), the uninstaller (setup.exe) and the trap
// programs that a wrong path would start. It never writes to standard output (a child's standard
// output may be shared with its parent); it appends one line to the report file named by
// STAND_IN_REPORT:
//   module <TAB> command line <TAB> current directory <TAB> response file <TAB> probe
// where the response file (named after -f1) reads "absent" or "present:" and its first line, and
// the probe (the path in STAND_IN_PROBE) reads "absent" or "present:"; "-" where none is named.
// It exits with the code in STAND_IN_EXIT_<program name without extension>, or 0.

#include <cstdio>
#include <cstdlib>
#include <string>

#include <windows.h>

#include "test_files.h"

using test_files::CurrentDirectory;
using test_files::Environment;

namespace {

std::string ModulePath() {
    char path[4096];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length);
}

// The path after -f1, which the launcher always puts in double quotes.
std::string ResponsePath(const std::string &commandLine) {
    const std::string::size_type switchAt = commandLine.find("-f1\"");
    if (switchAt == std::string::npos)
        return {};
    const std::string::size_type start = switchAt + 4;
    const std::string::size_type end = commandLine.find('"', start);
    return end == std::string::npos ? std::string() : commandLine.substr(start, end - start);
}

std::string Describe(const std::string &path) {
    if (path.empty())
        return "-";
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return "absent";
    std::string firstLine;
    if (FILE *file = std::fopen(path.c_str(), "rb")) {
        char line[256] = {};
        if (std::fgets(line, sizeof line, file))
            firstLine = line;
        std::fclose(file);
    }
    return "present:" + firstLine.substr(0, firstLine.find_first_of("\r\n"));
}

std::string ProgramName(const std::string &modulePath) {
    std::string name = modulePath.substr(modulePath.find_last_of('\\') + 1);
    return name.substr(0, name.find_last_of('.'));
}

} // namespace

int main() {
    const std::string module = ModulePath();
    const std::string commandLine = GetCommandLineA();
    const std::string report = Environment("STAND_IN_REPORT");
    if (!report.empty()) {
        if (FILE *file = std::fopen(report.c_str(), "ab")) {
            std::fprintf(file, "%s\t%s\t%s\t%s\t%s\n", module.c_str(), commandLine.c_str(),
                         CurrentDirectory().c_str(), Describe(ResponsePath(commandLine)).c_str(),
                         Describe(Environment("STAND_IN_PROBE")).c_str());
            std::fclose(file);
        }
    }
    const std::string exitCode = Environment("STAND_IN_EXIT_" + ProgramName(module));
    return exitCode.empty() ? 0 : static_cast<int>(std::strtoul(exitCode.c_str(), nullptr, 10));
}
