#include "running_image.h"

#include <string>
#include <vector>

#include "launcher/unlisted_files.h"
#include "platform_operations.h"

namespace platform {

namespace {

constexpr DWORD kVolumeNameDos = 0x0, kVolumeNameNt = 0x2; // VOLUME_NAME_*
constexpr DWORD kNameNormalized = 0x0, kNameOpened = 0x8;  // FILE_NAME_*

// The current name of the file a mapped address belongs to, in the platform's device form.
std::wstring MappedFileName(const void *address) {
    using MappedName = DWORD(WINAPI *)(HANDLE process, LPVOID address, LPWSTR name, DWORD size);
    const auto ask =
        LibraryFunction<MappedName>(GetModuleHandleW(L"kernel32.dll"), "K32GetMappedFileNameW");
    if (ask == nullptr)
        return {};
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length =
            ask(GetCurrentProcess(), const_cast<void *>(address), buffer.data(), size);
        if (length == 0)
            return {};
        if (length + 1 < size)
            return std::wstring(buffer.data(), length);
        if (size >= 32768)
            return {};
        buffer.resize(size * 2);
    }
}

bool SameName(const std::wstring &one, const std::wstring &other) {
    return !one.empty() && launcher::NameKey(one) == launcher::NameKey(other);
}

} // namespace

RunningImageFields ReadRunningImageFields() {
    // The loader has checked these headers before the first instruction ran.
    const auto *base = reinterpret_cast<const BYTE *>(GetModuleHandleW(nullptr));
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const auto *headers = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_OPTIONAL_HEADER &optional = headers->OptionalHeader;
    RunningImageFields fields;
    fields.checksum = optional.CheckSum;
    if (optional.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_SECURITY) {
        const IMAGE_DATA_DIRECTORY &table = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
        fields.certificateTableOffset = table.VirtualAddress; // a file offset, not mapped
        fields.certificateTableSize = table.Size;
    }
    return fields;
}

std::optional<bool> IsRunningImageFile(HANDLE heldFile) {
    const std::wstring mapped = MappedFileName(GetModuleHandleW(nullptr));
    if (mapped.empty())
        return std::nullopt;
    // Windows names a mapped file by its volume's device; Wine by its drive ("\??\C:\...").
    constexpr wchar_t kDrivePrefix[] = L"\\??\\";
    const bool onDrive = mapped.compare(0, 4, kDrivePrefix) == 0;
    const DWORD volume = onDrive ? kVolumeNameDos : kVolumeNameNt;
    const std::wstring mappedName = onDrive ? mapped.substr(4) : mapped;
    // The mapped name is the name the image was opened by, as it is now; the held file's name is
    // asked in that form and in its normalized one (long names). Either names one file, and the
    // held file cannot be renamed meanwhile.
    bool asked = false;
    for (const DWORD form : {kNameOpened, kNameNormalized}) {
        std::wstring held = FinalPathInForm(heldFile, form | volume);
        if (held.empty())
            continue;
        asked = true;
        if (onDrive && held.compare(0, 4, L"\\\\?\\") == 0)
            held.erase(0, 4);
        if (SameName(mappedName, held))
            return true;
    }
    return asked ? std::optional<bool>(false) : std::nullopt;
}

} // namespace platform
