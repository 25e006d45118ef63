#include "media_file.h"

namespace launcher {

MediaFile ReadMediaFile(const std::wstring &exactPath, std::uint64_t largest) {
    if (platform::ReadAttributes(exactPath) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return {};
        return {error, std::nullopt};
    }
    const platform::OpenedFile file = platform::OpenForReading(exactPath);
    if (file.error == ERROR_FILE_NOT_FOUND)
        return {kErrorInvalidData, std::nullopt};
    if (file.error != 0)
        return {file.error, std::nullopt};
    if (file.size > largest)
        return {kErrorInvalidData, std::nullopt};
    std::string bytes;
    const DWORD error = platform::ReadWhole(file.handle.Get(), file.size,
                                            [&bytes](const unsigned char *piece, std::size_t size) {
                                                bytes.append(piece, piece + size);
                                            });
    if (error != 0)
        return {error, std::nullopt};
    return {kNoError, bytes};
}

ImageFacts ImageFactsOf(const platform::OpenedFile &file) {
    return ReadImageFacts(file.size, [&file](std::uint64_t offset, void *buffer, std::size_t size) {
        return platform::ReadAt(file.handle.Get(), offset, buffer, size);
    });
}

} // namespace launcher
