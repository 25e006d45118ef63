#include "file_find.h"

#include <utility>

const CRuntimeClass CObject::classCObject = {"CObject", sizeof(CObject), nullptr};

const CRuntimeClass CFileFind::classCFileFind = {"CFileFind", sizeof(CFileFind),
                                                 &CObject::classCObject};

const CRuntimeClass *CObject::GetRuntimeClass() const {
    return &classCObject;
}

bool CObject::IsKindOf(const CRuntimeClass *wanted) const {
    for (const CRuntimeClass *type = GetRuntimeClass(); type != nullptr; type = type->baseClass)
        if (type == wanted)
            return true;
    return false;
}

namespace {

constexpr DWORD kFullPathCapacity = MAX_PATH;

// Position of the last backslash or slash, stepping over double-byte characters so that a
// trail byte equal to a separator is never taken for one.
std::string::size_type LastSeparator(const std::string &path) {
    std::string::size_type last = std::string::npos;
    for (std::string::size_type i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/')
            last = i;
    }
    return last;
}

} // namespace

CFileFind::~CFileFind() {
    EndSearch();
}

const CRuntimeClass *CFileFind::GetRuntimeClass() const {
    return &classCFileFind;
}

std::string CFileFind::EntryName() const {
    return current_ != nullptr ? std::string(current_->cFileName) : std::string();
}

bool CFileFind::HasAttribute(DWORD mask) const {
    return current_ != nullptr && (current_->dwFileAttributes & mask) != 0;
}

bool CFileFind::IsDotEntry() const {
    if (!IsFolder())
        return false;
    const char *name = current_->cFileName;
    return (name[0] == '.' && name[1] == '\0') ||
           (name[0] == '.' && name[1] == '.' && name[2] == '\0');
}

bool CFileFind::BeginSearch(const char *name, DWORD) {
    EndSearch();
    waiting_ = new WIN32_FIND_DATAA();
    if (name == nullptr)
        name = "*.*";
    lstrcpynA(waiting_->cFileName, name, MAX_PATH);

    search_ = FindFirstFileA(name, waiting_);
    if (search_ == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        EndSearch();
        search_ = INVALID_HANDLE_VALUE;
        SetLastError(error);
        return false;
    }

    char fullPath[kFullPathCapacity];
    char *filePart = nullptr;
    const DWORD length = GetFullPathNameA(name, kFullPathCapacity, fullPath, &filePart);
    if (length == 0 || length >= kFullPathCapacity) {
        EndSearch();
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    root_.assign(fullPath, length);
    const std::string::size_type separator = LastSeparator(root_);
    if (separator != std::string::npos)
        root_.resize(separator);
    return true;
}

bool CFileFind::Advance() {
    if (search_ == nullptr || search_ == INVALID_HANDLE_VALUE)
        return false;
    if (current_ == nullptr)
        current_ = new WIN32_FIND_DATAA();
    std::swap(current_, waiting_);
    return FindNextFileA(search_, waiting_) != FALSE;
}

void CFileFind::EndSearch() {
    delete current_;
    current_ = nullptr;
    delete waiting_;
    waiting_ = nullptr;
    if (search_ != nullptr && search_ != INVALID_HANDLE_VALUE) {
        ReleaseHandle();
        search_ = nullptr;
    }
}

void CFileFind::ReleaseHandle() {
    FindClose(search_);
}
