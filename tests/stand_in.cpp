// Stands in for the product installer (data.exe), the uninstaller (setup.exe) and the traps.
// It never writes to standard output, which a child may share with its parent; it appends
//   module <TAB> command line <TAB> response file <TAB> probe
// to the file named by STAND_IN_REPORT, where the response file (after -f1) and the probe (the
// path in STAND_IN_PROBE) read "absent", or "present:" and the file's first line. It exits with
// the code in STAND_IN_EXIT_<name>. With STAND_IN_HANDOVER_<name> set to milliseconds it hands
// over as installers do: it starts <name>-copy.exe beside itself, which waits that long before
// it reports, and exits at once.

#include <cstdio>
#include <cstdlib>
#include <string>

#include <windows.h>

#include "platform/handle_owner.h"
#include "test_files.h"

namespace {

// The path after -f1, which the launcher always puts in double quotes.
std::string ResponsePath(const std::string &commandLine) {
    const std::string::size_type start = commandLine.find("-f1\"");
    if (start == std::string::npos)
        return {};
    return commandLine.substr(start + 4, commandLine.find('"', start + 4) - start - 4);
}

std::string Describe(const std::string &path) {
    if (path.empty() || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return "absent";
    const std::string content = test_files::ReadFile(path);
    return "present:" + content.substr(0, content.find('\r'));
}

void HandOver(const std::string &module, const std::string &delay) {
    const std::string copy = module.substr(0, module.size() - 4) + "-copy.exe";
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
    char path[MAX_PATH];
    const std::string module(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    std::string name = module.substr(module.find_last_of('\\') + 1);
    name = name.substr(0, name.find_last_of('.'));
    const std::string delay = test_files::Environment("STAND_IN_DELAY");
    const std::string handover = test_files::Environment("STAND_IN_HANDOVER_" + name);
    if (!handover.empty())
        HandOver(module, handover);
    Sleep(std::strtoul(delay.c_str(), nullptr, 10));

    const std::string commandLine = GetCommandLineA();
    if (FILE *file = std::fopen(test_files::Environment("STAND_IN_REPORT").c_str(), "ab")) {
        std::fprintf(file, "%s\t%s\t%s\t%s\n", module.c_str(), commandLine.c_str(),
                     Describe(ResponsePath(commandLine)).c_str(),
                     Describe(test_files::Environment("STAND_IN_PROBE")).c_str());
        std::fclose(file);
    }
    return static_cast<int>(
        std::strtoul(test_files::Environment("STAND_IN_EXIT_" + name).c_str(), nullptr, 10));
}
