// For scripts/package, built natively: holds every name it is given to the rule the launcher holds
// the names of its manifest to (launcher/manifest.cpp), so that the media never ships a name the
// launcher would refuse or Windows would read as another.
//
//   media-names < NAMES
//
// NAMES are single names (no "/"), each ended by a NUL byte and at most 4096 bytes long. For each
// name refused, the name and why are written, each ended by a NUL. Exit status: 0 every name
// accepted, 1 one or more refused, 2 a name too long or not ended by a NUL.

#include <cstdio>
#include <string>

#include "launcher/manifest.h"

namespace {

// Longer than any name a file system holds (255 UTF-16 units, 1020 bytes in UTF-8).
constexpr std::size_t kLongestName = 4096;

const char *Why(launcher::NameFault fault) {
    switch (fault) {
    case launcher::NameFault::kNone:
        return nullptr;
    case launcher::NameFault::kEmpty:
        return "not a name";
    case launcher::NameFault::kNotUtf8:
        return "a name that is not UTF-8";
    case launcher::NameFault::kForbiddenCharacter:
        return "Windows cannot hold this name (a character it does not allow)";
    case launcher::NameFault::kDeviceName:
        return "a Windows device name";
    case launcher::NameFault::kTrailingDotOrBlank:
        return "Windows cannot hold this name (it ends in a dot or a blank)";
    }
    return "refused";
}

} // namespace

int main() {
    int status = 0;
    std::string name;
    for (int c; (c = std::getchar()) != EOF;) {
        if (c != '\0') {
            name += static_cast<char>(c);
            if (name.size() > kLongestName) {
                std::fputs("media-names: a name longer than 4096 bytes\n", stderr);
                return 2;
            }
            continue;
        }
        std::wstring wide;
        if (const char *why = Why(launcher::CheckNameComponent(name, wide))) {
            std::fwrite(name.c_str(), 1, name.size() + 1, stdout);
            std::fwrite(why, 1, std::string(why).size() + 1, stdout);
            status = 1;
        }
        name.clear();
    }
    if (std::ferror(stdin) || !name.empty()) {
        std::fputs("media-names: the names must each end in a NUL byte\n", stderr);
        return 2;
    }
    return std::fflush(stdout) == 0 ? status : 2;
}
