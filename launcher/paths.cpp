#include "paths.h"

namespace launcher {

namespace {

bool EndsWithSeparator(const std::wstring &path) {
    return !path.empty() && (path.back() == L'\\' || path.back() == L'/');
}

} // namespace

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
