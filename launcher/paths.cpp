#include "paths.h"

namespace launcher {

std::wstring JoinPath(const std::wstring &folder, const std::wstring &name) {
    std::wstring path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    path += L'\\';
    path += name;
    return path;
}

std::wstring Quoted(const std::wstring &text) {
    return L"\"" + text + L"\"";
}

std::wstring ExactPath(const std::wstring &driveRootedPath) {
    return L"\\\\?\\" + driveRootedPath;
}

} // namespace launcher
