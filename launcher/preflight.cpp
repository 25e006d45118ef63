#include "preflight.h"

#include "manifest.h"
#include "media_file.h"
#include "paths.h"
#include "platform/file_digest.h"
#include "platform/platform_operations.h"
#include "platform/signature_check.h"
#include "program_image.h"
#include "reached_paths.h"
#include "vouching_check.h"

namespace launcher {

namespace {

constexpr wchar_t kInstallerName[] = L"data.exe", kSilentResponseName[] = L"setup.iss";

// Tells the listener, when there is one, and passes the error on.
class Checks {
  public:
    explicit Checks(CheckListener *listener) : listener_(listener) {}
    ErrorCode Tell(CheckStep step, const std::wstring &subject, bool applies, ErrorCode error) {
        if (listener_ != nullptr)
            listener_->Checked(step, subject, applies, error);
        return error;
    }

  private:
    CheckListener *listener_;
};

// Hashes a listed file through the handle that then holds it: what was hashed is what stays,
// reached by its listed name alone.
ErrorCode CheckListedFile(const std::wstring &launcherFolder, const std::wstring &folderReached,
                          const ManifestEntry &entry, const platform::OpenedFile &installer,
                          const platform::Sha256Hasher &hasher, CheckedMedia &held) {
    Sha256Digest digest{};
    ErrorCode error;
    if (NamesInstaller(entry)) { // the very bytes that will be started, held already
        error = CheckReachedByName(installer.handle.Get(), folderReached, RelativePath(entry));
        if (error == kNoError)
            error = hasher.HashFile(installer.handle.Get(), installer.size, digest);
        if (const auto identity = platform::IdentityOf(installer.handle.Get()))
            held.listedIdentities.insert(*identity);
    } else {
        platform::OpenedFile file =
            platform::OpenForReading(ExactPath(JoinPath(launcherFolder, RelativePath(entry))));
        error = file.error != 0
                    ? file.error
                    : CheckReachedByName(file.handle.Get(), folderReached, RelativePath(entry));
        if (error == kNoError)
            error = hasher.HashFile(file.handle.Get(), file.size, digest);
        if (file.error == 0) {
            if (const auto identity = platform::IdentityOf(file.handle.Get()))
                held.listedIdentities.insert(*identity);
            held.listedFiles.push_back(std::move(file.handle));
        }
    }
    if (error != kNoError)
        return error;
    return digest == entry.digest ? kNoError : kErrorCrc;
}

// Every file the manifest lists, when there is one, has the SHA-256 it lists.
ErrorCode CheckManifest(const std::wstring &launcherFolder, const platform::OpenedFile &installer,
                        const std::optional<std::wstring> &systemDirectory, Checks &checks,
                        CheckedMedia &held, std::optional<std::string> &manifestBytes) {
    const MediaFile file =
        ReadMediaFile(ExactPath(JoinPath(launcherFolder, kManifestName)), kLargestManifest);
    manifestBytes = file.bytes;
    if (file.error != kNoError || !file.bytes)
        return checks.Tell(CheckStep::Manifest, kManifestName,
                           file.bytes.has_value() || file.error != kNoError, file.error);
    const Manifest manifest = ParseManifest(*file.bytes);
    if (manifest.error != kNoError)
        return checks.Tell(CheckStep::Manifest, kManifestName, true, manifest.error);
    const platform::Sha256Hasher hasher(systemDirectory);
    if (!hasher.IsAvailable())
        return checks.Tell(CheckStep::Manifest, kManifestName, true, kErrorNotSupported);
    checks.Tell(CheckStep::Manifest, kManifestName, true, kNoError);
    // Resolved once: every listed file is then reached by the same folder, or refused.
    const std::wstring folderReached = platform::FinalPathOfFolder(ExactPath(launcherFolder));
    for (const ManifestEntry &entry : manifest.entries) {
        const ErrorCode error = checks.Tell(
            CheckStep::ListedFile, RelativePath(entry), true,
            CheckListedFile(launcherFolder, folderReached, entry, installer, hasher, held));
        if (error != kNoError)
            return error;
    }
    return kNoError;
}

// The platform's own answer is asked of the path the held file is started by: it speaks of the
// file that was checked.
ErrorCode CheckProgram(const std::wstring &installerPath, const std::wstring &startPath,
                       const platform::OpenedFile &installer, const CheckConditions &conditions,
                       Checks &checks, platform::Authenticode &signature) {
    const ImageFacts facts = ImageFactsOf(installer);
    MachineAnswers machines;
    machines.is64BitWindows = conditions.is64BitWindows;
    if (conditions.askWindows)
        machines =
            platform::AskMachineAnswers(conditions.is64BitWindows, MachineCode(facts.machine));
    // What the headers say is decided before the platform is asked.
    ErrorCode error = ImageError(facts, machines);
    if (error == kNoError)
        error = BinaryTypeError(platform::BinaryType(startPath));
    if (checks.Tell(CheckStep::Program, kInstallerName, true, error) != kNoError)
        return error;

    const bool verifiable = facts.carriesSignature && conditions.systemDirectory.has_value();
    if (verifiable)
        signature = platform::VerifyAuthenticode(*conditions.systemDirectory, installerPath,
                                                 installer.handle.Get());
    else if (conditions.systemDirectory)
        signature.verdict = platform::SignatureVerdict::NoMatch; // no signature
    const bool badDigest = signature.verdict == platform::SignatureVerdict::BadDigest;
    return checks.Tell(CheckStep::Signature, kInstallerName, verifiable,
                       badDigest ? kErrorInvalidImageHash : kNoError);
}

// A signed launcher's signer vouches for the media.
ErrorCode CheckVouchedFor(const std::wstring &launcherFolder, const CheckConditions &conditions,
                          const std::optional<std::string> &manifestBytes,
                          const platform::Authenticode &installerSignature,
                          const CheckedMedia &checked, CheckListener *listener, Checks &checks) {
    const Vouching vouching =
        CheckVouching({launcherFolder, conditions.systemDirectory, conditions.launcher,
                       manifestBytes, installerSignature, checked.listedIdentities});
    if (listener != nullptr)
        listener->Vouched(vouching);
    return checks.Tell(CheckStep::Vouching, L"launcher.exe",
                       vouching.way != VouchingWay::LauncherNotSigned, vouching.error);
}

} // namespace

CheckedMedia CheckBeforeChanges(const std::wstring &launcherFolder,
                                const CheckConditions &conditions, CheckListener *listener) {
    Checks checks(listener);
    CheckedMedia checked;
    const std::wstring installerPath = JoinPath(launcherFolder, kInstallerName);
    platform::OpenedFile installer = platform::OpenForReading(installerPath);
    const StartPath start = installer.error != 0
                                ? StartPath{installer.error, {}}
                                : DecideStartPath(installerPath, installer.handle.Get());
    checked.error = checks.Tell(CheckStep::Installer, kInstallerName, true, start.error);
    if (checked.error != kNoError)
        return checked;
    std::optional<std::string> manifestBytes;
    checked.error = CheckManifest(launcherFolder, installer, conditions.systemDirectory, checks,
                                  checked, manifestBytes);
    if (checked.error != kNoError)
        return checked;
    platform::Authenticode installerSignature;
    checked.error =
        CheckProgram(installerPath, start.path, installer, conditions, checks, installerSignature);
    if (checked.error != kNoError)
        return checked;
    checked.error = CheckVouchedFor(launcherFolder, conditions, manifestBytes, installerSignature,
                                    checked, listener, checks);
    if (checked.error != kNoError)
        return checked;
    // This installer engine's silent run cannot succeed without its response file.
    const bool silent = conditions.mode == LaunchMode::Silent;
    const bool responseThere =
        !silent || platform::IsExistingFile(JoinPath(launcherFolder, kSilentResponseName));
    checked.error = checks.Tell(CheckStep::ResponseFile, kSilentResponseName, silent,
                                responseThere ? kNoError : kErrorFileNotFound);
    if (checked.error == kNoError) {
        checked.installer = std::move(installer.handle);
        checked.installerStartPath = start.path;
    }
    return checked;
}

} // namespace launcher
