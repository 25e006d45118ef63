#include "delete_tree.h"

#include "paths.h"
#include "platform/file_find.h"
#include "platform/platform_operations.h"

namespace launcher {

namespace {

// A link is removed as the kind of entry it is; what it points to is never listed or touched.
bool RemoveLinkItself(const std::string &path, bool isFolderLink) {
    return isFolderLink ? platform::RemoveFolder(path) : platform::DeleteFileAt(path);
}

int DeleteFolderAndContents(const std::string &folder);

// The finder already holds the entry's own attributes, so a link is known without asking again.
void RemoveEntry(const CFileFind &finder, const std::string &path) {
    if (finder.HasAttribute(FILE_ATTRIBUTE_REPARSE_POINT))
        RemoveLinkItself(path, finder.IsFolder());
    else if (finder.IsFolder())
        DeleteFolderAndContents(path);
    else
        platform::DeleteFileAt(path);
}

// Entries are handled in the platform's order, each once; the finder reads one ahead, so the
// entry made current by the last (false) advance is handled too. A name that cannot be joined
// exactly is left in place, and so is everything below it.
void DeleteContents(const std::string &folder) {
    CFileFind finder;
    if (finder.BeginSearch(JoinPath(folder, "*.*").c_str())) {
        bool moreEntries;
        do {
            moreEntries = finder.Advance();
            const std::string name = finder.EntryName();
            if (!finder.IsDotEntry() && IsExactlyJoinable(name))
                RemoveEntry(finder, JoinPath(folder, name));
        } while (moreEntries);
    }
    // The search is ended before its folder is removed.
    finder.EndSearch();
}

int DeleteFolderAndContents(const std::string &folder) {
    DeleteContents(folder);
    return platform::RemoveFolder(folder) ? 1 : 0;
}

} // namespace

bool IsLinkAttributes(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

int DeleteTree(const std::string &folder) {
    const DWORD attributes = platform::ReadAttributes(folder);
    if (IsLinkAttributes(attributes))
        return RemoveLinkItself(folder, attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    return DeleteFolderAndContents(folder);
}

} // namespace launcher
