#include "vouching.h"

namespace launcher {

namespace {

constexpr unsigned char kOctetString = 0x04;
constexpr char kSha256[] = "2.16.840.1.101.3.4.2.1";

} // namespace

std::optional<Sha256Digest> ReadMessageDigest(const std::vector<unsigned char> &value) {
    Sha256Digest digest{};
    if (value.size() != 2 + digest.size() || value[0] != kOctetString || value[1] != digest.size())
        return std::nullopt;
    for (std::size_t i = 0; i < digest.size(); ++i)
        digest[i] = value[2 + i];
    return digest;
}

bool SignedDigestIs(const std::string &digestAlgorithm, const std::vector<unsigned char> &value,
                    const Sha256Digest &contentDigest) {
    const std::optional<Sha256Digest> signedDigest = ReadMessageDigest(value);
    return digestAlgorithm == kSha256 && signedDigest && *signedDigest == contentDigest;
}

} // namespace launcher
