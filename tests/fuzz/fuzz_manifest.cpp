// Checksum manifest: an accepted name never leads out of the launcher's folder, an accepted
// manifest means the same written again plainly, and a refused line stays refused.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "launcher/manifest.h"
#include "launcher/paths.h"

using namespace launcher;

namespace {

[[noreturn]] void Fail(const char *what, std::size_t line) {
    std::fprintf(stderr, "fuzz_manifest: %s (refused line %zu)\n", what, line);
    std::abort();
}

// Lower-case digests, two blanks, names with "/", LF.
std::string Plainly(const Manifest &manifest) {
    std::string text;
    for (const ManifestEntry &entry : manifest.entries) {
        for (std::uint8_t byte : entry.digest)
            text += {"0123456789abcdef"[byte >> 4], "0123456789abcdef"[byte & 15]};
        text += "  " + entry.name + "\n";
    }
    return text;
}

// The rule written out apart from the parser's: the names the platform's ordinary path rules take
// for a device (before any extension, less the blanks before it, in any ASCII case), and its
// dropping of a trailing dot or blank.
const wchar_t *const kDeviceNames[] = {
    L"CON",  L"PRN",       L"AUX",       L"NUL",       L"CONIN$",    L"CONOUT$", L"COM0",
    L"COM1", L"COM2",      L"COM3",      L"COM4",      L"COM5",      L"COM6",    L"COM7",
    L"COM8", L"COM9",      L"COM\u00B9", L"COM\u00B2", L"COM\u00B3", L"LPT0",    L"LPT1",
    L"LPT2", L"LPT3",      L"LPT4",      L"LPT5",      L"LPT6",      L"LPT7",    L"LPT8",
    L"LPT9", L"LPT\u00B9", L"LPT\u00B2", L"LPT\u00B3"};

bool ReadAsAnotherThing(const std::wstring &name) {
    if (name.back() == L'.' || name.back() == L' ')
        return true;
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (wchar_t &c : stem)
        c = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c;
    return std::find(std::begin(kDeviceNames), std::end(kDeviceNames), stem) !=
           std::end(kDeviceNames);
}

// Joined to a folder, the entry's path is the folder and then its components, each a plain name.
void CheckStaysInside(const ManifestEntry &entry) {
    std::wstring joined;
    for (const std::wstring &component : entry.components) {
        if (component.empty() || component == L"." || component == L".." ||
            component.find_first_of(L"/\\:<>\"|?*") != std::wstring::npos ||
            std::any_of(component.begin(), component.end(), [](wchar_t c) { return c < 0x20; }) ||
            ReadAsAnotherThing(component))
            Fail("an entry with a component that is no plain name", 0);
        joined += (joined.empty() ? L"" : L"\\") + component;
    }
    if (joined.empty() || JoinPath(L"C:\\media", RelativePath(entry)) != L"C:\\media\\" + joined)
        Fail("an entry whose path is not its folder and its components", 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const Manifest manifest = ParseManifest(bytes);
    if (manifest.error == kNoError) {
        if (manifest.refusedLine != 0 ||
            std::none_of(manifest.entries.begin(), manifest.entries.end(), NamesInstaller))
            Fail("accepted with a refused line or without data.exe", manifest.refusedLine);
        for (const ManifestEntry &entry : manifest.entries)
            CheckStaysInside(entry);
        const std::string plain = Plainly(manifest);
        if (Plainly(ParseManifest(plain)) != plain)
            Fail("written again plainly, it means something else", 0);
        return 0;
    }
    if (manifest.error != kErrorInvalidData || !manifest.entries.empty())
        Fail("refused with another error or with entries", manifest.refusedLine);
    if (manifest.refusedLine == 0 || size > kLargestManifest / 2)
        return 0;
    // Find where the refused line ends: every line before it passes, nothing after it counts.
    std::size_t end = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (std::size_t line = 0; line < manifest.refusedLine; ++line) {
        if (end >= bytes.size())
            Fail("refused past the last line", manifest.refusedLine);
        end = std::min(bytes.find('\n', end), bytes.size()) + 1;
    }
    const std::string before = bytes.substr(0, bytes.rfind('\n', end - 2) + 1);
    if (ParseManifest(before + std::string(64, '0') + "  data.exe\n").error != kNoError)
        Fail("a line before the refused one is refused too", manifest.refusedLine);
    const std::string through = bytes.substr(0, end) + (end > bytes.size() ? "\n" : "");
    const Manifest longer = ParseManifest(through + bytes);
    if (longer.error == kNoError || longer.refusedLine != manifest.refusedLine)
        Fail("what follows a refused line changed the verdict", manifest.refusedLine);
    return 0;
}
