#pragma once

// The launcher whose signer must vouch for the media, and the check that it does (the rules in
// vouching.h).

#include <optional>
#include <set>
#include <string>

#include "platform/file_identity.h"
#include "platform/platform_operations.h"
#include "platform/signature_check.h"
#include "vouching.h"

namespace launcher {

// A launcher's file, held open (sharing read access alone, so that it can be neither written nor
// renamed) when it carries a signature, for as long as its holder lives.
struct LauncherImage {
    ErrorCode error = kNoError; // it cannot be judged: the media is refused with this
    NotVouchedReason reason = NotVouchedReason::None;
    bool carriesSignature = false;
    std::wstring path;
    platform::OpenedFile file;
};

// The running launcher's own file. Whether it carries a signature is read from the running
// image's own headers, which no rename can change; the file at its path is then opened and held,
// and must be the file the image was loaded from (see IsRunningImageFile) with the same
// certificate table and checksum: else the media is refused (kErrorSubjectNotTrusted). An unsigned
// launcher opens nothing.
LauncherImage HoldRunningLauncher();

// The launcher.exe of a media folder, as media-check judges it; no launcher.exe: not signed.
LauncherImage OpenLauncherFile(const std::wstring &path);

struct VouchingSubject {
    const std::wstring &launcherFolder;
    const std::optional<std::wstring> &systemDirectory;
    const LauncherImage *launcher;                       // null: none, taken as not signed
    const std::optional<std::string> &manifestBytes;     // SHA256SUMS as read and checked
    const platform::Authenticode &installerSignature;    // data.exe's, from its own check
    const std::set<platform::FileIdentity> &listedFiles; // the held listed files
};

// Whether the media is vouched for by the launcher's signer, when the launcher is signed.
Vouching CheckVouching(const VouchingSubject &subject);

} // namespace launcher
