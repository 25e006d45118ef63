#pragma once

#include <utility>

#include <windows.h>

namespace platform {

// Owns one kernel handle (process, thread, job, completion port) and hands it to CloseHandle when
// it goes out of scope. Movable, so a started process can be returned with its handles.
class CloseHandleOwner {
  public:
    explicit CloseHandleOwner(HANDLE handle = nullptr) : handle_(handle) {}
    ~CloseHandleOwner() { Close(); }
    CloseHandleOwner(CloseHandleOwner &&other) noexcept : handle_(other.Release()) {}
    CloseHandleOwner &operator=(CloseHandleOwner &&other) noexcept {
        if (this != &other) {
            Close();
            handle_ = other.Release();
        }
        return *this;
    }
    CloseHandleOwner(const CloseHandleOwner &) = delete;
    CloseHandleOwner &operator=(const CloseHandleOwner &) = delete;

    HANDLE Get() const { return handle_; }
    // Creation calls report failure as null or as INVALID_HANDLE_VALUE, depending on the call.
    bool IsOpen() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE Release() { return std::exchange(handle_, nullptr); }
    void Close() {
        if (IsOpen())
            CloseHandle(handle_);
        handle_ = nullptr;
    }

    HANDLE handle_;
};

} // namespace platform
