// Checksum manifest: an accepted name never leads out of the launcher's folder, an accepted
// manifest means the same written again plainly, and a refused line stays refused.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

// Joined to a folder, the entry's path is the folder and then its components, each a plain name.
void CheckStaysInside(const ManifestEntry &entry) {
    std::wstring joined;
    for (const std::wstring &component : entry.components) {
        if (component.empty() || component == L"." || component == L".." ||
            component.find_first_of(L"/\\:<>\"|?*") != std::wstring::npos ||
            std::any_of(component.begin(), component.end(), [](wchar_t c) { return c < 0x20; }) ||
            launcher::MeansAnotherThingWithoutExactForm(component))
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
