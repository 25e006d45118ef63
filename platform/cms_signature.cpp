#include "cms_signature.h"

#include <cstring>

#include <wincrypt.h>

#include "platform_operations.h"

namespace platform {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

using OpenToDecode = HCRYPTMSG(WINAPI *)(DWORD encoding, DWORD flags, DWORD type,
                                         HCRYPTPROV_LEGACY provider, PCERT_INFO recipient,
                                         PCMSG_STREAM_INFO stream);
using Update = BOOL(WINAPI *)(HCRYPTMSG message, const BYTE *data, DWORD size, BOOL final);
using GetParam = BOOL(WINAPI *)(HCRYPTMSG message, DWORD type, DWORD index, void *data,
                                DWORD *size);
using Control = BOOL(WINAPI *)(HCRYPTMSG message, DWORD flags, DWORD type, const void *para);
using Close = BOOL(WINAPI *)(HCRYPTMSG message);
using CreateContext = PCCERT_CONTEXT(WINAPI *)(DWORD encoding, const BYTE *bytes, DWORD size);
using FreeContext = BOOL(WINAPI *)(PCCERT_CONTEXT certificate);
using NameToString = DWORD(WINAPI *)(DWORD encoding, PCERT_NAME_BLOB name, DWORD type, LPWSTR text,
                                     DWORD size);

struct Crypt32 {
    FreeLibraryOwner library;
    OpenToDecode open = nullptr;
    Update update = nullptr;
    GetParam getParam = nullptr;
    Control control = nullptr;
    Close close = nullptr;
    CreateContext createContext = nullptr;
    FreeContext freeContext = nullptr;
    NameToString nameToString = nullptr;

    explicit Crypt32(const std::wstring &systemDirectory)
        : library(LoadSystemLibrary(systemDirectory, L"crypt32.dll")) {
        const HMODULE module = library.Get();
        open = LibraryFunction<OpenToDecode>(module, "CryptMsgOpenToDecode");
        update = LibraryFunction<Update>(module, "CryptMsgUpdate");
        getParam = LibraryFunction<GetParam>(module, "CryptMsgGetParam");
        control = LibraryFunction<Control>(module, "CryptMsgControl");
        close = LibraryFunction<Close>(module, "CryptMsgClose");
        createContext = LibraryFunction<CreateContext>(module, "CertCreateCertificateContext");
        freeContext = LibraryFunction<FreeContext>(module, "CertFreeCertificateContext");
        nameToString = LibraryFunction<NameToString>(module, "CertNameToStrW");
    }
    bool Complete() const {
        return open && update && getParam && control && close && createContext && freeContext &&
               nameToString;
    }
};

// A decoded message and a certificate context, each handed back to crypt32 when done.
class Message {
  public:
    Message(const Crypt32 &crypt32, HCRYPTMSG message) : crypt32_(crypt32), message_(message) {}
    ~Message() {
        if (message_ != nullptr)
            crypt32_.close(message_);
    }
    Message(const Message &) = delete;
    Message &operator=(const Message &) = delete;
    HCRYPTMSG Get() const { return message_; }

    // A parameter's bytes; empty when the message has none of that kind.
    std::vector<unsigned char> Param(DWORD type, DWORD index) const {
        DWORD size = 0;
        if (!crypt32_.getParam(message_, type, index, nullptr, &size) || size == 0)
            return {};
        std::vector<unsigned char> bytes(size);
        if (!crypt32_.getParam(message_, type, index, bytes.data(), &size))
            return {};
        bytes.resize(size);
        return bytes;
    }
    std::optional<DWORD> Number(DWORD type) const {
        DWORD value = 0, size = sizeof value;
        if (!crypt32_.getParam(message_, type, 0, &value, &size))
            return std::nullopt;
        return value;
    }

  private:
    const Crypt32 &crypt32_;
    HCRYPTMSG message_;
};

class Certificate {
  public:
    Certificate(const Crypt32 &crypt32, const std::vector<unsigned char> &bytes)
        : crypt32_(crypt32),
          context_(bytes.empty() ? nullptr
                                 : crypt32.createContext(X509_ASN_ENCODING, bytes.data(),
                                                         static_cast<DWORD>(bytes.size()))) {}
    ~Certificate() {
        if (context_ != nullptr)
            crypt32_.freeContext(context_);
    }
    Certificate(const Certificate &) = delete;
    Certificate &operator=(const Certificate &) = delete;
    PCCERT_CONTEXT Get() const { return context_; }

  private:
    const Crypt32 &crypt32_;
    PCCERT_CONTEXT context_;
};

bool SameBlob(const CRYPT_INTEGER_BLOB &one, const CRYPT_INTEGER_BLOB &other) {
    return one.cbData == other.cbData &&
           (one.cbData == 0 || std::memcmp(one.pbData, other.pbData, one.cbData) == 0);
}

// The message carries the certificate byte for byte among its certificates.
bool CarriesCertificate(const Message &message, const std::vector<unsigned char> &certificate) {
    const std::optional<DWORD> count = message.Number(CMSG_CERT_COUNT_PARAM);
    for (DWORD index = 0; count && index < *count; ++index)
        if (message.Param(CMSG_CERT_PARAM, index) == certificate)
            return true;
    return false;
}

// The one signer is named by the certificate's issuer and serial number, and its signature
// verifies with the certificate's key.
bool SignedBy(const Crypt32 &crypt32, const Message &message, const Certificate &certificate) {
    const std::vector<unsigned char> named = message.Param(CMSG_SIGNER_CERT_INFO_PARAM, 0);
    if (named.size() < sizeof(CERT_INFO))
        return false;
    const auto *signerId = reinterpret_cast<const CERT_INFO *>(named.data());
    const CERT_INFO *own = certificate.Get()->pCertInfo;
    if (!SameBlob(signerId->Issuer, own->Issuer) ||
        !SameBlob(signerId->SerialNumber, own->SerialNumber))
        return false;
    CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA verify = {};
    verify.cbSize = sizeof verify;
    verify.dwSignerIndex = 0;
    verify.dwSignerType = CMSG_VERIFY_SIGNER_CERT;
    verify.pvSigner = const_cast<CERT_CONTEXT *>(certificate.Get());
    return crypt32.control(message.Get(), 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &verify) != FALSE;
}

// The value of the one messageDigest attribute among the signer's signed attributes.
std::vector<unsigned char> MessageDigestValue(const Message &message) {
    const std::vector<unsigned char> bytes = message.Param(CMSG_SIGNER_AUTH_ATTR_PARAM, 0);
    if (bytes.size() < sizeof(CRYPT_ATTRIBUTES))
        return {};
    const auto *attributes = reinterpret_cast<const CRYPT_ATTRIBUTES *>(bytes.data());
    const CRYPT_ATTRIBUTE *found = nullptr;
    for (DWORD i = 0; i < attributes->cAttr; ++i) {
        const CRYPT_ATTRIBUTE &attribute = attributes->rgAttr[i];
        if (attribute.pszObjId == nullptr ||
            std::strcmp(attribute.pszObjId, szOID_PKCS_9_MESSAGE_DIGEST) != 0)
            continue;
        if (found != nullptr || attribute.cValue != 1)
            return {}; // two of them, or not one value: which would count?
        found = &attribute;
    }
    if (found == nullptr)
        return {};
    const CRYPT_ATTR_BLOB &value = found->rgValue[0];
    return std::vector<unsigned char>(value.pbData, value.pbData + value.cbData);
}

std::string DigestAlgorithm(const Message &message) {
    const std::vector<unsigned char> bytes = message.Param(CMSG_SIGNER_INFO_PARAM, 0);
    if (bytes.size() < sizeof(CMSG_SIGNER_INFO))
        return {};
    const char *oid =
        reinterpret_cast<const CMSG_SIGNER_INFO *>(bytes.data())->HashAlgorithm.pszObjId;
    return oid == nullptr ? std::string() : std::string(oid);
}

} // namespace

DetachedSignature ReadDetachedSignature(const std::wstring &systemDirectory,
                                        const std::string &signature, const std::string &content,
                                        const std::vector<unsigned char> &certificate) {
    DetachedSignature read;
    const Crypt32 crypt32(systemDirectory);
    if (!crypt32.Complete()) {
        read.error = ERROR_NOT_SUPPORTED;
        return read;
    }
    const Message message(crypt32,
                          crypt32.open(kEncoding, CMSG_DETACHED_FLAG, 0, 0, nullptr, nullptr));
    if (message.Get() == nullptr) {
        read.error = ERROR_NOT_SUPPORTED;
        return read;
    }
    const auto *signatureBytes = reinterpret_cast<const BYTE *>(signature.data());
    if (signature.empty() ||
        !crypt32.update(message.Get(), signatureBytes, static_cast<DWORD>(signature.size()),
                        TRUE) ||
        message.Number(CMSG_TYPE_PARAM) != std::optional<DWORD>(CMSG_SIGNED)) {
        read.error = ERROR_INVALID_DATA;
        return read;
    }
    // The detached content, so that a platform that compares the digest itself (Windows) can.
    const auto *contentBytes = reinterpret_cast<const BYTE *>(content.data());
    if (!crypt32.update(message.Get(), contentBytes, static_cast<DWORD>(content.size()), TRUE))
        return read;
    const Certificate own(crypt32, certificate);
    read.signedByCertificate = own.Get() != nullptr &&
                               message.Number(CMSG_SIGNER_COUNT_PARAM) == std::optional<DWORD>(1) &&
                               CarriesCertificate(message, certificate) &&
                               SignedBy(crypt32, message, own);
    read.digestAlgorithm = DigestAlgorithm(message);
    read.messageDigest = MessageDigestValue(message);
    return read;
}

std::wstring CertificateSubject(const std::wstring &systemDirectory,
                                const std::vector<unsigned char> &certificate) {
    const Crypt32 crypt32(systemDirectory);
    if (!crypt32.Complete())
        return {};
    const Certificate context(crypt32, certificate);
    if (context.Get() == nullptr)
        return {};
    CERT_NAME_BLOB &subject = context.Get()->pCertInfo->Subject;
    const DWORD type = CERT_X500_NAME_STR;
    const DWORD size = crypt32.nameToString(X509_ASN_ENCODING, &subject, type, nullptr, 0);
    if (size <= 1)
        return {};
    std::wstring text(size, L'\0');
    crypt32.nameToString(X509_ASN_ENCODING, &subject, type, &text[0], size);
    text.resize(size - 1);
    return text;
}

} // namespace platform
