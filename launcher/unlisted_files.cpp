#include "unlisted_files.h"

#include <algorithm>
#include <utility>

#include "paths.h"
#include "platform/file_find.h"

namespace launcher {

namespace {

// The platform's longest path: no folder deeper than that can be listed, so the walk ends.
constexpr std::size_t kLongestPath = 32767;

bool IsMediaOwn(const std::wstring &topKey) {
    return topKey == L"LAUNCHER.EXE" || topKey == L"MEDIA-CHECK.EXE" || topKey == L"SHA256SUMS";
}

// A manifest may list files through a folder link; then the link is not unchecked as a whole.
bool ListsAnythingBelow(const std::set<std::wstring> &listedKeys, const std::wstring &folderKey) {
    const std::wstring prefix = folderKey + L'\\';
    const auto next = listedKeys.lower_bound(prefix);
    return next != listedKeys.end() && next->compare(0, prefix.size(), prefix) == 0;
}

bool IsUnlisted(const CFileFind &finder, const std::wstring &relative, bool atTop,
                const std::set<std::wstring> &listedKeys) {
    const std::wstring key = NameKey(relative);
    if (listedKeys.count(key) != 0 || (atTop && IsMediaOwn(key)))
        return false;
    return !finder.IsFolder() || !ListsAnythingBelow(listedKeys, key);
}

// Lists one folder: its unlisted files go to `found`, its folders (not links) to `pending`.
void ListFolder(const std::wstring &folder, const std::wstring &relativeFolder,
                const std::set<std::wstring> &listedKeys, std::vector<std::wstring> &pending,
                std::vector<UnlistedEntry> &found) {
    const std::wstring pattern = ExactPath(
        JoinPath(relativeFolder.empty() ? folder : JoinPath(folder, relativeFolder), L"*"));
    CFileFind finder;
    if (pattern.size() > kLongestPath) {
        found.push_back({relativeFolder, ERROR_FILENAME_EXCED_RANGE});
        return;
    }
    if (!finder.BeginSearch(pattern.c_str())) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) // an empty drive root has no entry at all
            found.push_back({relativeFolder, error});
        return;
    }
    bool moreEntries;
    do {
        moreEntries = finder.Advance();
        if (finder.IsDotEntry())
            continue;
        const std::wstring relative = relativeFolder.empty()
                                          ? finder.EntryName()
                                          : relativeFolder + L'\\' + finder.EntryName();
        if (finder.IsFolder() && !finder.HasAttribute(FILE_ATTRIBUTE_REPARSE_POINT))
            pending.push_back(relative);
        else if (IsUnlisted(finder, relative, relativeFolder.empty(), listedKeys))
            found.push_back({relative});
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
        return name; // then a case twin of a listed name is shown as unlisted, never hidden
    return key;
}

std::vector<UnlistedEntry> FindUnlistedFiles(const std::wstring &folder,
                                             const std::set<std::wstring> &listedKeys) {
    std::vector<UnlistedEntry> found;
    std::vector<std::wstring> pending{L""}; // folders still to list, relative; "" is the top
    while (!pending.empty()) {
        const std::wstring relativeFolder = std::move(pending.back());
        pending.pop_back();
        ListFolder(folder, relativeFolder, listedKeys, pending, found);
    }
    std::sort(found.begin(), found.end(), [](const UnlistedEntry &a, const UnlistedEntry &b) {
        return a.relativePath < b.relativePath;
    });
    return found;
}

} // namespace launcher
