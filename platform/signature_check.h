#pragma once

#include <string>

#include <windows.h>

namespace platform {

// True when the file carries an Authenticode signature whose digest its bytes do not match: it
// was changed after it was signed. Whether the signer is trusted is not asked: that is for
// Windows and the administrator. No user interface, no revocation check and no network
// retrieval, so an offline machine never waits. False whenever the check cannot run.
// The verifier's library is loaded from the system directory alone: the launcher runs elevated,
// often from a folder where anyone may have put a library of the same name.
bool HasBadDigest(const std::wstring &systemDirectory, const std::wstring &path, HANDLE file);

} // namespace platform
