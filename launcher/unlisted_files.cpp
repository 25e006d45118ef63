#include "unlisted_files.h"

#include <algorithm>
#include <utility>

#include "paths.h"
#include "platform/file_find.h"
#include "platform/platform_operations.h"

namespace launcher {

namespace {

// The platform's longest path: no folder deeper than that can be listed, so the walk ends.
constexpr std::size_t kLongestPath = 32767;

bool IsMediaOwn(const std::wstring &topName) {
    const std::wstring key = NameKey(topName);
    return key == L"LAUNCHER.EXE" || key == L"MEDIA-CHECK.EXE" || key == L"SHA256SUMS" ||
           key == L"SHA256SUMS.P7S";
}

// Lists one folder: what is no listed file goes to `found`, its folders (not links) to `pending`.
void ListFolder(const std::wstring &folder, const std::wstring &relativeFolder,
                const std::set<platform::FileIdentity> &listed, std::vector<std::wstring> &pending,
                std::vector<UnlistedEntry> &found) {
    const std::wstring folderPath =
        relativeFolder.empty() ? folder : JoinPath(folder, relativeFolder);
    const std::wstring pattern = ExactPath(JoinPath(folderPath, L"*"));
    CFileFind finder;
    if (pattern.size() > kLongestPath) {
        found.push_back({relativeFolder, UnlistedKind::Unreadable, ERROR_FILENAME_EXCED_RANGE});
        return;
    }
    if (!finder.BeginSearch(pattern.c_str())) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) // an empty drive root has no entry at all
            found.push_back({relativeFolder, UnlistedKind::Unreadable, error});
        return;
    }
    bool moreEntries;
    do {
        moreEntries = finder.Advance();
        if (finder.IsDotEntry())
            continue;
        const std::wstring name = finder.EntryName();
        const std::wstring relative = relativeFolder.empty() ? name : relativeFolder + L'\\' + name;
        if (finder.HasAttribute(FILE_ATTRIBUTE_REPARSE_POINT)) {
            found.push_back({relative, UnlistedKind::Link});
        } else if (finder.IsFolder()) {
            pending.push_back(relative);
        } else if (!(relativeFolder.empty() && IsMediaOwn(name))) {
            const auto identity = platform::IdentityOfEntry(ExactPath(JoinPath(folderPath, name)));
            if (!identity)
                found.push_back({relative, UnlistedKind::Unreadable, GetLastError()});
            else if (listed.count(*identity) == 0)
                found.push_back({relative, UnlistedKind::File});
        }
    } while (moreEntries);
}

} // namespace

std::wstring NameKey(const std::wstring &name) {
    if (name.empty())
        return name;
    // Without LCMAP_LINGUISTIC_CASING the file system's casing: one character for one.
    std::wstring key(name.size(), L'\0');
    const int size = static_cast<int>(name.size());
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, name.data(), size, &key[0], size) != size)
        return name;
    return key;
}

std::vector<UnlistedEntry> FindUnlistedFiles(const std::wstring &folder,
                                             const std::set<platform::FileIdentity> &listed) {
    std::vector<UnlistedEntry> found;
    std::vector<std::wstring> pending{L""}; // folders still to list, relative; "" is the top
    while (!pending.empty()) {
        const std::wstring relativeFolder = std::move(pending.back());
        pending.pop_back();
        ListFolder(folder, relativeFolder, listed, pending, found);
    }
    std::sort(found.begin(), found.end(), [](const UnlistedEntry &a, const UnlistedEntry &b) {
        return a.relativePath < b.relativePath;
    });
    return found;
}

} // namespace launcher
