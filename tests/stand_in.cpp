// Stands in for the product installer (data.exe), the uninstaller (setup.exe) and the traps.
// It never writes to standard output, which a child may share with its parent; it appends
//   module <TAB> command line <TAB> response file <TAB> probe <TAB> output <RS>
// to the file STAND_IN_REPORT names, in UTF-8 from the UTF-16 forms. The response file (after
// -f1) and the probe (the path in STAND_IN_PROBE) read "absent", or "present:" and the file's
// first line; the output is what the launcher's output file (STAND_IN_OUTPUT) holds once it holds
// STAND_IN_AWAIT, or after 5 s. It exits with STAND_IN_EXIT_<name>. STAND_IN_HANDOVER_<name> (in
// ms) makes it hand over as installers do: it starts <name>-copy.exe, a copy of itself in the
// temporary folder that waits that long before it reports, and exits at once;
// STAND_IN_BREAKAWAY_<name> starts a copy that asks to leave its parent's job and reports only
// once data.exe has reported (or after 5 s), so the order of reports tells whether it was waited
// for. STAND_IN_TAMPER_<name> names files ("|" between them) it then tries to write, overwrite,
// replace, rename away and delete; it writes a line a file, its path and each attempt's error
// (0: done), to the report file's name with ".tamper" added. STAND_IN_RELINK_<name> ("LINK|TARGET")
// points a link at other media, as a junction can be. STAND_IN_LOAD_<name> names a library it loads
// by its bare name, as a program that trusts the search order would. STAND_IN_EXCLUSIVE_<name>
// names a file it opens for reading sharing nothing, as some file streams do by default; it then
// exits with that open's error (0: opened) instead of STAND_IN_EXIT_<name>.

#include <cstdio>
#include <cstdlib>

#include "platform/handle_owner.h"
#include "test_files.h"

using namespace test_files;

namespace {

// The path after -f1, which the launcher always puts in double quotes.
std::string ResponsePath(const std::string &commandLine) {
    const std::string::size_type start = commandLine.find("-f1\"");
    if (start == std::string::npos)
        return {};
    return commandLine.substr(start + 4, commandLine.find('"', start + 4) - start - 4);
}

std::string Describe(const std::string &path) {
    if (path.empty() || !Exists(path))
        return "absent";
    const std::string content = ReadFile(path);
    return "present:" + content.substr(0, content.find('\r'));
}

// The file's content once it holds the text, or after 5 s.
std::string ContentOnceItHolds(const std::string &file, const std::string &text) {
    std::string content = ReadFile(file);
    for (int wait = 0; wait < 500 && content.find(text) == std::string::npos; ++wait) {
        Sleep(10);
        content = ReadFile(file);
    }
    return content;
}

// Starts the copy with one more setting in its environment.
void HandOver(const std::wstring &module, const std::string &name, const char *setting,
              const std::string &value, DWORD flags) {
    wchar_t temporary[MAX_PATH];
    const std::wstring copy =
        std::wstring(temporary, GetTempPathW(MAX_PATH, temporary)) + Wide(name) + L"-copy.exe";
    CopyFileW(module.c_str(), copy.c_str(), FALSE);
    SetEnvironmentVariableA(setting, value.c_str());
    std::wstring commandLine = GetCommandLineW();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    CreateProcessW(copy.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                   &startup, &process);
    const platform::CloseHandleOwner started(process.hProcess), thread(process.hThread);
}

// Every way another program could change a file, as a media copy still in progress or a program
// that swaps it would: write it, copy over it, replace it, rename it away and put another in its
// place, delete it. The errors, space-separated (0: done).
std::string Tamper(const std::string &path) {
    const std::wstring file = Exact(path), replacement = Exact(path + ".replacement");
    WriteFile(path + ".replacement", "replaced");
    const platform::CloseHandleOwner written(CreateFileW(file.c_str(), GENERIC_WRITE,
                                                         FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                         nullptr, OPEN_EXISTING, 0, nullptr));
    std::string errors = std::to_string(written.IsOpen() ? 0 : GetLastError());
    for (const bool done :
         {CopyFileW(replacement.c_str(), file.c_str(), FALSE) != FALSE,
          MoveFileExW(replacement.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE,
          MoveFileExW(file.c_str(), Exact(path + ".moved").c_str(), 0) != FALSE &&
              CopyFileW(replacement.c_str(), file.c_str(), TRUE) != FALSE,
          DeleteFileW(file.c_str()) != FALSE})
        errors += " " + std::to_string(done ? 0 : GetLastError());
    DeleteFileW(replacement.c_str());
    return errors;
}

} // namespace

int main() {
    wchar_t path[32768];
    const std::wstring module(path, GetModuleFileNameW(nullptr, path, 32768));
    std::string name = Utf8(module.substr(module.find_last_of(L'\\') + 1));
    name = name.substr(0, name.find_last_of('.'));
    const std::string outputFile = Environment("STAND_IN_OUTPUT");
    const std::string output =
        outputFile.empty() ? "" : ContentOnceItHolds(outputFile, Environment("STAND_IN_AWAIT"));
    // Read before a hand-over sets them for the copy.
    const std::string delay = Environment("STAND_IN_DELAY"), after = Environment("STAND_IN_AFTER");
    if (!Environment("STAND_IN_HANDOVER_" + name).empty())
        HandOver(module, name, "STAND_IN_DELAY", Environment("STAND_IN_HANDOVER_" + name), 0);
    if (!Environment("STAND_IN_BREAKAWAY_" + name).empty())
        HandOver(module, name, "STAND_IN_AFTER", "data.exe", CREATE_BREAKAWAY_FROM_JOB);
    const std::string library = Environment("STAND_IN_LOAD_" + name);
    if (!library.empty())
        LoadLibraryW(Wide(library).c_str());
    std::string tamperings;
    for (const std::string &tampered : SplitFields(Environment("STAND_IN_TAMPER_" + name), '|'))
        tamperings += tampered + " " + Tamper(tampered) + "\n";
    if (!tamperings.empty())
        WriteFile(Environment("STAND_IN_REPORT") + ".tamper", tamperings);
    const std::vector<std::string> relink =
        SplitFields(Environment("STAND_IN_RELINK_" + name), '|');
    if (relink.size() == 2)
        RepointUnixLink(relink[1], relink[0]);
    Sleep(std::strtoul(delay.c_str(), nullptr, 10));
    if (!after.empty())
        ContentOnceItHolds(Environment("STAND_IN_REPORT"), after);

    const std::string exclusive = Environment("STAND_IN_EXCLUSIVE_" + name);
    DWORD exclusiveError = 0;
    if (!exclusive.empty()) {
        const platform::CloseHandleOwner opened(CreateFileW(Exact(exclusive).c_str(), GENERIC_READ,
                                                            0, nullptr, OPEN_EXISTING, 0, nullptr));
        exclusiveError = opened.IsOpen() ? 0 : GetLastError();
    }

    const std::string commandLine = Utf8(GetCommandLineW());
    if (FILE *file = _wfopen(Wide(Environment("STAND_IN_REPORT")).c_str(), L"ab")) {
        std::fprintf(file, "%s\t%s\t%s\t%s\t%s\x1e", Utf8(module).c_str(), commandLine.c_str(),
                     Describe(ResponsePath(commandLine)).c_str(),
                     Describe(Environment("STAND_IN_PROBE")).c_str(), output.c_str());
        std::fclose(file);
    }
    if (!exclusive.empty())
        return static_cast<int>(exclusiveError);
    return static_cast<int>(
        std::strtoul(Environment("STAND_IN_EXIT_" + name).c_str(), nullptr, 10));
}
