#pragma once

// Reading the media's files: a small one that may be missing (SHA256SUMS, SHA256SUMS.p7s), read
// whole, and what a held program file's headers say.

#include <cstdint>
#include <optional>
#include <string>

#include "error_codes.h"
#include "platform/platform_operations.h"
#include "program_image.h"

namespace launcher {

struct MediaFile {
    ErrorCode error = kNoError;
    std::optional<std::string> bytes; // nothing when there is no such file
};

// Its bytes; nothing when there is no file of that name. Something there that is no file (a
// folder, a link to nothing), or a file over `largest` bytes, cannot be used: ERROR_INVALID_DATA,
// so that it never passes for a missing one. A read that fails gives its error.
MediaFile ReadMediaFile(const std::wstring &exactPath, std::uint64_t largest);

// What the headers of the opened file say, read through its handle.
ImageFacts ImageFactsOf(const platform::OpenedFile &file);

} // namespace launcher
