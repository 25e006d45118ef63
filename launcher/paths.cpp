#include "paths.h"

namespace launcher {

namespace {

bool EndsWithSeparator(const std::wstring &path) {
    return !path.empty() && (path.back() == L'\\' || path.back() == L'/');
}

// The classic path limit, terminator included: longer plain paths are not read everywhere.
constexpr std::size_t kClassicPathLimit = 260;

wchar_t UpperAscii(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// The platform takes a superscript one, two or three for a digit in COM and LPT names.
bool IsDeviceDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || c == L'\x00B9' || c == L'\x00B2' || c == L'\x00B3';
}

bool StartsWithDrive(const std::wstring &path, std::size_t at) {
    return path.size() >= at + 3 && UpperAscii(path[at]) >= L'A' && UpperAscii(path[at]) <= L'Z' &&
           path[at + 1] == L':' && path[at + 2] == L'\\';
}

} // namespace

bool IsDeviceName(const std::wstring &name) {
    // The platform reads the part before the first dot, less the blanks that end it.
    std::wstring base = name.substr(0, name.find(L'.'));
    base.erase(base.find_last_not_of(L' ') + 1);
    for (wchar_t &c : base)
        c = UpperAscii(c);
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
        base == L"CONOUT$")
        return true;
    return base.size() == 4 &&
           (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           IsDeviceDigit(base[3]);
}

bool MeansAnotherThingWithoutExactForm(const std::wstring &name) {
    return (!name.empty() && (name.back() == L'.' || name.back() == L' ')) || IsDeviceName(name);
}

std::wstring PlainFormOf(const std::wstring &exactPath) {
    std::wstring plain;
    if (exactPath.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        plain = L"\\\\" + exactPath.substr(8);
    else if (exactPath.compare(0, 4, L"\\\\?\\") == 0 && StartsWithDrive(exactPath, 4))
        plain = exactPath.substr(4);
    else
        return exactPath;
    if (plain.size() >= kClassicPathLimit)
        return exactPath;
    const std::size_t firstName = plain.compare(0, 2, L"\\\\") == 0 ? 2 : 3;
    for (std::size_t at = firstName; at <= plain.size();) {
        std::size_t end = plain.find(L'\\', at);
        if (end == std::wstring::npos)
            end = plain.size();
        const std::wstring component = plain.substr(at, end - at);
        if (component.empty() || component == L"." || component == L".." ||
            MeansAnotherThingWithoutExactForm(component))
            return exactPath;
        at = end + 1;
    }
    return plain;
}

std::wstring FolderOf(const std::wstring &path) {
    const std::wstring::size_type last = path.find_last_of(L"\\/");
    if (last == std::wstring::npos || last == 0)
        return {};
    std::wstring folder = path.substr(0, last);
    if (folder.back() == L':') // a drive root keeps its separator: "C:" alone is relative
        folder += L'\\';
    return folder;
}

std::wstring JoinPath(const std::wstring &folder, const std::wstring &name) {
    std::wstring path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    if (!EndsWithSeparator(folder))
        path += L'\\';
    path += name;
    return path;
}

std::wstring Quoted(const std::wstring &text) {
    return L"\"" + text + L"\"";
}

std::wstring ExactPath(const std::wstring &fullPath) {
    if (fullPath.compare(0, 4, L"\\\\?\\") == 0)
        return fullPath;
    if (fullPath.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + fullPath.substr(2);
    return L"\\\\?\\" + fullPath;
}

} // namespace launcher
