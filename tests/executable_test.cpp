// Checks the shipped launcher.exe as a file: its PE headers, imports and resources. The file is
// parsed by hand (not loaded) so the test sees exactly what ships, and every read is
// bounds-checked so a malformed executable fails a test instead of crashing it.

#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Icon group resource layout; not declared by <windows.h>. Packed to 2 like the on-disk format.
#pragma pack(push, 2)
struct GroupIconDir {
    WORD idReserved;
    WORD idType;
    WORD idCount;
};
struct GroupIconDirEntry {
    BYTE bWidth;
    BYTE bHeight;
    BYTE bColorCount;
    BYTE bReserved;
    WORD wPlanes;
    WORD wBitCount;
    DWORD dwBytesInRes;
    WORD nId;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconDir) == 6, "GRPICONDIR is 6 bytes");
static_assert(sizeof(GroupIconDirEntry) == 14, "GRPICONDIRENTRY is 14 bytes");

constexpr WORD kIconGroupId = 101;
constexpr WORD kIconTypeInGroup = 1; // idType of an icon (not cursor) group

struct PeFile {
    Bytes bytes;
    IMAGE_NT_HEADERS32 nt{};
    std::vector<IMAGE_SECTION_HEADER> sections;
};

// A resource directory entry with the flag bits already split off.
struct ResourceEntry {
    bool named = false;
    WORD id = 0;
    bool isDirectory = false;
    DWORD offset = 0; // relative to the start of the resource directory
};

// Where the resource tree lives; offsets inside the tree are relative to its start.
struct ResourceTree {
    size_t fileOffset = 0;
    DWORD size = 0;
};

WORD IntResourceId(LPCSTR type) {
    return static_cast<WORD>(reinterpret_cast<ULONG_PTR>(type));
}

std::string ToLower(std::string text) {
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The launcher is shipped next to the test, so locate it from our own path, not the cwd.
std::string LauncherPath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            std::string self(buffer.data(), length);
            size_t slash = self.find_last_of("\\/");
            if (slash == std::string::npos)
                return "launcher.exe";
            return self.substr(0, slash) + "\\launcher.exe";
        }
        buffer.resize(buffer.size() * 2); // truncated: retry with a larger buffer
    }
}

bool ReadWholeFile(const std::string &path, Bytes *out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Copies a T from the file, or nothing if it does not fit. memcpy avoids unaligned access.
template <typename T> std::optional<T> ReadAt(const Bytes &bytes, uint64_t offset) {
    if (offset > bytes.size() || sizeof(T) > bytes.size() - offset)
        return std::nullopt;
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

// Maps an RVA to a file offset if `size` bytes from there lie in one section's raw data.
std::optional<size_t> RvaToOffset(const PeFile &pe, DWORD rva, DWORD size) {
    for (const IMAGE_SECTION_HEADER &section : pe.sections) {
        uint64_t start = section.VirtualAddress;
        uint64_t rawEnd = start + section.SizeOfRawData;
        if (rva < start || uint64_t{rva} + size > rawEnd)
            continue;
        uint64_t offset = uint64_t{section.PointerToRawData} + (rva - start);
        if (offset + size > pe.bytes.size())
            return std::nullopt;
        return static_cast<size_t>(offset);
    }
    return std::nullopt;
}

template <typename T> std::optional<T> ReadAtRva(const PeFile &pe, DWORD rva) {
    std::optional<size_t> offset = RvaToOffset(pe, rva, sizeof(T));
    if (!offset)
        return std::nullopt;
    return ReadAt<T>(pe.bytes, *offset);
}

// Reads a NUL-terminated string at an RVA; it must end inside its section.
std::optional<std::string> ReadStringAtRva(const PeFile &pe, DWORD rva) {
    constexpr DWORD kMaxLength = 512; // far longer than any DLL name
    std::string text;
    for (DWORD i = 0; i < kMaxLength; ++i) {
        std::optional<char> c = ReadAtRva<char>(pe, rva + i);
        if (!c)
            return std::nullopt;
        if (*c == '\0')
            return text;
        text.push_back(*c);
    }
    return std::nullopt;
}

// Absent directories (beyond NumberOfRvaAndSizes) read as empty.
IMAGE_DATA_DIRECTORY Directory(const PeFile &pe, int index) {
    if (index < 0 || static_cast<DWORD>(index) >= pe.nt.OptionalHeader.NumberOfRvaAndSizes)
        return {};
    return pe.nt.OptionalHeader.DataDirectory[index];
}

bool IsEmpty(const IMAGE_DATA_DIRECTORY &directory) {
    return directory.VirtualAddress == 0 && directory.Size == 0;
}

// Reads launcher.exe and its headers; fails fatally if the layout cannot be trusted further.
void LoadLauncher(PeFile *pe) {
    const std::string path = LauncherPath();
    ASSERT_FALSE(path.empty()) << "GetModuleFileNameA failed";
    ASSERT_TRUE(ReadWholeFile(path, &pe->bytes)) << "cannot read " << path;

    std::optional<IMAGE_DOS_HEADER> dos = ReadAt<IMAGE_DOS_HEADER>(pe->bytes, 0);
    ASSERT_TRUE(dos) << "file too small for a DOS header";
    ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
    ASSERT_GE(dos->e_lfanew, 0);

    // The 32-bit layout is checked before the full 32-bit headers are interpreted.
    std::optional<DWORD> signature = ReadAt<DWORD>(pe->bytes, dos->e_lfanew);
    ASSERT_TRUE(signature) << "e_lfanew points past the end of the file";
    ASSERT_EQ(*signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
    const uint64_t optionalOffset =
        uint64_t{static_cast<DWORD>(dos->e_lfanew)} + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
    std::optional<WORD> magic = ReadAt<WORD>(pe->bytes, optionalOffset);
    ASSERT_TRUE(magic) << "file too small for an optional header";
    ASSERT_EQ(*magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC) << "not a PE32 image";

    std::optional<IMAGE_NT_HEADERS32> nt = ReadAt<IMAGE_NT_HEADERS32>(pe->bytes, dos->e_lfanew);
    ASSERT_TRUE(nt) << "file too small for the NT headers";
    pe->nt = *nt;
    const IMAGE_OPTIONAL_HEADER32 &optional = pe->nt.OptionalHeader;
    ASSERT_LE(optional.NumberOfRvaAndSizes, DWORD{IMAGE_NUMBEROF_DIRECTORY_ENTRIES});
    ASSERT_GE(pe->nt.FileHeader.SizeOfOptionalHeader,
              offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory) +
                  optional.NumberOfRvaAndSizes * sizeof(IMAGE_DATA_DIRECTORY))
        << "optional header too small for its data directories";

    const uint64_t sectionTable = optionalOffset + pe->nt.FileHeader.SizeOfOptionalHeader;
    for (WORD i = 0; i < pe->nt.FileHeader.NumberOfSections; ++i) {
        std::optional<IMAGE_SECTION_HEADER> section = ReadAt<IMAGE_SECTION_HEADER>(
            pe->bytes, sectionTable + i * sizeof(IMAGE_SECTION_HEADER));
        ASSERT_TRUE(section) << "section header " << i << " lies past the end of the file";
        pe->sections.push_back(*section);
    }
}

void ReadImportedDllNames(const PeFile &pe, std::vector<std::string> *names) {
    const IMAGE_DATA_DIRECTORY imports = Directory(pe, IMAGE_DIRECTORY_ENTRY_IMPORT);
    ASSERT_NE(imports.VirtualAddress, 0u) << "no import directory";
    // The table ends with an all-zero descriptor; a missing terminator runs off the section.
    for (DWORD rva = imports.VirtualAddress;; rva += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        std::optional<IMAGE_IMPORT_DESCRIPTOR> descriptor =
            ReadAtRva<IMAGE_IMPORT_DESCRIPTOR>(pe, rva);
        ASSERT_TRUE(descriptor) << "import descriptor at RVA " << rva << " is outside the file";
        if (descriptor->Name == 0 && descriptor->FirstThunk == 0)
            return;
        std::optional<std::string> name = ReadStringAtRva(pe, descriptor->Name);
        ASSERT_TRUE(name) << "unreadable DLL name at RVA " << descriptor->Name;
        names->push_back(*name);
    }
}

void LocateResourceTree(const PeFile &pe, ResourceTree *tree) {
    const IMAGE_DATA_DIRECTORY resources = Directory(pe, IMAGE_DIRECTORY_ENTRY_RESOURCE);
    ASSERT_NE(resources.VirtualAddress, 0u) << "no resource directory";
    ASSERT_GE(resources.Size, sizeof(IMAGE_RESOURCE_DIRECTORY));
    std::optional<size_t> offset = RvaToOffset(pe, resources.VirtualAddress, resources.Size);
    ASSERT_TRUE(offset) << "resource directory is outside the file";
    tree->fileOffset = *offset;
    tree->size = resources.Size;
}

template <typename T>
std::optional<T> ReadInResourceTree(const PeFile &pe, const ResourceTree &tree, uint64_t offset) {
    if (offset > tree.size || sizeof(T) > tree.size - offset)
        return std::nullopt;
    return ReadAt<T>(pe.bytes, tree.fileOffset + offset);
}

// Lists the entries of the resource directory at `offset` within the tree.
void ReadResourceDirectory(const PeFile &pe, const ResourceTree &tree, DWORD offset,
                           std::vector<ResourceEntry> *entries) {
    std::optional<IMAGE_RESOURCE_DIRECTORY> directory =
        ReadInResourceTree<IMAGE_RESOURCE_DIRECTORY>(pe, tree, offset);
    ASSERT_TRUE(directory) << "resource directory at +" << offset << " is out of bounds";
    const unsigned count =
        unsigned{directory->NumberOfNamedEntries} + unsigned{directory->NumberOfIdEntries};
    for (unsigned i = 0; i < count; ++i) {
        const uint64_t at = uint64_t{offset} + sizeof(IMAGE_RESOURCE_DIRECTORY) +
                            i * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY);
        std::optional<IMAGE_RESOURCE_DIRECTORY_ENTRY> raw =
            ReadInResourceTree<IMAGE_RESOURCE_DIRECTORY_ENTRY>(pe, tree, at);
        ASSERT_TRUE(raw) << "resource entry at +" << at << " is out of bounds";
        ResourceEntry entry;
        entry.named = (raw->Name & IMAGE_RESOURCE_NAME_IS_STRING) != 0;
        entry.id = static_cast<WORD>(raw->Name & 0xFFFF);
        entry.isDirectory = (raw->OffsetToData & IMAGE_RESOURCE_DATA_IS_DIRECTORY) != 0;
        entry.offset = raw->OffsetToData & ~DWORD{IMAGE_RESOURCE_DATA_IS_DIRECTORY};
        entries->push_back(entry);
    }
}

// Collects the IDs of a type's resources; named resources are a failure since we use only IDs.
void ReadResourceIds(const PeFile &pe, const ResourceTree &tree, const ResourceEntry &type,
                     std::vector<ResourceEntry> *resources) {
    ASSERT_TRUE(type.isDirectory) << "resource type " << type.id << " is not a directory";
    ASSERT_NO_FATAL_FAILURE(ReadResourceDirectory(pe, tree, type.offset, resources));
    for (const ResourceEntry &resource : *resources)
        EXPECT_FALSE(resource.named) << "named resource under type " << type.id;
}

// Copies out the bytes of a resource, found below its single language entry.
void ReadResourceData(const PeFile &pe, const ResourceTree &tree, const ResourceEntry &resource,
                      Bytes *data) {
    ASSERT_TRUE(resource.isDirectory) << "resource " << resource.id << " has no language level";
    std::vector<ResourceEntry> languages;
    ASSERT_NO_FATAL_FAILURE(ReadResourceDirectory(pe, tree, resource.offset, &languages));
    ASSERT_EQ(languages.size(), 1u)
        << "resource " << resource.id << " should exist in one language";
    ASSERT_FALSE(languages[0].isDirectory);
    std::optional<IMAGE_RESOURCE_DATA_ENTRY> leaf =
        ReadInResourceTree<IMAGE_RESOURCE_DATA_ENTRY>(pe, tree, languages[0].offset);
    ASSERT_TRUE(leaf) << "resource data entry is out of bounds";
    // Unlike the tree's own offsets, OffsetToData is an RVA.
    std::optional<size_t> offset = RvaToOffset(pe, leaf->OffsetToData, leaf->Size);
    ASSERT_TRUE(offset) << "resource " << resource.id << " data is outside the file";
    data->assign(pe.bytes.begin() + *offset, pe.bytes.begin() + *offset + leaf->Size);
}

// The RT_ICON IDs an icon group refers to.
void ReadIconGroupMembers(const Bytes &group, std::set<WORD> *iconIds) {
    std::optional<GroupIconDir> header = ReadAt<GroupIconDir>(group, 0);
    ASSERT_TRUE(header) << "icon group too small for its header";
    EXPECT_EQ(header->idReserved, 0);
    EXPECT_EQ(header->idType, kIconTypeInGroup);
    EXPECT_GT(header->idCount, 0);
    for (WORD i = 0; i < header->idCount; ++i) {
        std::optional<GroupIconDirEntry> entry =
            ReadAt<GroupIconDirEntry>(group, sizeof(GroupIconDir) + i * sizeof(GroupIconDirEntry));
        ASSERT_TRUE(entry) << "icon group entry " << i << " is out of bounds";
        EXPECT_TRUE(iconIds->insert(entry->nId).second) << "icon " << entry->nId << " listed twice";
    }
}

TEST(Executable, Is32BitWindowsGuiProgram) {
    PeFile pe;
    ASSERT_NO_FATAL_FAILURE(LoadLauncher(&pe));
    EXPECT_EQ(pe.nt.FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(pe.nt.OptionalHeader.Magic, 0x10b);
    EXPECT_TRUE(pe.nt.FileHeader.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE);
    EXPECT_FALSE(pe.nt.FileHeader.Characteristics & IMAGE_FILE_DLL);
    // A console subsystem would flash a console window whenever the launcher starts.
    EXPECT_EQ(pe.nt.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

TEST(Executable, OptsIntoAslrAndDep) {
    PeFile pe;
    ASSERT_NO_FATAL_FAILURE(LoadLauncher(&pe));
    const WORD dll = pe.nt.OptionalHeader.DllCharacteristics;
    EXPECT_TRUE(dll & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE) << "ASLR not enabled";
    EXPECT_TRUE(dll & IMAGE_DLLCHARACTERISTICS_NX_COMPAT) << "DEP not enabled";
    // Without relocations the loader cannot move the image, so ASLR would silently not apply.
    EXPECT_FALSE(pe.nt.FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
    const IMAGE_DATA_DIRECTORY relocations = Directory(pe, IMAGE_DIRECTORY_ENTRY_BASERELOC);
    EXPECT_NE(relocations.VirtualAddress, 0u) << "no base relocation directory";
    EXPECT_GT(relocations.Size, 0u) << "empty base relocation directory";
    if (relocations.Size > 0) {
        EXPECT_TRUE(RvaToOffset(pe, relocations.VirtualAddress, relocations.Size))
            << "relocation table is outside the file";
    }
}

TEST(Executable, ImportsOnlySystemDlls) {
    PeFile pe;
    ASSERT_NO_FATAL_FAILURE(LoadLauncher(&pe));
    std::vector<std::string> names;
    ASSERT_NO_FATAL_FAILURE(ReadImportedDllNames(pe, &names));
    // DLLs present on every supported Windows, so the launcher runs with nothing installed.
    const std::set<std::string> allowed = {"kernel32.dll", "msvcrt.dll", "shlwapi.dll"};
    std::set<std::string> imported;
    for (const std::string &name : names) {
        imported.insert(ToLower(name));
        EXPECT_EQ(allowed.count(ToLower(name)), 1u) << "unexpected import: " << name;
    }
    EXPECT_EQ(imported.count("kernel32.dll"), 1u);
    // Delay-loaded DLLs would escape the check above.
    EXPECT_TRUE(IsEmpty(Directory(pe, IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT)))
        << "executable has delay-loaded imports";
}

TEST(Executable, CarriesOnlyItsIcon) {
    PeFile pe;
    ASSERT_NO_FATAL_FAILURE(LoadLauncher(&pe));
    ResourceTree tree;
    ASSERT_NO_FATAL_FAILURE(LocateResourceTree(pe, &tree));
    std::vector<ResourceEntry> types;
    ASSERT_NO_FATAL_FAILURE(ReadResourceDirectory(pe, tree, 0, &types));

    // Exactly RT_GROUP_ICON and RT_ICON: no manifest, version block, dialog, menu or strings.
    const WORD groupIconType = IntResourceId(RT_GROUP_ICON);
    const WORD iconType = IntResourceId(RT_ICON);
    const ResourceEntry *groupIcons = nullptr;
    const ResourceEntry *icons = nullptr;
    for (const ResourceEntry &type : types) {
        EXPECT_FALSE(type.named) << "named resource type";
        if (type.named)
            continue;
        if (type.id == groupIconType)
            groupIcons = &type;
        else if (type.id == iconType)
            icons = &type;
        else
            ADD_FAILURE() << "unexpected resource type " << type.id;
    }
    EXPECT_EQ(types.size(), 2u);
    ASSERT_NE(groupIcons, nullptr) << "no RT_GROUP_ICON resources";
    ASSERT_NE(icons, nullptr) << "no RT_ICON resources";

    std::vector<ResourceEntry> groups;
    ASSERT_NO_FATAL_FAILURE(ReadResourceIds(pe, tree, *groupIcons, &groups));
    ASSERT_EQ(groups.size(), 1u) << "expected exactly one icon group";
    ASSERT_EQ(groups[0].id, kIconGroupId);
    Bytes group;
    ASSERT_NO_FATAL_FAILURE(ReadResourceData(pe, tree, groups[0], &group));
    std::set<WORD> referenced;
    ASSERT_NO_FATAL_FAILURE(ReadIconGroupMembers(group, &referenced));

    // Every image belongs to the group: no stray icons beyond the application icon.
    std::vector<ResourceEntry> images;
    ASSERT_NO_FATAL_FAILURE(ReadResourceIds(pe, tree, *icons, &images));
    std::set<WORD> present;
    for (const ResourceEntry &image : images)
        present.insert(image.id);
    EXPECT_EQ(present, referenced);
}

} // namespace
