#include "signature_check.h"

#include <softpub.h>
#include <wintrust.h>

#include "platform_operations.h"

namespace platform {

namespace {

using VerifyTrust = LONG(WINAPI *)(HWND window, GUID *action, LPVOID data);

// Called twice: to verify, then to free what the verification kept.
LONG CallVerifyTrust(VerifyTrust verify, WINTRUST_DATA &data, DWORD stateAction) {
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    data.dwStateAction = stateAction;
    return verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
}

} // namespace

bool HasBadDigest(const std::wstring &systemDirectory, const std::wstring &path, HANDLE file) {
    const FreeLibraryOwner wintrust = LoadSystemLibrary(systemDirectory, L"wintrust.dll");
    if (!wintrust.IsOpen())
        return false;
    const auto verify = LibraryFunction<VerifyTrust>(wintrust.Get(), "WinVerifyTrust");
    if (verify == nullptr)
        return false;

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
    CallVerifyTrust(verify, data, WTD_STATEACTION_CLOSE);
    return result == TRUST_E_BAD_DIGEST;
}

} // namespace platform
