// The floor for the launcher's folder deletion: removes files and folders that are named one by
// one in a list, so no folder is ever listed.
//
//   delete_by_name.exe LIST-FILE
//
// Each line of LIST-FILE is "F <path>" (a file, removed with DeleteFileW) or "D <path>" (an
// empty folder, removed with RemoveDirectoryW), in the order they are to go; paths are absolute,
// ASCII, and reached through their "\\?\" form, as the launcher reaches them. Prints
//   removed: N
//   failed: M
//   elapsed ms: T
// and exits with 0 when nothing failed, 1 when something could not be removed, 2 when the list
// cannot be read.
//
// The time covers the removals only, read with QueryPerformanceCounter: reading the list and
// starting and ending the process are left out. The launcher's side of the comparison is the
// difference of two whole launcher runs, in which the process costs cancel out, so this keeps
// both sides to the removal work alone and errs, if anything, in the floor's favour.

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace {

struct Entry {
    bool isFolder = false;
    std::wstring path; // "\\?\" and an ASCII path
};

std::optional<Entry> ParseLine(std::string line) {
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() < 3 || line[1] != ' ' || (line[0] != 'F' && line[0] != 'D'))
        return std::nullopt;
    const std::string path = "\\\\?\\" + line.substr(2);
    return Entry{line[0] == 'D', std::wstring(path.begin(), path.end())};
}

std::optional<std::vector<Entry>> ReadList(const char *listPath) {
    std::ifstream list(listPath, std::ios::binary);
    if (!list)
        return std::nullopt;
    std::vector<Entry> entries;
    std::string line;
    while (std::getline(list, line)) {
        if (line.empty() || line == "\r")
            continue;
        std::optional<Entry> entry = ParseLine(line);
        if (!entry)
            return std::nullopt;
        entries.push_back(std::move(*entry));
    }
    return entries;
}

bool Remove(const Entry &entry) {
    const BOOL removed =
        entry.isFolder ? RemoveDirectoryW(entry.path.c_str()) : DeleteFileW(entry.path.c_str());
    return removed != FALSE;
}

std::size_t RemoveAll(const std::vector<Entry> &entries) {
    std::size_t failed = 0;
    for (const Entry &entry : entries)
        if (!Remove(entry))
            ++failed;
    return failed;
}

double Milliseconds(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fputs("usage: delete_by_name.exe LIST-FILE\n", stderr);
        return 2;
    }
    const std::optional<std::vector<Entry>> entries = ReadList(argv[1]);
    if (!entries) {
        std::fprintf(stderr, "delete_by_name: cannot read the list %s\n", argv[1]);
        return 2;
    }

    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const std::size_t failed = RemoveAll(*entries);
    QueryPerformanceCounter(&end);

    std::printf("removed: %zu\nfailed: %zu\nelapsed ms: %.1f\n", entries->size() - failed, failed,
                Milliseconds(start, end));
    return failed == 0 ? 0 : 1;
}
