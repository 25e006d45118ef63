#pragma once

#include <windows.h>

namespace platform {

// Owns one kernel handle and closes it when it goes out of scope.
class UniqueHandle {
  public:
    explicit UniqueHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~UniqueHandle() { Close(); }
    UniqueHandle(const UniqueHandle &) = delete;
    UniqueHandle &operator=(const UniqueHandle &) = delete;

    HANDLE Get() const { return handle_; }
    bool IsOpen() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

  private:
    void Close() {
        if (IsOpen())
            CloseHandle(handle_);
        handle_ = nullptr;
    }

    HANDLE handle_;
};

} // namespace platform
