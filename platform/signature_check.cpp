#include "signature_check.h"

#include <softpub.h>
#include <wintrust.h>

#include "launcher/vouching.h"
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

// The error each step of the verification recorded, in step order; none when it kept none. The
// count is the provider's own, bounded.
std::vector<std::uint32_t> StepErrors(const CRYPT_PROVIDER_DATA *data) {
    constexpr DWORD kMostSteps = 64;
    if (data == nullptr || data->padwTrustStepErrors == nullptr)
        return {};
    const DWORD count =
        data->cdwTrustStepErrors < kMostSteps ? data->cdwTrustStepErrors : kMostSteps;
    return std::vector<std::uint32_t>(data->padwTrustStepErrors, data->padwTrustStepErrors + count);
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
    const launcher::DigestVerdict digest =
        launcher::DigestVerdictOf(static_cast<std::uint32_t>(result), StepErrors(provider));
    if (digest == launcher::DigestVerdict::BadDigest) {
        checked.verdict = SignatureVerdict::BadDigest;
    } else if (providerData == nullptr || providerSigner == nullptr) {
        checked.verdict = SignatureVerdict::NotChecked; // the signer cannot be read here
    } else if (digest == launcher::DigestVerdict::DigestMatches) {
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
