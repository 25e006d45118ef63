#pragma once

#include <utility>

#include <windows.h>

namespace platform {

// Owns one handle and hands it to its closing call when it goes out of scope. Movable, so a
// started process can be returned with its handles.
template <typename Handle, BOOL(WINAPI *closeHandle)(Handle)> class HandleOwner {
  public:
    explicit HandleOwner(Handle handle = nullptr) : handle_(handle) {}
    ~HandleOwner() { Close(); }
    HandleOwner(HandleOwner &&other) noexcept : handle_(other.Release()) {}
    HandleOwner &operator=(HandleOwner &&other) noexcept {
        if (this != &other) {
            Close();
            handle_ = other.Release();
        }
        return *this;
    }
    HandleOwner(const HandleOwner &) = delete;
    HandleOwner &operator=(const HandleOwner &) = delete;

    Handle Get() const { return handle_; }
    // Creation calls report failure as null or as INVALID_HANDLE_VALUE, depending on the call.
    bool IsOpen() const {
        return handle_ != nullptr && handle_ != reinterpret_cast<Handle>(INVALID_HANDLE_VALUE);
    }

  private:
    Handle Release() { return std::exchange(handle_, nullptr); }
    void Close() {
        if (IsOpen())
            closeHandle(handle_);
        handle_ = nullptr;
    }

    Handle handle_;
};

// A kernel handle: process, thread, job, completion port, file.
using CloseHandleOwner = HandleOwner<HANDLE, CloseHandle>;
// A library loaded at run time.
using FreeLibraryOwner = HandleOwner<HMODULE, FreeLibrary>;

} // namespace platform
