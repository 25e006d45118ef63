#include "vouching.h"

namespace launcher {

namespace {

constexpr std::uint32_t kBadDigest = 0x80096010; // TRUST_E_BAD_DIGEST
// The verifier's verdicts on the signature itself: none of them is a digest that matches.
constexpr std::uint32_t kSignatureVerdicts[] = {
    0x800B0100, // TRUST_E_NOSIGNATURE
    0x80096004, // TRUST_E_CERT_SIGNATURE
    0x800B0003, // TRUST_E_SUBJECT_FORM_UNKNOWN
    0x800B0001, // TRUST_E_PROVIDER_UNKNOWN
    0x800B0002, // TRUST_E_ACTION_UNKNOWN
    0x80096002, // TRUST_E_NO_SIGNER_CERT
    0x80091007, // CRYPT_E_HASH_VALUE
    0x80090006, // NTE_BAD_SIGNATURE
    0x80092003, // CRYPT_E_FILE_ERROR
};
constexpr std::size_t kFinalSignatureStep = 33; // TRUSTERROR_STEP_FINAL_SIGPROV

constexpr unsigned char kOctetString = 0x04;
constexpr char kSha256[] = "2.16.840.1.101.3.4.2.1";

} // namespace

DigestVerdict DigestVerdictOf(std::uint32_t result, const std::vector<std::uint32_t> &stepErrors) {
    if (result == 0)
        return DigestVerdict::DigestMatches;
    if (result == kBadDigest)
        return DigestVerdict::BadDigest;
    for (const std::uint32_t verdict : kSignatureVerdicts)
        if (result == verdict)
            return DigestVerdict::NoMatch;
    if (stepErrors.size() <= kFinalSignatureStep)
        return DigestVerdict::NoMatch; // the signature's own steps are not all known
    for (std::size_t step = 0; step <= kFinalSignatureStep; ++step)
        if (stepErrors[step] != 0)
            return DigestVerdict::NoMatch;
    return DigestVerdict::DigestMatches;
}

std::optional<Sha256Digest> ReadMessageDigest(const std::vector<unsigned char> &value) {
    Sha256Digest digest{};
    if (value.size() != 2 + digest.size() || value[0] != kOctetString || value[1] != digest.size())
        return std::nullopt;
    for (std::size_t i = 0; i < digest.size(); ++i)
        digest[i] = value[2 + i];
    return digest;
}

std::optional<Sha256Digest> SignedSha256(const std::string &digestAlgorithm,
                                         const std::vector<unsigned char> &value) {
    if (digestAlgorithm != kSha256)
        return std::nullopt;
    return ReadMessageDigest(value);
}

} // namespace launcher
