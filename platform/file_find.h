#pragma once

// The directory finder: one platform directory search at a time, always one entry ahead of the
// entry it presents.

#include <string>

#include <windows.h>

// Describes a class at run time: its name and size, and the class it derives from.
struct CRuntimeClass {
    const char *className;
    int objectSize;
    const CRuntimeClass *baseClass;
};

// Root of the finder's class hierarchy: a run-time class query, a virtual destructor and a
// serialise operation that does nothing.
class CObject {
  public:
    static const CRuntimeClass classCObject;

    virtual const CRuntimeClass *GetRuntimeClass() const;
    virtual ~CObject() = default;
    virtual void Serialize() {}

    bool IsKindOf(const CRuntimeClass *wanted) const;
};

class CFileFind : public CObject {
  public:
    static const CRuntimeClass classCFileFind;

    CFileFind() = default;
    ~CFileFind() override;
    CFileFind(const CFileFind &) = delete;
    CFileFind &operator=(const CFileFind &) = delete;

    const CRuntimeClass *GetRuntimeClass() const override;

    // The current entry's name; empty when there is no current entry.
    virtual std::wstring EntryName() const;
    // True when the current entry's attributes share a bit with the mask.
    virtual bool HasAttribute(DWORD mask) const;
    // True when the current entry is the folder entry "." or "..".
    virtual bool IsDotEntry() const;
    // Opens a search on a name or pattern (the second argument is ignored). True when a search is
    // open and its first match waits; on false the platform's last error tells why. A "\\?\"
    // name of any length is listed exactly as written.
    virtual bool BeginSearch(const wchar_t *name, DWORD unused = 0);
    // Makes the waiting entry current. True when yet another entry waits after it; the current
    // entry stays readable after false.
    virtual bool Advance();

    bool IsFolder() const { return HasAttribute(FILE_ATTRIBUTE_DIRECTORY); }
    // Frees both entry records and closes the search; safe to repeat.
    void EndSearch();
    // The folder part of the full path of the last search name.
    const std::wstring &Root() const { return root_; }

  protected:
    virtual void ReleaseHandle();

  private:
    WIN32_FIND_DATAW *current_ = nullptr;
    WIN32_FIND_DATAW *waiting_ = nullptr;
    HANDLE search_ = nullptr; // INVALID_HANDLE_VALUE after a failed start
    std::wstring root_;
};
