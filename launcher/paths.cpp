#include "paths.h"

#include <cctype>
#include <cstring>

#include "platform/platform_operations.h"

namespace launcher {

namespace {

bool IsForbiddenInNames(unsigned char c) {
    return c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr;
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9 (with superscript digits too) and the console names, with
// any extension and any blanks before it.
bool IsDeviceName(const std::string &name) {
    std::string base = name.substr(0, name.find('.'));
    base.erase(base.find_last_not_of(' ') + 1);
    for (char &c : base)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$")
        return true;
    if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0))
        return false;
    const unsigned char digit = static_cast<unsigned char>(base[3]);
    return std::isdigit(digit) || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

} // namespace

std::string JoinPath(const std::string &folder, const std::string &name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    path += '\\';
    path += name;
    return path;
}

std::string Quoted(const std::string &text) {
    return "\"" + text + "\"";
}

bool IsExactlyJoinable(const std::string &name) {
    if (name.empty() || name.back() == '.' || name.back() == ' ' || IsDeviceName(name))
        return false;
    for (std::string::size_type i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (platform::IsLeadByte(c) && i + 1 < name.size())
            ++i; // a trail byte may equal "\" and is no separator
        else if (IsForbiddenInNames(c))
            return false;
    }
    return true;
}

} // namespace launcher
