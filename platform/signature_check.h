#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace platform {

enum class SignatureVerdict {
    NotChecked,    // this Windows lacks the verifier, or a function the signer is read with
    NoMatch,       // no signature, or one that does not verify over the file (or is unreadable)
    BadDigest,     // a signature whose digest the file's bytes do not match: changed after signing
    DigestMatches, // a signature whose digest the bytes match, whatever Windows thinks of its chain
};

struct Authenticode {
    SignatureVerdict verdict = SignatureVerdict::NotChecked;
    // The signer's certificate as encoded in the signature, when the digest matches.
    std::vector<unsigned char> signer;
};

// Verifies the file's Authenticode signature once, reading it through the handle that holds it,
// and reads the signer's certificate from the same verification. Whether the signer is trusted
// is not asked: that is for Windows and the administrator (the elevation prompt says it). No user
// interface, no revocation check and no network retrieval, so an offline machine never waits.
// The verifier's library is loaded from the system directory alone: the launcher runs elevated,
// often from a folder where anyone may have put a library of the same name.
Authenticode VerifyAuthenticode(const std::wstring &systemDirectory, const std::wstring &path,
                                HANDLE file);

} // namespace platform
