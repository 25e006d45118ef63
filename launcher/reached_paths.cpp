#include "reached_paths.h"

#include <vector>

#include "paths.h"
#include "platform/platform_operations.h"
#include "unlisted_files.h"

namespace launcher {

namespace {

std::vector<std::wstring> Components(const std::wstring &path) {
    std::vector<std::wstring> components;
    for (std::size_t at = 0;;) {
        const std::size_t end = path.find(L'\\', at);
        components.push_back(path.substr(at, end == std::wstring::npos ? end : end - at));
        if (end == std::wstring::npos)
            return components;
        at = end + 1;
    }
}

} // namespace

bool ReachedByListedName(const std::wstring &reached, const std::wstring &folderReached,
                         const std::wstring &relativePath) {
    if (reached.empty() || folderReached.empty())
        return false;
    const std::vector<std::wstring> got = Components(reached),
                                    listed = Components(JoinPath(folderReached, relativePath));
    if (got.size() != listed.size())
        return false;
    for (std::size_t i = 0; i < got.size(); ++i)
        if (NameKey(got[i]) != NameKey(listed[i]))
            return false;
    return true;
}

ErrorCode CheckReachedByName(HANDLE held, const std::wstring &folderReached,
                             const std::wstring &relativePath) {
    const std::wstring reached = platform::FinalPathOf(held);
    if (reached.empty() || folderReached.empty())
        return platform::CanTellFinalPaths() ? kErrorUnresolvedPath : kNoError;
    return ReachedByListedName(reached, folderReached, relativePath) ? kNoError : kErrorInvalidData;
}

StartPath DecideStartPath(const std::wstring &installerPath, HANDLE held) {
    const std::wstring reached = platform::FinalPathOf(held);
    if (!reached.empty())
        return {kNoError, PlainFormOf(reached)};
    const auto heldFile = platform::IdentityOf(held);
    const auto named = platform::IdentityOfEntry(installerPath);
    if (heldFile && named && *heldFile == *named)
        return {kNoError, installerPath};
    return {kErrorUnresolvedPath, {}};
}

} // namespace launcher
