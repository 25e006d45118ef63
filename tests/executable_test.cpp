// Checks the shipped launcher.exe as a file: its PE headers, imports and resources. The file is
// mapped as an image resource, never run, so the test sees exactly what ships.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include <windows.h>

#include "test_files.h"

namespace {

// The launcher.exe beside the test, mapped as an image: sections at their relative addresses.
class MappedLauncher {
  public:
    MappedLauncher()
        : module_(LoadLibraryExA((test_files::OwnFolder() + "\\launcher.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE)) {}
    ~MappedLauncher() {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    MappedLauncher(const MappedLauncher &) = delete;
    MappedLauncher &operator=(const MappedLauncher &) = delete;

    bool IsLoaded() const { return module_ != nullptr; }
    HMODULE Module() const { return module_; }

    template <typename T> const T *At(DWORD relativeAddress) const {
        // The low bits of a data-file module handle are flags, not part of the address.
        const auto base = reinterpret_cast<const BYTE *>(reinterpret_cast<ULONG_PTR>(module_) &
                                                         ~static_cast<ULONG_PTR>(3));
        return reinterpret_cast<const T *>(base + relativeAddress);
    }
    const IMAGE_NT_HEADERS32 &Headers() const {
        return *At<IMAGE_NT_HEADERS32>(At<IMAGE_DOS_HEADER>(0)->e_lfanew);
    }
    IMAGE_DATA_DIRECTORY Directory(int index) const {
        return Headers().OptionalHeader.DataDirectory[index];
    }

  private:
    HMODULE module_;
};

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), ::tolower);
    return text;
}

BOOL CALLBACK CollectId(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids) {
    reinterpret_cast<std::set<ULONG_PTR> *>(ids)->insert(reinterpret_cast<ULONG_PTR>(name));
    return TRUE;
}

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR types) {
    reinterpret_cast<std::set<ULONG_PTR> *>(types)->insert(reinterpret_cast<ULONG_PTR>(type));
    return TRUE;
}

// Resource IDs of one type; a named resource shows up as a pointer, far above any ID.
std::set<ULONG_PTR> ResourceIds(HMODULE module, LPCSTR type) {
    std::set<ULONG_PTR> ids;
    EnumResourceNamesA(module, type, CollectId, reinterpret_cast<LONG_PTR>(&ids));
    return ids;
}

// The icon images an icon group refers to, read from its on-disk directory.
std::set<ULONG_PTR> IconGroupMembers(HMODULE module, WORD groupId) {
    std::set<ULONG_PTR> members;
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(groupId), RT_GROUP_ICON);
    const auto group = static_cast<const BYTE *>(LockResource(LoadResource(module, found)));
    if (group == nullptr)
        return members;
    const WORD count = *reinterpret_cast<const WORD *>(group + 4);
    for (WORD i = 0; i < count; ++i) // 6-byte header, 14-byte entries ending in the image ID
        members.insert(*reinterpret_cast<const WORD *>(group + 6 + 14 * i + 12));
    return members;
}

} // namespace

TEST(Executable, Is32BitWindowsGuiProgram) {
    const MappedLauncher launcher;
    ASSERT_TRUE(launcher.IsLoaded());
    EXPECT_EQ(launcher.Headers().FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(launcher.Headers().OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    // A console program would open a console window whenever the launcher starts.
    EXPECT_EQ(launcher.Headers().OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

TEST(Executable, OptsIntoAslrAndDep) {
    const MappedLauncher launcher;
    ASSERT_TRUE(launcher.IsLoaded());
    const WORD flags = launcher.Headers().OptionalHeader.DllCharacteristics;
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    // Without relocations the loader cannot move the image and ASLR silently does not apply.
    EXPECT_FALSE(launcher.Headers().FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
    EXPECT_GT(launcher.Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC).Size, 0u);
}

TEST(Executable, ImportsOnlySystemDlls) {
    const MappedLauncher launcher;
    ASSERT_TRUE(launcher.IsLoaded());
    const IMAGE_DATA_DIRECTORY imports = launcher.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    ASSERT_NE(imports.VirtualAddress, 0u);
    std::set<std::string> imported;
    for (auto descriptor = launcher.At<IMAGE_IMPORT_DESCRIPTOR>(imports.VirtualAddress);
         descriptor->Name != 0; ++descriptor)
        imported.insert(Lowered(launcher.At<char>(descriptor->Name)));
    EXPECT_EQ(imported, (std::set<std::string>{"kernel32.dll", "msvcrt.dll", "shlwapi.dll"}));
    // Delay-loaded DLLs would escape the check above.
    EXPECT_EQ(launcher.Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).Size, 0u);
}

TEST(Executable, CarriesOnlyItsIcon) {
    const MappedLauncher launcher;
    ASSERT_TRUE(launcher.IsLoaded());
    std::set<ULONG_PTR> types;
    EnumResourceTypesA(launcher.Module(), CollectType, reinterpret_cast<LONG_PTR>(&types));
    // No manifest, version block, dialog, menu or string table: the icon group and its images.
    EXPECT_EQ(types, (std::set<ULONG_PTR>{reinterpret_cast<ULONG_PTR>(RT_ICON),
                                          reinterpret_cast<ULONG_PTR>(RT_GROUP_ICON)}));
    EXPECT_EQ(ResourceIds(launcher.Module(), RT_GROUP_ICON), std::set<ULONG_PTR>{101});
    const std::set<ULONG_PTR> images = ResourceIds(launcher.Module(), RT_ICON);
    EXPECT_FALSE(images.empty());
    EXPECT_EQ(images, IconGroupMembers(launcher.Module(), 101));
}
