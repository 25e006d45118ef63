#include "file_find.h"

#include <utility>

#include "platform_operations.h"

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

CFileFind::~CFileFind() {
    EndSearch();
}

const CRuntimeClass *CFileFind::GetRuntimeClass() const {
    return &classCFileFind;
}

std::wstring CFileFind::EntryName() const {
    return current_ != nullptr ? std::wstring(current_->cFileName) : std::wstring();
}

bool CFileFind::HasAttribute(DWORD mask) const {
    return current_ != nullptr && (current_->dwFileAttributes & mask) != 0;
}

bool CFileFind::IsDotEntry() const {
    if (!IsFolder())
        return false;
    const wchar_t *name = current_->cFileName;
    return (name[0] == L'.' && name[1] == L'\0') ||
           (name[0] == L'.' && name[1] == L'.' && name[2] == L'\0');
}

bool CFileFind::BeginSearch(const wchar_t *name, DWORD) {
    EndSearch();
    waiting_ = new WIN32_FIND_DATAW();
    if (name == nullptr)
        name = L"*.*";
    lstrcpynW(waiting_->cFileName, name, MAX_PATH);

    search_ = FindFirstFileW(name, waiting_);
    if (search_ == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        EndSearch();
        search_ = INVALID_HANDLE_VALUE;
        SetLastError(error);
        return false;
    }

    root_ = platform::FullPath(name);
    if (root_.empty()) {
        EndSearch();
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    const std::wstring::size_type separator = root_.find_last_of(L"\\/");
    if (separator != std::wstring::npos)
        root_.resize(separator);
    return true;
}

bool CFileFind::Advance() {
    if (search_ == nullptr || search_ == INVALID_HANDLE_VALUE)
        return false;
    if (current_ == nullptr)
        current_ = new WIN32_FIND_DATAW();
    std::swap(current_, waiting_);
    return FindNextFileW(search_, waiting_) != FALSE;
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
