#pragma once

// A detached CMS (PKCS #7) signature over bytes, read with the platform's own cryptography
// (crypt32), whose library is loaded from the system directory alone, only when asked.

#include <string>
#include <vector>

#include <windows.h>

namespace platform {

struct DetachedSignature {
    // 0; ERROR_INVALID_DATA when the signature is no DER-encoded CMS signed-data;
    // ERROR_NOT_SUPPORTED when this Windows lacks a function this needs.
    DWORD error = 0;
    // The message has exactly one signer, names it by the issuer and serial number of the
    // certificate given, carries that certificate byte for byte, and the signature over its
    // signed attributes verifies with that certificate's key.
    bool signedByCertificate = false;
    std::string digestAlgorithm; // the signer's digest algorithm (an OID, dotted)
    // The DER encoding of the value of the one signed messageDigest attribute; empty when there
    // is not exactly one such attribute with one value.
    std::vector<unsigned char> messageDigest;
};

// The platform is not trusted to compare the messageDigest attribute with the content (Wine does
// not), so the caller does: it is handed over, with the signer's digest algorithm.
DetachedSignature ReadDetachedSignature(const std::wstring &systemDirectory,
                                        const std::string &signature, const std::string &content,
                                        const std::vector<unsigned char> &certificate);

// The certificate's subject, as "CN=..., O=..."; empty when it cannot be read.
std::wstring CertificateSubject(const std::wstring &systemDirectory,
                                const std::vector<unsigned char> &certificate);

} // namespace platform
