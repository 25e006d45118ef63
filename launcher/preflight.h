#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include "commands.h"
#include "error_codes.h"
#include "platform/file_identity.h"
#include "platform/handle_owner.h"
#include "vouching.h"

namespace launcher {

struct LauncherImage;

// The conditions the media is checked for.
struct CheckConditions {
    LaunchMode mode = LaunchMode::Silent;
    bool is64BitWindows = false;
    // Ask this Windows which machines it runs; false when checking for a kind of Windows named
    // by the caller, which the headers' own rule then decides.
    bool askWindows = true;
    // Where the platform's libraries are loaded from; nothing when unknown.
    std::optional<std::wstring> systemDirectory;
    // The launcher whose signer must vouch for the media when it is signed (vouching_check.h),
    // held by the caller until the installer's wait has ended; null: none.
    const LauncherImage *launcher = nullptr;
};

enum class CheckStep {
    Installer,    // data.exe is there as a file
    Manifest,     // SHA256SUMS, when there is one, is well formed
    ListedFile,   // a file the manifest lists has the SHA-256 it lists
    Program,      // data.exe is a whole program this Windows starts
    Signature,    // data.exe's bytes match its signature, when it has one
    Vouching,     // a signed launcher's signer vouches for the media
    ResponseFile, // setup.iss is there as a file, for a silent run
};

// Told of every check as it is decided, in order; the last one told of a failure decides.
class CheckListener {
  public:
    virtual ~CheckListener() = default;
    // `applies` is false for a check that has nothing to look at: no manifest, no signature (or
    // none that can be verified here), no silent run.
    virtual void Checked(CheckStep step, const std::wstring &subject, bool applies,
                         ErrorCode error) = 0;
    // How the media is vouched for, told just before the Vouching step is.
    virtual void Vouched(const Vouching &) {}
};

// The media as it was checked, held: data.exe from its first check, and every other file the
// manifest lists from its own check, each open for reading and sharing read access alone. While
// they are held no program can write, replace, rename or delete them (and, on Windows, rename a
// folder above them), so the uninstaller, the installer and anything else that runs meanwhile
// read exactly the bytes that were checked. A program that opens one of them denying read sharing,
// or asking for write access, is refused with ERROR_SHARING_VIOLATION meanwhile. The checks fill
// it and the installer stage consumes it: held until the installer's wait has ended.
struct CheckedMedia {
    ErrorCode error = kNoError;
    platform::CloseHandleOwner installer;
    // The path the held data.exe is started by, decided while it was checked (DecideStartPath).
    std::wstring installerStartPath;
    std::vector<platform::CloseHandleOwner> listedFiles; // data.exe not again
    // Which files the manifest's names reached, data.exe among them: what is in the media's tree
    // and none of these is unlisted, whatever its name.
    std::set<platform::FileIdentity> listedIdentities;
};

// Everything the new installation needs, checked before anything changes: an earlier
// installation removed without a new one to follow leaves no product at all. In order, the
// first failure deciding:
// - data.exe is beside the launcher as a file (else ERROR_FILE_NOT_FOUND, or the error that
//   kept it from being opened for reading: 32 while another program writes it, 5 without
//   rights), and the path it will be started by is known to reach it (else
//   ERROR_CANT_RESOLVE_FILENAME; see DecideStartPath);
// - when SHA256SUMS is beside the launcher: it is well formed (else ERROR_INVALID_DATA), the
//   platform has SHA-256 (else ERROR_NOT_SUPPORTED), and every file it lists is there as a file
//   (else ERROR_FILE_NOT_FOUND), reached by its listed name with no link, junction or mount point
//   on the way below the launcher's folder (else ERROR_INVALID_DATA; see CheckReachedByName),
//   and its SHA-256 is the one listed (else ERROR_CRC);
// - data.exe is a program this Windows can start, and whole (see ProgramError);
// - when it is signed, its bytes match its signature (else ERROR_INVALID_IMAGE_HASH); the
//   signature is checked only where the system directory is known;
// - when the launcher is signed, its signer vouches for the media (see vouching.h; else
//   TRUST_E_SUBJECT_NOT_TRUSTED, or 13 for a SHA256SUMS.p7s that is no signature, 50 where this
//   Windows cannot check it, 577 when the launcher's own bytes do not match its signature);
// - in silent mode, setup.iss is beside the launcher as a file (else ERROR_FILE_NOT_FOUND).
// A read that fails ends the checks with its error.
CheckedMedia CheckBeforeChanges(const std::wstring &launcherFolder,
                                const CheckConditions &conditions,
                                CheckListener *listener = nullptr);

} // namespace launcher
