#include "vouching_check.h"

#include "media_file.h"
#include "paths.h"
#include "platform/cms_signature.h"
#include "platform/file_digest.h"
#include "platform/running_image.h"
#include "program_image.h"
#include "unlisted_files.h"

namespace launcher {

namespace {

Vouching Refused(ErrorCode error, NotVouchedReason reason, const std::wstring &signer = {}) {
    Vouching refused;
    refused.error = error;
    refused.way = VouchingWay::Refused;
    refused.reason = reason;
    refused.signer = signer;
    return refused;
}

Vouching CheckSignedManifest(const VouchingSubject &subject, const std::string &signature,
                             const std::vector<unsigned char> &signer, const std::wstring &name) {
    if (!subject.manifestBytes)
        return Refused(kErrorSubjectNotTrusted, NotVouchedReason::NoManifest, name);
    const platform::DetachedSignature read = platform::ReadDetachedSignature(
        *subject.systemDirectory, signature, *subject.manifestBytes, signer);
    if (read.error != 0)
        return Refused(read.error, NotVouchedReason::ManifestSignatureBroken, name);
    if (!read.signedByCertificate)
        return Refused(kErrorSubjectNotTrusted, NotVouchedReason::NotTheSigner, name);
    // The platform's verification covers the signed attributes; that the signed digest is the
    // manifest's own is checked here, as not every platform does.
    Sha256Digest digest{};
    const platform::Sha256Hasher hasher(subject.systemDirectory);
    if (hasher.HashBytes(*subject.manifestBytes, digest) != 0)
        return Refused(kErrorNotSupported, NotVouchedReason::LauncherUnchecked, name);
    const std::optional<Sha256Digest> signedDigest =
        SignedSha256(read.digestAlgorithm, read.messageDigest);
    if (!signedDigest)
        return Refused(kErrorSubjectNotTrusted, NotVouchedReason::NoSignedDigest, name);
    if (*signedDigest != digest)
        return Refused(kErrorSubjectNotTrusted, NotVouchedReason::ManifestChanged, name);

    // Every file of the tree is listed: the installer may load or read any of them.
    std::set<platform::FileIdentity> listed = subject.listedFiles;
    if (const auto identity = platform::IdentityOf(subject.launcher->file.handle.Get()))
        listed.insert(*identity); // the running launcher, whatever its name
    const std::vector<UnlistedEntry> unlisted = FindUnlistedFiles(subject.launcherFolder, listed);
    if (!unlisted.empty()) {
        Vouching refused = Refused(kErrorSubjectNotTrusted, NotVouchedReason::UnlistedFile, name);
        refused.unlisted =
            unlisted[0].relativePath.empty() ? subject.launcherFolder : unlisted[0].relativePath;
        return refused;
    }
    Vouching vouched;
    vouched.way = VouchingWay::SignedManifest;
    vouched.signer = name;
    return vouched;
}

} // namespace

LauncherImage HoldRunningLauncher() {
    LauncherImage image;
    const platform::RunningImageFields running = platform::ReadRunningImageFields();
    image.carriesSignature = running.certificateTableSize != 0;
    if (!image.carriesSignature)
        return image; // as every unsigned launcher always has: its own file is not read
    image.path = platform::ReadRunningImagePath();
    if (!image.path.empty())
        image.file = platform::OpenForReading(image.path);
    if (image.path.empty() || image.file.error != 0) {
        image.error = image.path.empty() ? kErrorNotSupported : image.file.error;
        image.reason = NotVouchedReason::LauncherUnchecked;
        return image;
    }
    // Held now, the file cannot be renamed: if it is the image's, it stays the image's.
    const ImageFacts facts = ImageFactsOf(image.file);
    const std::optional<bool> isImage = platform::IsRunningImageFile(image.file.handle.Get());
    if ((isImage && !*isImage) || facts.certificateTableOffset != running.certificateTableOffset ||
        facts.certificateTableSize != running.certificateTableSize ||
        facts.checksum != running.checksum) {
        image.error = kErrorSubjectNotTrusted;
        image.reason = NotVouchedReason::LauncherReplaced;
    }
    return image;
}

LauncherImage OpenLauncherFile(const std::wstring &path) {
    LauncherImage image;
    image.path = path;
    image.file = platform::OpenForReading(path);
    if (image.file.error == ERROR_FILE_NOT_FOUND)
        return image; // no launcher, so none whose signer would have to vouch
    if (image.file.error != 0) {
        image.error = image.file.error;
        image.reason = NotVouchedReason::LauncherUnchecked;
        return image;
    }
    image.carriesSignature = ImageFactsOf(image.file).carriesSignature;
    return image;
}

Vouching CheckVouching(const VouchingSubject &subject) {
    const LauncherImage *launcher = subject.launcher;
    if (launcher == nullptr || (!launcher->carriesSignature && launcher->error == kNoError))
        return {}; // an unsigned launcher asks nothing beyond the checks, as it always has
    if (launcher->error != kNoError)
        return Refused(launcher->error, launcher->reason);
    // A signed launcher never goes on unchecked.
    if (!subject.systemDirectory)
        return Refused(kErrorNotSupported, NotVouchedReason::LauncherUnchecked);
    // The running image says it is signed: its own file must match that signature, or no rule
    // of its can be relied on.
    const platform::Authenticode own = platform::VerifyAuthenticode(
        *subject.systemDirectory, launcher->path, launcher->file.handle.Get());
    switch (own.verdict) {
    case platform::SignatureVerdict::NotChecked:
        return Refused(kErrorNotSupported, NotVouchedReason::LauncherUnchecked);
    case platform::SignatureVerdict::BadDigest:
        return Refused(kErrorInvalidImageHash, NotVouchedReason::LauncherDigest);
    case platform::SignatureVerdict::NoMatch:
        return Refused(kErrorSubjectNotTrusted, NotVouchedReason::LauncherSignature);
    case platform::SignatureVerdict::DigestMatches:
        break;
    }
    // Only told, never compared: a certificate whose subject cannot be read is still compared.
    const std::wstring name = platform::CertificateSubject(*subject.systemDirectory, own.signer);

    const MediaFile signature =
        ReadMediaFile(ExactPath(JoinPath(subject.launcherFolder, kManifestSignatureName)),
                      kLargestManifestSignature);
    if (signature.error != kNoError)
        return Refused(signature.error, NotVouchedReason::ManifestSignatureBroken, name);
    if (signature.bytes)
        return CheckSignedManifest(subject, *signature.bytes, own.signer, name);

    // No signed manifest: data.exe itself must be signed by the launcher's signer.
    const platform::Authenticode &installer = subject.installerSignature;
    if (installer.verdict == platform::SignatureVerdict::NotChecked)
        return Refused(kErrorNotSupported, NotVouchedReason::LauncherUnchecked, name);
    if (installer.verdict != platform::SignatureVerdict::DigestMatches ||
        installer.signer != own.signer)
        return Refused(kErrorSubjectNotTrusted, NotVouchedReason::InstallerNotSigned, name);
    Vouching vouched;
    vouched.way = VouchingWay::SignedInstaller;
    vouched.signer = name;
    return vouched;
}

} // namespace launcher
