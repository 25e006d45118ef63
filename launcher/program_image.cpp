#include "program_image.h"

#include <vector>

namespace launcher {

namespace {

// Offsets and values of the PE format that the facts rest on.
constexpr std::size_t kDosHeaderSize = 64, kNewHeaderOffsetAt = 0x3C;
constexpr std::size_t kFileHeaderEnd = 24; // "PE\0\0" and the file header
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint16_t kPe32 = 0x10B, kPe32Plus = 0x20B;
constexpr std::uint16_t kMachineI386 = 0x14C, kMachineAmd64 = 0x8664;
constexpr std::size_t kCertificateDirectory = 4;

std::uint32_t Little(const std::vector<unsigned char> &bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = (value << 8) | bytes[at + i];
    return value;
}

std::optional<std::vector<unsigned char>> ReadBytes(const ReadAt &read, std::uint64_t offset,
                                                    std::size_t size) {
    std::vector<unsigned char> bytes(size);
    if (size != 0 && !read(offset, bytes.data(), size))
        return std::nullopt;
    return bytes;
}

// Whether `size` bytes at `offset` lie within the file; 64-bit sums cannot overflow here.
bool Within(std::uint64_t fileSize, std::uint64_t offset, std::uint64_t size) {
    return offset + size <= fileSize;
}

} // namespace

ImageFacts ReadImageFacts(std::uint64_t fileSize, const ReadAt &read) {
    ImageFacts facts;
    const auto dos = ReadBytes(read, 0, kDosHeaderSize);
    if (!dos || Little(*dos, 0, 2) != 0x5A4D) // "MZ"
        return facts;
    const std::uint64_t peAt = Little(*dos, kNewHeaderOffsetAt, 4);
    const auto pe = ReadBytes(read, peAt, kFileHeaderEnd + 2);
    if (!pe || Little(*pe, 0, 4) != 0x00004550) // "PE\0\0"
        return facts;
    const std::uint32_t machine = Little(*pe, 4, 2), sectionCount = Little(*pe, 6, 2);
    const std::uint32_t optionalSize = Little(*pe, 20, 2), characteristics = Little(*pe, 22, 2);
    const std::uint32_t magic = Little(*pe, 24, 2);
    // The fixed part of the optional header ends where its data directories begin.
    const std::size_t directoriesAt = magic == kPe32 ? 96 : 112;
    if ((magic != kPe32 && magic != kPe32Plus) || optionalSize < directoriesAt ||
        !(characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) || (characteristics & IMAGE_FILE_DLL))
        return facts;
    facts.isProgram = true;
    facts.width = magic == kPe32 && machine == kMachineI386        ? ImageWidth::Bits32
                  : magic == kPe32Plus && machine == kMachineAmd64 ? ImageWidth::Bits64
                                                                   : ImageWidth::OtherProcessor;

    const std::uint64_t optionalAt = peAt + kFileHeaderEnd;
    const auto optional = ReadBytes(read, optionalAt, optionalSize);
    const auto sections =
        ReadBytes(read, optionalAt + optionalSize, std::size_t{sectionCount} * kSectionHeaderSize);
    if (!optional || !sections)
        return facts;
    bool whole = Within(fileSize, 0, Little(*optional, 60, 4)); // SizeOfHeaders
    for (std::size_t section = 0; section < sectionCount; ++section) {
        const std::size_t at = section * kSectionHeaderSize;
        whole =
            whole && Within(fileSize, Little(*sections, at + 20, 4), Little(*sections, at + 16, 4));
    }
    // The certificate table's address is a file offset, and it is not loaded with the image.
    const std::uint32_t directoryCount = Little(*optional, directoriesAt - 4, 4);
    const std::size_t certificateAt = directoriesAt + kCertificateDirectory * 8;
    if (directoryCount > kCertificateDirectory && certificateAt + 8 <= optionalSize) {
        const std::uint32_t offset = Little(*optional, certificateAt, 4);
        const std::uint32_t size = Little(*optional, certificateAt + 4, 4);
        facts.carriesSignature = size != 0;
        whole = whole && Within(fileSize, offset, size);
    }
    facts.isWhole = whole;
    return facts;
}

DWORD ProgramError(const ImageFacts &facts, std::optional<DWORD> platformBinaryType,
                   bool is64BitWindows) {
    if (!facts.isProgram)
        return ERROR_BAD_EXE_FORMAT;
    if (facts.width == ImageWidth::OtherProcessor ||
        (facts.width == ImageWidth::Bits64 && !is64BitWindows))
        return ERROR_EXE_MACHINE_TYPE_MISMATCH;
    // The platform's own answer tells a program from what only looks like one to the headers.
    if (!platformBinaryType ||
        (*platformBinaryType != SCS_32BIT_BINARY && *platformBinaryType != SCS_64BIT_BINARY))
        return ERROR_BAD_EXE_FORMAT;
    return facts.isWhole ? 0 : ERROR_FILE_CORRUPT;
}

} // namespace launcher
