// Command-line counting: only blanks, tabs, quotes and backslashes decide the count, and any
// arguments written by the classic quoting rules count back as themselves.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "launcher/commands.h"

namespace {

void Expect(int counted, int wanted, const char *what) {
    if (counted != wanted) {
        std::fprintf(stderr, "fuzz_command_line: %s (%d, not %d)\n", what, counted, wanted);
        std::abort();
    }
}

// One argument as the rules read it back: bare when it may be, else quoted; inside quotes a quote
// is \" or """ (a literal quote that closes, then one that opens again); backslashes are doubled
// only before a quote.
std::wstring Quote(const std::wstring &argument, std::minstd_rand &choose) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos && choose() % 2)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes : backslashes, L'\\');
        backslashes = 0;
        quoted += c != L'"' ? std::wstring(1, c) : choose() % 2 ? L"\\\"" : L"\"\"\"";
    }
    return quoted.append(2 * backslashes, L'\\') + L"\"";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::wstring line; // the input as UTF-16 code units
    for (std::size_t i = 0; i + 1 < size; i += 2)
        line += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    const int count = launcher::CountArguments(line);
    Expect(count < 1 ? 0 : 1, 1, "fewer than the program name");
    std::wstring plain = line;
    for (wchar_t &c : plain)
        c = c == L' ' || c == L'\t' || c == L'"' || c == L'\\' ? c : L'a';
    Expect(launcher::CountArguments(plain), count, "ordinary characters changed the count");
    Expect(launcher::CountArguments(line + L" \t"), count, "blanks after changed the count");

    // The input's lines as arguments, after a program name quoted or not.
    std::minstd_rand choose(static_cast<unsigned>(std::hash<std::wstring>()(line) + size));
    const bool quotedProgram = choose() % 2;
    std::wstring written = quotedProgram ? L"\"C:\\My Setup\\launcher.exe\"" : L"launcher.exe";
    int arguments = 0;
    for (std::size_t at = 0, end; at <= line.size(); at = end + 1, ++arguments) {
        end = std::min(line.find(L'\n', at), line.size());
        // After a quoted program name an argument may follow at once.
        if (!(quotedProgram && arguments == 0 && choose() % 2))
            written += choose() % 2 ? L" " : L"\t ";
        written += Quote(line.substr(at, end - at), choose);
    }
    Expect(launcher::CountArguments(written), 1 + arguments, "quoted arguments counted back");
    return 0;
}
