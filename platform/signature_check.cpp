#include "signature_check.h"

#include <softpub.h>
#include <wintrust.h>

#include "platform_operations.h"

namespace platform {

namespace {

using VerifyTrust = LONG(WINAPI *)(HWND window, GUID *action, LPVOID data);
using ProviderData = CRYPT_PROVIDER_DATA *(WINAPI *)(HANDLE state);
using ProviderSigner = CRYPT_PROVIDER_SGNR *(WINAPI *)(CRYPT_PROVIDER_DATA *data, DWORD signer,
                                                       BOOL counterSigner, DWORD counterIndex);

// Called twice: to verify, then to free what the verification kept.
LONG CallVerifyTrust(VerifyTrust verify, WINTRUST_DATA &data, DWORD stateAction) {
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    data.dwStateAction = stateAction;
    return verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
}

// Verdicts on the signature itself, never on its chain: none of them is a digest that matches.
bool IsSignatureFailure(LONG result) {
    return result == TRUST_E_NOSIGNATURE || result == TRUST_E_BAD_DIGEST ||
           result == TRUST_E_CERT_SIGNATURE || result == TRUST_E_SUBJECT_FORM_UNKNOWN ||
           result == TRUST_E_PROVIDER_UNKNOWN || result == TRUST_E_ACTION_UNKNOWN ||
           result == TRUST_E_NO_SIGNER_CERT || result == static_cast<LONG>(CRYPT_E_HASH_VALUE) ||
           result == static_cast<LONG>(NTE_BAD_SIGNATURE) ||
           result == static_cast<LONG>(CRYPT_E_FILE_ERROR);
}

// Every step up to and including the signature provider's reported no error: the message was
// loaded, the file's digest compared with the signed one and the signature over it verified.
// Only the certificate and policy steps, which judge the chain, come after.
bool PassedTheDigestSteps(const CRYPT_PROVIDER_DATA &data) {
    if (data.padwTrustStepErrors == nullptr ||
        data.cdwTrustStepErrors <= TRUSTERROR_STEP_FINAL_SIGPROV)
        return false;
    for (DWORD step = 0; step <= TRUSTERROR_STEP_FINAL_SIGPROV; ++step)
        if (data.padwTrustStepErrors[step] != 0)
            return false;
    return true;
}

// The first signer's certificate, copied before the state that holds it is freed.
std::vector<unsigned char> SignerCertificate(CRYPT_PROVIDER_DATA *data, ProviderSigner signerOf) {
    const CRYPT_PROVIDER_SGNR *signer = data == nullptr ? nullptr : signerOf(data, 0, FALSE, 0);
    if (signer == nullptr || signer->csCertChain == 0 || signer->pasCertChain == nullptr)
        return {};
    const CERT_CONTEXT *certificate = signer->pasCertChain[0].pCert;
    if (certificate == nullptr || certificate->pbCertEncoded == nullptr)
        return {};
    return std::vector<unsigned char>(certificate->pbCertEncoded,
                                      certificate->pbCertEncoded + certificate->cbCertEncoded);
}

} // namespace

Authenticode VerifyAuthenticode(const std::wstring &systemDirectory, const std::wstring &path,
                                HANDLE file) {
    const FreeLibraryOwner wintrust = LoadSystemLibrary(systemDirectory, L"wintrust.dll");
    const auto verify = LibraryFunction<VerifyTrust>(wintrust.Get(), "WinVerifyTrust");
    const auto providerData =
        LibraryFunction<ProviderData>(wintrust.Get(), "WTHelperProvDataFromStateData");
    const auto providerSigner =
        LibraryFunction<ProviderSigner>(wintrust.Get(), "WTHelperGetProvSignerFromChain");
    Authenticode checked;
    if (verify == nullptr)
        return checked;

    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = path.c_str();
    fileInfo.hFile = file; // the very file that was checked so far
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
    const LONG result = CallVerifyTrust(verify, data, WTD_STATEACTION_VERIFY);
    // Windows answers an untrusted root, an expired or a wrong-usage certificate with the chain's
    // verdict, not 0 (Wine answers 0): such a signature still has a digest that matches when the
    // steps before the chain's passed, so its signer is read all the same.
    CRYPT_PROVIDER_DATA *provider = providerData != nullptr && data.hWVTStateData != nullptr
                                        ? providerData(data.hWVTStateData)
                                        : nullptr;
    if (result == TRUST_E_BAD_DIGEST) {
        checked.verdict = SignatureVerdict::BadDigest;
    } else if (providerData == nullptr || providerSigner == nullptr) {
        checked.verdict = SignatureVerdict::NotChecked; // the digest matches; the signer is unknown
    } else if (result == 0 || (!IsSignatureFailure(result) && provider != nullptr &&
                               PassedTheDigestSteps(*provider))) {
        checked.signer = SignerCertificate(provider, providerSigner);
        checked.verdict =
            checked.signer.empty() ? SignatureVerdict::NoMatch : SignatureVerdict::DigestMatches;
    } else {
        checked.verdict = SignatureVerdict::NoMatch;
    }
    CallVerifyTrust(verify, data, WTD_STATEACTION_CLOSE);
    return checked;
}

} // namespace platform
