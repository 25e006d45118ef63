#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <windows.h>

#include "handle_owner.h"
#include "launcher/manifest.h"

namespace platform {

// SHA-256 from the platform's own cryptography (CNG, Windows Vista and later), whose library is
// loaded from the system directory alone, only when something is to be hashed.
class Sha256Hasher {
  public:
    // Not available (IsAvailable false) where the platform has no SHA-256: before Vista, or
    // without a system directory.
    explicit Sha256Hasher(const std::optional<std::wstring> &systemDirectory);
    ~Sha256Hasher();
    Sha256Hasher(const Sha256Hasher &) = delete;
    Sha256Hasher &operator=(const Sha256Hasher &) = delete;

    bool IsAvailable() const { return algorithm_ != nullptr; }

    // The digest of the file's `size` bytes from its start, read once, in order, in large
    // pieces: 0, or the error of a read or of the hash (ERROR_NOT_SUPPORTED when unavailable).
    DWORD HashFile(HANDLE file, std::uint64_t size, launcher::Sha256Digest &digest) const;
    // The digest of bytes already read.
    DWORD HashBytes(const std::string &bytes, launcher::Sha256Digest &digest) const;

    struct Functions; // the library's functions this needs

  private:
    using Consume = std::function<void(const unsigned char *bytes, std::size_t size)>;
    using Feed = std::function<DWORD(const Consume &consume)>; // hands over every byte, in order
    DWORD Hash(const Feed &feed, launcher::Sha256Digest &digest) const;

    FreeLibraryOwner library_;
    std::unique_ptr<const Functions> functions_;
    void *algorithm_ = nullptr;
};

} // namespace platform
