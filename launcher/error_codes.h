#pragma once

// The platform's error codes the launcher answers with, named here so that the pure rules build
// without the platform's headers. The values are the platform's own.

#include <cstdint>

namespace launcher {

using ErrorCode = std::uint32_t;

constexpr ErrorCode kNoError = 0;
constexpr ErrorCode kErrorFileNotFound = 2;          // ERROR_FILE_NOT_FOUND
constexpr ErrorCode kErrorPathNotFound = 3;          // ERROR_PATH_NOT_FOUND
constexpr ErrorCode kErrorBadFormat = 11;            // ERROR_BAD_FORMAT
constexpr ErrorCode kErrorInvalidData = 13;          // ERROR_INVALID_DATA
constexpr ErrorCode kErrorCrc = 23;                  // ERROR_CRC
constexpr ErrorCode kErrorNotSupported = 50;         // ERROR_NOT_SUPPORTED
constexpr ErrorCode kErrorInvalidExeSignature = 191; // ERROR_INVALID_EXE_SIGNATURE
constexpr ErrorCode kErrorExeMarkedInvalid = 192;    // ERROR_EXE_MARKED_INVALID
constexpr ErrorCode kErrorBadExeFormat = 193;        // ERROR_BAD_EXE_FORMAT
constexpr ErrorCode kErrorMachineMismatch = 216;     // ERROR_EXE_MACHINE_TYPE_MISMATCH
constexpr ErrorCode kErrorInvalidImageHash = 577;    // ERROR_INVALID_IMAGE_HASH
constexpr ErrorCode kErrorFileCorrupt = 1392;        // ERROR_FILE_CORRUPT
constexpr ErrorCode kErrorUnresolvedPath = 1921;     // ERROR_CANT_RESOLVE_FILENAME
// The media is not vouched for by the signer of a signed launcher (TRUST_E_SUBJECT_NOT_TRUSTED).
constexpr ErrorCode kErrorSubjectNotTrusted = 0x800B0004;

} // namespace launcher
