// Stands in for the product installer (data.exe), the uninstaller (setup.exe) and the trap
// programs that a wrong path would start. It never writes to standard output (a child's standard
// output may be shared with its parent); it appends one line to the report file named by
// STAND_IN_REPORT:
//   module <TAB> command line <TAB> response file <TAB> probe
// where the response file (named after -f1) and the probe (the path in STAND_IN_PROBE) read
// "absent", or "present:" and the file's first line; "-" where none is named.
// It exits with the code in STAND_IN_EXIT_<program name without extension>, or 0. With
// STAND_IN_HANDOVER_<program name> set to a number of milliseconds it hands over, as installers
// do: it starts a copy of itself (<name>-copy.exe in the temporary folder) that waits that long
// before it reports, and exits at once.

#include <cstdio>
#include <cstdlib>
#include <string>

#include <windows.h>

#include "platform/handle_owner.h"
#include "test_files.h"

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
    const std::string content = test_files::ReadFile(path);
    return "present:" + content.substr(0, content.find_first_of("\r\n"));
}

void HandOver(const std::string &module, const std::string &name, const std::string &delay) {
    char temporary[MAX_PATH];
    GetTempPathA(MAX_PATH, temporary);
    const std::string copy = temporary + name + "-copy.exe";
    CopyFileA(module.c_str(), copy.c_str(), FALSE);
    SetEnvironmentVariableA("STAND_IN_DELAY", delay.c_str());
    std::string commandLine = GetCommandLineA();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    CreateProcessA(copy.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                   &startup, &process);
    const platform::CloseHandleOwner started(process.hProcess), thread(process.hThread);
}

} // namespace

int main() {
    const std::string module = ModulePath();
    std::string name = module.substr(module.find_last_of('\\') + 1);
    name = name.substr(0, name.find_last_of('.'));
    const std::string delay = Environment("STAND_IN_DELAY");
    const std::string handover = Environment("STAND_IN_HANDOVER_" + name);
    if (!handover.empty())
        HandOver(module, name, handover);
    Sleep(std::strtoul(delay.c_str(), nullptr, 10));

    const std::string commandLine = GetCommandLineA();
    if (FILE *file = std::fopen(Environment("STAND_IN_REPORT").c_str(), "ab")) {
        std::fprintf(file, "%s\t%s\t%s\t%s\n", module.c_str(), commandLine.c_str(),
                     Describe(ResponsePath(commandLine)).c_str(),
                     Describe(Environment("STAND_IN_PROBE")).c_str());
        std::fclose(file);
    }
    return static_cast<int>(
        std::strtoul(Environment("STAND_IN_EXIT_" + name).c_str(), nullptr, 10));
}
