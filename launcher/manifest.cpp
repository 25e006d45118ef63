#include "manifest.h"

#include <algorithm>

#include "paths.h"

namespace launcher {

namespace {

constexpr std::size_t kDigestDigits = 64;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ReadDigest(const std::string &line, Sha256Digest &digest) {
    if (line.size() < kDigestDigits)
        return false;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = HexValue(line[2 * i]), low = HexValue(line[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        digest[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

// Decodes strict UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF) into UTF-16.
bool DecodeUtf8(const std::string &text, std::wstring &wide) {
    wide.clear();
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[at]);
        std::size_t length;
        std::uint32_t code, smallest;
        if (lead < 0x80)
            length = 1, code = lead, smallest = 0;
        else if (lead >= 0xC2 && lead <= 0xDF)
            length = 2, code = lead & 0x1F, smallest = 0x80;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3, code = lead & 0x0F, smallest = 0x800;
        else if (lead >= 0xF0 && lead <= 0xF4)
            length = 4, code = lead & 0x07, smallest = 0x10000;
        else
            return false;
        if (length > text.size() - at)
            return false;
        for (std::size_t i = 1; i < length; ++i) {
            const unsigned char next = static_cast<unsigned char>(text[at + i]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        if (code >= 0x10000) {
            code -= 0x10000;
            wide += static_cast<wchar_t>(0xD800 + (code >> 10));
            wide += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(code);
        }
        at += length;
    }
    return true;
}

// A character no Windows name may hold: controls, the stream separator, wildcards and the rest.
bool IsForbiddenInName(char c) {
    return static_cast<unsigned char>(c) < 0x20 ||
           std::string("<>:\"|?*").find(c) != std::string::npos;
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// Splits a name into its components; false when it is not a plain relative path.
bool SplitName(std::string name, ManifestEntry &entry) {
    if (name.size() >= 2 && name[0] == '.' && IsSeparator(name[1]))
        name.erase(0, 2);
    // Empty components also mean a leading separator (a root or a server) and a trailing one;
    // ":" also names a drive or an alternate data stream.
    for (std::size_t at = 0; at <= name.size();) {
        std::size_t end = at;
        while (end < name.size() && !IsSeparator(name[end]))
            ++end;
        const std::string component = name.substr(at, end - at);
        std::wstring wide;
        if (CheckNameComponent(component, wide) != NameFault::kNone)
            return false;
        entry.components.push_back(wide);
        entry.name += (entry.name.empty() ? "" : "/") + component;
        at = end + 1;
    }
    return true;
}

bool ParseLine(const std::string &line, ManifestEntry &entry) {
    // "\" first is sha256sum's mark of an escaped name; a name that needs escaping is refused.
    if (!ReadDigest(line, entry.digest) || line.size() < kDigestDigits + 3 ||
        line[kDigestDigits] != ' ' ||
        (line[kDigestDigits + 1] != ' ' && line[kDigestDigits + 1] != '*'))
        return false;
    return SplitName(line.substr(kDigestDigits + 2), entry);
}

bool EqualsIgnoringAsciiCase(const std::string &text, const char *wanted) {
    std::size_t i = 0;
    for (; i < text.size() && wanted[i] != '\0'; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != wanted[i])
            return false;
    }
    return i == text.size() && wanted[i] == '\0';
}

bool NamesManifest(const ManifestEntry &entry) {
    return EqualsIgnoringAsciiCase(entry.name, "sha256sums");
}

Manifest Refused(std::size_t line) {
    Manifest manifest;
    manifest.error = kErrorInvalidData;
    manifest.refusedLine = line;
    return manifest;
}

} // namespace

NameFault CheckNameComponent(const std::string &component, std::wstring &wide) {
    if (component.empty() || component == "." || component == "..")
        return NameFault::kEmpty;
    if (std::any_of(component.begin(), component.end(),
                    [](char c) { return IsForbiddenInName(c) || IsSeparator(c); }))
        return NameFault::kForbiddenCharacter;
    if (!DecodeUtf8(component, wide))
        return NameFault::kNotUtf8;
    // A name the ordinary path rules read as another (a device, or one whose trailing dot or
    // blank they drop) would reach one thing here and another in the installer.
    if (IsDeviceName(wide))
        return NameFault::kDeviceName;
    if (MeansAnotherThingWithoutExactForm(wide))
        return NameFault::kTrailingDotOrBlank;
    return NameFault::kNone;
}

Manifest ParseManifest(const std::string &bytes) {
    if (bytes.size() > kLargestManifest)
        return Refused(0);
    const std::size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    Manifest manifest;
    bool listsInstaller = false;
    std::size_t lineNumber = 0;
    for (std::size_t at = start; at < bytes.size();) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        ManifestEntry entry;
        if (!ParseLine(line, entry) || NamesManifest(entry))
            return Refused(lineNumber);
        listsInstaller = listsInstaller || NamesInstaller(entry);
        manifest.entries.push_back(std::move(entry));
    }
    if (!listsInstaller)
        return Refused(0);
    return manifest;
}

bool NamesInstaller(const ManifestEntry &entry) {
    return EqualsIgnoringAsciiCase(entry.name, "data.exe");
}

std::wstring RelativePath(const ManifestEntry &entry) {
    std::wstring path;
    for (const std::wstring &component : entry.components)
        path += (path.empty() ? L"" : L"\\") + component;
    return path;
}

} // namespace launcher
