#include "preflight.h"

#include "paths.h"
#include "platform/platform_operations.h"
#include "platform/signature_check.h"
#include "program_image.h"

namespace launcher {

namespace {

// Not in every SDK's headers: the platform's error for an image whose signature does not match.
constexpr DWORD kErrorInvalidImageHash = 577;

DWORD CheckInstaller(const std::wstring &installer, bool is64BitWindows,
                     const std::optional<std::wstring> &systemDirectory) {
    if (!platform::IsExistingFile(installer))
        return ERROR_FILE_NOT_FOUND;
    const platform::OpenedFile file = platform::OpenForReading(installer);
    if (file.error != 0)
        return file.error;
    const ImageFacts facts =
        ReadImageFacts(file.size, [&file](std::uint64_t offset, void *buffer, std::size_t size) {
            return platform::ReadAt(file.handle.Get(), offset, buffer, size);
        });
    const DWORD error = ProgramError(facts, platform::BinaryType(installer), is64BitWindows);
    if (error != 0)
        return error;
    if (facts.carriesSignature && systemDirectory &&
        platform::HasBadDigest(*systemDirectory, installer, file.handle.Get()))
        return kErrorInvalidImageHash;
    return 0;
}

} // namespace

DWORD CheckBeforeChanges(LaunchMode mode, bool is64BitWindows, const std::wstring &launcherFolder,
                         const std::optional<std::wstring> &systemDirectory) {
    const DWORD error =
        CheckInstaller(JoinPath(launcherFolder, L"data.exe"), is64BitWindows, systemDirectory);
    if (error != 0)
        return error;
    // This installer engine's silent run cannot succeed without its response file.
    if (mode == LaunchMode::Silent &&
        !platform::IsExistingFile(JoinPath(launcherFolder, L"setup.iss")))
        return ERROR_FILE_NOT_FOUND;
    return 0;
}

} // namespace launcher
