#pragma once

// What the headers of a program file say about it: whether Windows could start it on this
// machine, and whether everything the headers point at lies within the file. Pure: the bytes come
// through a reader, so the rules are tested on bytes made in memory.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include <windows.h>

namespace launcher {

enum class ImageWidth { Bits32, Bits64, OtherProcessor };

struct ImageFacts {
    bool isProgram = false; // a PE image marked executable, not a library
    ImageWidth width = ImageWidth::OtherProcessor;
    // The headers, the raw data of every section and the certificate table lie within the file.
    bool isWhole = false;
    bool carriesSignature = false; // it has a certificate table
};

// Reads `size` bytes at `offset`; false unless all of them were read.
using ReadAt = std::function<bool(std::uint64_t offset, void *buffer, std::size_t size)>;

ImageFacts ReadImageFacts(std::uint64_t fileSize, const ReadAt &read);

// The error that keeps a program from being started on this Windows, or 0, in the order it is
// looked for: no program (ERROR_BAD_EXE_FORMAT), one for a 64-bit Windows or another processor
// (ERROR_EXE_MACHINE_TYPE_MISMATCH), one cut short (ERROR_FILE_CORRUPT). `platformBinaryType`
// is the platform's own answer (an SCS_ value), nothing when it had none.
DWORD ProgramError(const ImageFacts &facts, std::optional<DWORD> platformBinaryType,
                   bool is64BitWindows);

} // namespace launcher
