#pragma once

// What a signed launcher asks of its media: that its own signer vouches for it, by a signature
// over SHA256SUMS (SHA256SUMS.p7s) or by data.exe's own signature. Pure: the rules build without
// the platform's headers.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "error_codes.h"
#include "manifest.h"

namespace launcher {

constexpr wchar_t kManifestSignatureName[] = L"SHA256SUMS.p7s";
// A detached signature with a certificate chain takes a few kilobytes.
constexpr std::size_t kLargestManifestSignature = 1024 * 1024;

enum class VouchingWay {
    LauncherNotSigned, // nothing beyond the checks is vouched for
    SignedManifest,    // SHA256SUMS.p7s: every file of the media is listed and checked
    SignedInstaller,   // data.exe signed by the launcher's signer: nothing else is vouched for
    Refused,           // see the reason
};

enum class NotVouchedReason {
    None,
    LauncherUnchecked,       // the launcher's own file cannot be read or verified here
    LauncherReplaced,        // the file at the launcher's path is not the running launcher
    LauncherDigest,          // the launcher's bytes do not match its own signature
    LauncherSignature,       // the launcher's signature cannot be verified
    InstallerNotSigned,      // no SHA256SUMS.p7s, and data.exe is not signed by the signer
    NoManifest,              // SHA256SUMS.p7s without SHA256SUMS
    ManifestSignatureBroken, // SHA256SUMS.p7s is no CMS signature, or cannot be read
    NotTheSigner,            // SHA256SUMS.p7s is not signed by the launcher's signer
    NoSignedDigest,          // SHA256SUMS.p7s signs no SHA-256 digest (no signed attributes)
    ManifestChanged,         // SHA256SUMS is not the content SHA256SUMS.p7s signed
    UnlistedFile,            // a file (or link) of the media that SHA256SUMS does not list
};

struct Vouching {
    ErrorCode error = kNoError;
    VouchingWay way = VouchingWay::LauncherNotSigned;
    NotVouchedReason reason = NotVouchedReason::None;
    std::wstring signer;   // the launcher's signer's subject, when it is signed
    std::wstring unlisted; // for UnlistedFile: the first such entry, relative to the folder
};

// What one verification of a file's Authenticode signature says of its digest, whatever it says of
// the signer's chain.
enum class DigestVerdict {
    NoMatch,       // no signature, or one that does not verify over the file
    BadDigest,     // a signature whose digest the file's bytes do not match: changed after signing
    DigestMatches, // a signature whose digest the bytes match, the chain trusted or not
};

// From the verifier's result and the error its provider recorded for each step, in step order:
// 0 is a match and a bad digest is that. Another result counts as a match only when it is no
// verdict on the signature itself and every step up to and including the signature provider's
// recorded no error: the file's digest was then compared with the signed one and the signature
// over it verified, and what failed is the chain (an untrusted root, an expired or a wrong-usage
// certificate), which is not this launcher's to judge.
DigestVerdict DigestVerdictOf(std::uint32_t result, const std::vector<std::uint32_t> &stepErrors);

// The digest a DER-encoded messageDigest attribute value holds: an OCTET STRING of exactly 32
// bytes in the short length form, with nothing after it; nothing for any other bytes.
std::optional<Sha256Digest> ReadMessageDigest(const std::vector<unsigned char> &value);

// The signed SHA-256 digest: the signer's digest algorithm is SHA-256 and the messageDigest value
// is one (see ReadMessageDigest); nothing otherwise.
std::optional<Sha256Digest> SignedSha256(const std::string &digestAlgorithm,
                                         const std::vector<unsigned char> &value);

} // namespace launcher
