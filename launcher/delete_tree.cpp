#include "delete_tree.h"

#include "paths.h"
#include "platform/file_find.h"
#include "platform/platform_operations.h"

namespace launcher {

namespace {

// A link is removed as the kind of entry it is; what it points to is never listed or touched.
bool RemoveLinkItself(const std::wstring &path, bool isFolderLink) {
    return isFolderLink ? platform::RemoveFolder(path) : platform::DeleteFileAt(path);
}

int DeleteFolderAndContents(const std::wstring &folder);

// The finder already holds the entry's own attributes, so a link is known without asking again.
void RemoveEntry(const CFileFind &finder, const std::wstring &path) {
    if (finder.HasAttribute(FILE_ATTRIBUTE_REPARSE_POINT))
        RemoveLinkItself(path, finder.IsFolder());
    else if (finder.IsFolder())
        DeleteFolderAndContents(path);
    else
        platform::DeleteFileAt(path);
}

// Entries are handled in the platform's order, each once; the finder reads one ahead, so the
// entry made current by the last (false) advance is handled too.
void DeleteContents(const std::wstring &folder) {
    CFileFind finder;
    if (finder.BeginSearch(JoinPath(folder, L"*.*").c_str())) {
        bool moreEntries;
        do {
            moreEntries = finder.Advance();
            if (!finder.IsDotEntry())
                RemoveEntry(finder, JoinPath(folder, finder.EntryName()));
        } while (moreEntries);
    }
    // The search is ended before its folder is removed.
    finder.EndSearch();
}

int DeleteFolderAndContents(const std::wstring &folder) {
    DeleteContents(folder);
    return platform::RemoveFolder(folder) ? 1 : 0;
}

} // namespace

bool IsLinkAttributes(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

int DeleteTree(const std::wstring &exactFolder) {
    const DWORD attributes = platform::ReadAttributes(exactFolder);
    if (IsLinkAttributes(attributes))
        return RemoveLinkItself(exactFolder, attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    return DeleteFolderAndContents(exactFolder);
}

} // namespace launcher
