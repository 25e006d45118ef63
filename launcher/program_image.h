#pragma once

// What the headers of a program file say about it: whether Windows could start it on this
// machine, and whether everything the headers point at lies within the file. Pure: the bytes come
// through a reader, so the rules are tested on bytes made in memory, and build without the
// platform's headers.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "error_codes.h"

namespace launcher {

enum class ImageMachine { X86, X64, Arm64, Other };

// The platform's machine codes (IMAGE_FILE_MACHINE_...).
constexpr std::uint16_t kMachineI386 = 0x14C, kMachineAmd64 = 0x8664, kMachineArm64 = 0xAA64;

struct ImageFacts {
    ErrorCode readError = kNoError; // a read inside the file failed with this error
    // Starts with "MZ" and has "PE\0\0" where its header offset points.
    bool isPortableExecutable = false;
    // The headers, the section table, the raw data of every section and the certificate table
    // lie within the file.
    bool isWhole = false;
    // Its optional header is whole and says: executable, not a library, for the Windows GUI or
    // console subsystem.
    bool isProgram = false;
    ImageMachine machine = ImageMachine::Other;
    bool carriesSignature = false; // it has a certificate table
    // Where the certificate table is and how large, and the header's checksum: what a file
    // signed otherwise shows differently from the running image's own headers.
    std::uint32_t certificateTableOffset = 0, certificateTableSize = 0, checksum = 0;
};

// Reads `size` bytes at `offset`, which lie within the file: kNoError, or the read's error.
using ReadAt = std::function<ErrorCode(std::uint64_t offset, void *buffer, std::size_t size)>;

// Asks for no byte at or past `fileSize`.
ImageFacts ReadImageFacts(std::uint64_t fileSize, const ReadAt &read);

// What Windows says of the machines it runs programs for, where it says anything.
struct MachineAnswers {
    bool is64BitWindows = false;
    // Whether the image's machine runs in user mode (GetMachineTypeAttributes, Windows 11).
    std::optional<bool> runsInUserMode;
    // The machine Windows itself runs on (IsWow64Process2, Windows 10).
    std::optional<std::uint16_t> nativeMachine;
};

std::uint16_t MachineCode(ImageMachine machine);

// x86 always runs. x64 and ARM64 run where Windows says so for the machine; else where the native
// machine is theirs; else, without either answer, x64 on 64-bit Windows and ARM64 nowhere. No
// other machine runs.
bool MachineRuns(ImageMachine machine, const MachineAnswers &answers);

// The platform's own answer to what kind of program a file is.
struct BinaryTypeAnswer {
    std::optional<std::uint32_t> type; // an SCS_ value; nothing when the platform failed
    ErrorCode error = kNoError;        // why it failed
};
constexpr std::uint32_t kScs32BitBinary = 0, kScs64BitBinary = 6;

// What the headers say keeps a program from being started here, or kNoError, in the order it is
// looked for: a failed read (its error), no PE file (ERROR_BAD_EXE_FORMAT), cut short
// (ERROR_FILE_CORRUPT), no program Windows starts (ERROR_BAD_EXE_FORMAT), a machine this Windows
// does not run (ERROR_EXE_MACHINE_TYPE_MISMATCH).
ErrorCode ImageError(const ImageFacts &facts, const MachineAnswers &machines);

// What the platform's answer says, asked once the headers pass: its own error when it failed for
// another reason than the file's format, ERROR_BAD_EXE_FORMAT when the file is no 32- or 64-bit
// Windows program.
ErrorCode BinaryTypeError(const BinaryTypeAnswer &platformAnswer);

} // namespace launcher
