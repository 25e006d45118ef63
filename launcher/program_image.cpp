#include "program_image.h"

#include <vector>

namespace launcher {

namespace {

// Offsets and values of the PE format that the facts rest on.
constexpr std::uint64_t kDosHeaderSize = 64, kNewHeaderOffsetAt = 0x3C;
constexpr std::uint64_t kFileHeaderEnd = 24; // "PE\0\0" and the file header
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint32_t kPe32 = 0x10B, kPe32Plus = 0x20B;
constexpr std::uint32_t kExecutableImage = 0x0002, kLibrary = 0x2000; // file characteristics
constexpr std::uint32_t kWindowsGui = 2, kWindowsConsole = 3;         // subsystems
constexpr std::size_t kSizeOfHeadersAt = 60, kSubsystemAt = 68;       // in the optional header
constexpr std::size_t kChecksumAt = 64;
constexpr std::size_t kCertificateDirectory = 4;

std::uint32_t Little(const std::vector<unsigned char> &bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = (value << 8) | bytes[at + i];
    return value;
}

// Whether `size` bytes at `offset` lie within the file; 64-bit sums of 32-bit values cannot
// overflow.
bool Within(std::uint64_t fileSize, std::uint64_t offset, std::uint64_t size) {
    return offset <= fileSize && size <= fileSize - offset;
}

// Reads bytes that lie within the file; a failure is kept in the facts.
bool ReadBytes(const ReadAt &read, std::uint64_t offset, std::size_t size,
               std::vector<unsigned char> &bytes, ImageFacts &facts) {
    bytes.assign(size, 0);
    if (size == 0)
        return true;
    facts.readError = read(offset, bytes.data(), size);
    return facts.readError == kNoError;
}

ImageMachine MachineOf(std::uint32_t magic, std::uint32_t machine) {
    if (magic == kPe32 && machine == kMachineI386)
        return ImageMachine::X86;
    if (magic == kPe32Plus && machine == kMachineAmd64)
        return ImageMachine::X64;
    if (magic == kPe32Plus && machine == kMachineArm64)
        return ImageMachine::Arm64;
    return ImageMachine::Other;
}

// The sections' raw data within the file.
bool SectionsWithin(std::uint64_t fileSize, const std::vector<unsigned char> &table) {
    for (std::size_t at = 0; at + kSectionHeaderSize <= table.size(); at += kSectionHeaderSize)
        if (!Within(fileSize, Little(table, at + 20, 4), Little(table, at + 16, 4)))
            return false;
    return true;
}

} // namespace

ImageFacts ReadImageFacts(std::uint64_t fileSize, const ReadAt &read) {
    ImageFacts facts;
    std::vector<unsigned char> dos, pe, optional, sections;
    if (!Within(fileSize, 0, kDosHeaderSize) || !ReadBytes(read, 0, kDosHeaderSize, dos, facts) ||
        Little(dos, 0, 2) != 0x5A4D) // "MZ"
        return facts;
    const std::uint64_t peAt = Little(dos, kNewHeaderOffsetAt, 4);
    if (!Within(fileSize, peAt, 4) || !ReadBytes(read, peAt, 4, pe, facts) ||
        Little(pe, 0, 4) != 0x00004550) // "PE\0\0"
        return facts;
    facts.isPortableExecutable = true;

    // From here on, a file that ends early is cut short.
    if (!Within(fileSize, peAt, kFileHeaderEnd) ||
        !ReadBytes(read, peAt, kFileHeaderEnd, pe, facts))
        return facts;
    const std::uint32_t machine = Little(pe, 4, 2), sectionCount = Little(pe, 6, 2);
    const std::uint32_t optionalSize = Little(pe, 20, 2), characteristics = Little(pe, 22, 2);
    const std::uint64_t optionalAt = peAt + kFileHeaderEnd;
    const std::uint64_t tableAt = optionalAt + optionalSize;
    const std::uint64_t tableSize = sectionCount * kSectionHeaderSize;
    if (!Within(fileSize, optionalAt, optionalSize + tableSize) ||
        !ReadBytes(read, optionalAt, optionalSize, optional, facts) ||
        !ReadBytes(read, tableAt, static_cast<std::size_t>(tableSize), sections, facts))
        return facts;
    bool whole = SectionsWithin(fileSize, sections);

    // The fixed part of the optional header ends where its data directories begin.
    const std::uint32_t magic = optionalSize >= 2 ? Little(optional, 0, 2) : 0;
    const std::size_t directoriesAt = magic == kPe32 ? 96 : 112;
    if ((magic != kPe32 && magic != kPe32Plus) || optionalSize < directoriesAt) {
        facts.isWhole = whole; // no more to say; not a program either
        return facts;
    }
    whole = whole && Within(fileSize, 0, Little(optional, kSizeOfHeadersAt, 4));
    facts.checksum = Little(optional, kChecksumAt, 4);
    // The certificate table's address is a file offset, and it is not loaded with the image.
    const std::uint32_t directoryCount = Little(optional, directoriesAt - 4, 4);
    const std::size_t certificateAt = directoriesAt + kCertificateDirectory * 8;
    if (directoryCount > kCertificateDirectory && certificateAt + 8 <= optionalSize) {
        const std::uint32_t offset = Little(optional, certificateAt, 4);
        const std::uint32_t size = Little(optional, certificateAt + 4, 4);
        facts.carriesSignature = size != 0;
        facts.certificateTableOffset = offset;
        facts.certificateTableSize = size;
        whole = whole && Within(fileSize, offset, size);
    }
    facts.isWhole = whole;

    const std::uint32_t subsystem = Little(optional, kSubsystemAt, 2);
    facts.isProgram = (characteristics & kExecutableImage) && !(characteristics & kLibrary) &&
                      (subsystem == kWindowsGui || subsystem == kWindowsConsole);
    facts.machine = MachineOf(magic, machine);
    return facts;
}

std::uint16_t MachineCode(ImageMachine machine) {
    switch (machine) {
    case ImageMachine::X86:
        return kMachineI386;
    case ImageMachine::X64:
        return kMachineAmd64;
    case ImageMachine::Arm64:
        return kMachineArm64;
    case ImageMachine::Other:
        break;
    }
    return 0;
}

bool MachineRuns(ImageMachine machine, const MachineAnswers &answers) {
    if (machine == ImageMachine::X86)
        return true;
    if (machine == ImageMachine::Other)
        return false;
    if (answers.runsInUserMode)
        return *answers.runsInUserMode;
    if (answers.nativeMachine)
        return *answers.nativeMachine == MachineCode(machine);
    return machine == ImageMachine::X64 && answers.is64BitWindows;
}

namespace {

// What the platform says when a file is no program at all, rather than when it cannot be read.
bool MeansNoProgram(ErrorCode error) {
    return error == kNoError || error == kErrorBadFormat || error == kErrorInvalidExeSignature ||
           error == kErrorExeMarkedInvalid || error == kErrorBadExeFormat;
}

} // namespace

ErrorCode ImageError(const ImageFacts &facts, const MachineAnswers &machines) {
    if (facts.readError != kNoError)
        return facts.readError;
    if (!facts.isPortableExecutable)
        return kErrorBadExeFormat;
    if (!facts.isWhole)
        return kErrorFileCorrupt;
    if (!facts.isProgram)
        return kErrorBadExeFormat;
    if (!MachineRuns(facts.machine, machines))
        return kErrorMachineMismatch;
    return kNoError;
}

ErrorCode BinaryTypeError(const BinaryTypeAnswer &platformAnswer) {
    // The platform's own answer tells a program from what only looks like one to the headers.
    if (!platformAnswer.type)
        return MeansNoProgram(platformAnswer.error) ? kErrorBadExeFormat : platformAnswer.error;
    if (*platformAnswer.type != kScs32BitBinary && *platformAnswer.type != kScs64BitBinary)
        return kErrorBadExeFormat;
    return kNoError;
}

} // namespace launcher
