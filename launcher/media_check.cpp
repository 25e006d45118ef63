// media-check: checks a media folder exactly as the launcher checks its own folder before
// anything changes, and tells what it found. It changes nothing and starts nothing.
//
//   media-check.exe [--interactive] [--windows=32|64] [--] FOLDER
//
// Checks for a silent run (--interactive: an interactive one) on this Windows, or on the kind
// named. Prints one line per check and a verdict (in UTF-16 to a console, else in UTF-8, so that
// any folder's name reads as it is), and exits with the code the launcher would
// exit with before anything changes: 0 when it would go on. With a SHA256SUMS it then names
// every file the manifest does not list: the launcher never checks those. Wrong usage: 87
// (ERROR_INVALID_PARAMETER); a FOLDER that does not exist or is no folder: 3
// (ERROR_PATH_NOT_FOUND), with nothing checked.

#include <cstdio>
#include <set>
#include <string>

#include <windows.h>

#include "commands.h"
#include "launch.h"
#include "paths.h"
#include "platform/platform_operations.h"
#include "platform/report_output.h"
#include "preflight.h"
#include "unlisted_files.h"
#include "vouching_check.h"

using namespace launcher;

namespace {

constexpr int kUsageError = 87;  // ERROR_INVALID_PARAMETER
constexpr int kNoSuchFolder = 3; // ERROR_PATH_NOT_FOUND

std::wstring Describe(ErrorCode error) {
    switch (error) {
    case kErrorFileNotFound:
        return L"missing, or not a file";
    case kErrorInvalidData:
        return L"malformed";
    case kErrorCrc:
        return L"its SHA-256 differs from the one listed";
    case kErrorNotSupported:
        return L"SHA-256 is not available on this Windows";
    case kErrorBadExeFormat:
        return L"not a program Windows starts";
    case kErrorMachineMismatch:
        return L"built for a machine this Windows does not run";
    case kErrorInvalidImageHash:
        return L"its bytes do not match its signature";
    case kErrorFileCorrupt:
        return L"cut short";
    case kErrorUnresolvedPath:
        return L"the path Windows reaches it by cannot be told";
    case kErrorSubjectNotTrusted:
        return L"the subject is not trusted for the specified action";
    case 5:
        return L"access denied";
    case 32:
        return L"in use by another program";
    default:
        return L"cannot be read";
    }
}

std::wstring Number(ErrorCode error) {
    return std::to_wstring(error);
}

// The first entry on the way to a listed file that is a link, junction or mount point; empty when
// none is (the file was listed by its short name, or the link has gone meanwhile).
std::wstring LinkOnTheWay(const std::wstring &folder, const std::wstring &relativePath) {
    for (std::size_t end = relativePath.find(L'\\');; end = relativePath.find(L'\\', end + 1)) {
        const std::wstring entry = relativePath.substr(0, end);
        const DWORD attributes = platform::ReadAttributes(ExactPath(JoinPath(folder, entry)));
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return entry;
        if (end == std::wstring::npos)
            return {};
    }
}

std::wstring Reason(const Vouching &vouching) {
    switch (vouching.reason) {
    case NotVouchedReason::None:
        break;
    case NotVouchedReason::LauncherUnchecked:
        return L"launcher.exe cannot be read or its signature checked here";
    case NotVouchedReason::LauncherReplaced:
        return L"the file at the launcher's path is not the one it was started from";
    case NotVouchedReason::LauncherDigest:
        return L"launcher.exe's bytes do not match its signature";
    case NotVouchedReason::LauncherSignature:
        return L"launcher.exe's signature does not verify";
    case NotVouchedReason::InstallerNotSigned:
        return L"there is no SHA256SUMS.p7s, and data.exe is not signed by it";
    case NotVouchedReason::NoManifest:
        return L"SHA256SUMS.p7s is there without a SHA256SUMS";
    case NotVouchedReason::ManifestSignatureBroken:
        return L"SHA256SUMS.p7s is no signature";
    case NotVouchedReason::NotTheSigner:
        return L"SHA256SUMS.p7s is not signed by it";
    case NotVouchedReason::NoSignedDigest:
        return L"SHA256SUMS.p7s signs no SHA-256 digest of it among signed attributes";
    case NotVouchedReason::ManifestChanged:
        return L"SHA256SUMS is not what SHA256SUMS.p7s signed";
    case NotVouchedReason::UnlistedFile:
        return vouching.unlisted + L" is not listed in SHA256SUMS";
    }
    return L"";
}

// The launcher's signer and how the media is vouched for by it.
std::wstring VouchingLine(const Vouching &vouching) {
    if (vouching.way == VouchingWay::LauncherNotSigned)
        return L"launcher.exe is not signed: nothing beyond these checks is vouched for";
    const std::wstring launcher = vouching.signer.empty()
                                      ? std::wstring(L"launcher.exe carries a signature")
                                      : L"launcher.exe is signed by " + vouching.signer;
    switch (vouching.way) {
    case VouchingWay::SignedManifest:
        return launcher + L": the media is vouched for by it: yes, SHA256SUMS.p7s signs SHA256SUMS,"
                          L" which lists every file";
    case VouchingWay::SignedInstaller:
        return launcher + L": the media is vouched for by it: yes, data.exe is signed by it"
                          L" (no SHA256SUMS.p7s: nothing else is vouched for)";
    default:
        return launcher + L": the media is vouched for by it: no: " + Reason(vouching) + L" (" +
               Number(vouching.error) + L")";
    }
}

class PrintingListener : public CheckListener {
  public:
    explicit PrintingListener(const std::wstring &folder) : folder_(folder) {}

    void Checked(CheckStep step, const std::wstring &subject, bool applies,
                 ErrorCode error) override {
        if (error != kNoError)
            failure_ = DescribeFailure(step, subject, error);
        const std::wstring result =
            error == kNoError ? L"yes" : L"no: " + failure_ + L" (" + Number(error) + L")";
        Remember(step, applies, error);
        switch (step) {
        case CheckStep::Installer:
            Print(subject + L" is there as a file: " + result);
            break;
        case CheckStep::Manifest:
            Print(applies ? subject + L" is well formed and can be checked: " + result
                          : subject + L": none, so no file is checked against one");
            break;
        case CheckStep::ListedFile:
            Print(L"  " + subject + L" has the SHA-256 listed: " + result);
            break;
        case CheckStep::Program:
            Print(subject + L" is a whole program this Windows starts: " + result);
            break;
        case CheckStep::Signature:
            Print(applies ? subject + L" matches its signature: " + result
                          : subject + L" carries no signature to check");
            break;
        case CheckStep::Vouching:
            Print(VouchingLine(vouching_));
            break;
        case CheckStep::ResponseFile:
            Print(applies ? subject + L" is there as a file: " + result
                          : subject + L" is not needed for an interactive run");
            break;
        }
    }

    void Vouched(const Vouching &vouching) override { vouching_ = vouching; }

    static void Print(const std::wstring &line) { platform::WriteReportLine(line); }

    // Only a manifest that was read and whose every listed file was checked tells which files
    // it leaves out: after a failure the files it lists further on were never told.
    bool KnowsEveryListedFile() const { return manifestAccepted_ && !listedFileFailed_; }

    // What the failure that decided was, as its line said it.
    const std::wstring &Failure() const { return failure_; }

  private:
    // A listed file refused as invalid data was reached by another path than its listed name.
    std::wstring DescribeFailure(CheckStep step, const std::wstring &subject,
                                 ErrorCode error) const {
        if (step != CheckStep::ListedFile || error != kErrorInvalidData)
            return Describe(error);
        const std::wstring link = LinkOnTheWay(folder_, subject);
        return link.empty() ? L"reached by another path than its listed name (a short name, or a "
                              L"link)"
                            : L"reached through the link " + link;
    }

    void Remember(CheckStep step, bool applies, ErrorCode error) {
        if (step == CheckStep::Manifest)
            manifestAccepted_ = applies && error == kNoError;
        if (step == CheckStep::ListedFile)
            listedFileFailed_ = listedFileFailed_ || error != kNoError;
    }

    std::wstring folder_, failure_;
    bool manifestAccepted_ = false;
    bool listedFileFailed_ = false;
    Vouching vouching_;
};

// True when the folder can be checked; otherwise says why. The launcher's own folder always can.
bool IsFolderToCheck(const std::wstring &folder) {
    const DWORD attributes = platform::ReadAttributes(ExactPath(folder));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
            error != ERROR_BAD_NETPATH && error != ERROR_BAD_NET_NAME)
            return true; // there but unreadable: the checks tell that error
        PrintingListener::Print(L"media-check: " + folder + L" does not exist");
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        PrintingListener::Print(L"media-check: " + folder + L" is a file, not a folder");
    } else {
        return true;
    }
    PrintingListener::Print(L"verdict: nothing checked: no folder there (exit code 3)");
    return false;
}

void PrintUnlistedFiles(const std::wstring &folder,
                        const std::set<platform::FileIdentity> &listed) {
    for (const UnlistedEntry &entry : FindUnlistedFiles(folder, listed)) {
        const std::wstring name = entry.relativePath.empty() ? folder : entry.relativePath;
        switch (entry.kind) {
        case UnlistedKind::File:
            PrintingListener::Print(L"  " + name + L": not listed, not checked");
            break;
        case UnlistedKind::Link:
            PrintingListener::Print(L"  " + name + L": a link, not followed, not checked");
            break;
        case UnlistedKind::Unreadable:
            PrintingListener::Print(L"  " + name + L": cannot be listed (" + Number(entry.error) +
                                    L"), not checked");
            break;
        }
    }
}

struct Request {
    bool valid = false;
    CheckConditions conditions;
    std::optional<bool> named64Bit; // the kind of Windows named, if any
    std::wstring folder;
};

Request ReadRequest(int argc, wchar_t **argv) {
    Request request;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--interactive")
            request.conditions.mode = LaunchMode::Interactive;
        else if (argument == L"--windows=32" || argument == L"--windows=64")
            request.named64Bit = argument == L"--windows=64";
        else if (argument == L"--" && i + 2 == argc) // a folder whose name starts with "-"
            request.folder = argv[++i];
        else if (request.folder.empty() && !argument.empty() && argument[0] != L'-')
            request.folder = argument;
        else
            return request;
    }
    request.valid = !request.folder.empty();
    return request;
}

} // namespace

int wmain(int argc, wchar_t **argv) {
    platform::RestrictLibrarySearch(); // before anything loads a library
    Request request = ReadRequest(argc, argv);
    if (!request.valid) {
        std::fputs("usage: media-check.exe [--interactive] [--windows=32|64] [--] FOLDER\n",
                   stderr);
        return kUsageError;
    }
    // A folder named on a command line means what it means there: relative to the current one.
    const std::wstring folder = platform::FullPath(request.folder);
    if (folder.empty()) {
        std::fputs("media-check: the folder's full path cannot be formed\n", stderr);
        return kUsageError;
    }
    if (!IsFolderToCheck(folder))
        return kNoSuchFolder;
    const std::optional<std::wstring> systemDirectory = platform::ReadSystemDirectory();
    const std::optional<std::wstring> drivePrefix = SystemDrivePrefix(systemDirectory);
    CheckConditions &conditions = request.conditions;
    conditions.systemDirectory = drivePrefix ? systemDirectory : std::nullopt;
    conditions.askWindows = !request.named64Bit;
    conditions.is64BitWindows =
        request.named64Bit ? *request.named64Bit : Is64BitWindows(drivePrefix);
    PrintingListener::Print(
        L"media-check: " + folder + L", for " +
        (conditions.mode == LaunchMode::Silent ? L"a silent" : L"an interactive") + L" run on " +
        (conditions.is64BitWindows ? L"64" : L"32") + L"-bit Windows" +
        (request.named64Bit ? L"" : L" (this one)"));
    // The folder's own launcher.exe, judged as the launcher judges itself.
    const LauncherImage launcher = OpenLauncherFile(JoinPath(folder, L"launcher.exe"));
    conditions.launcher = &launcher;
    PrintingListener listener(folder);
    const CheckedMedia checked = CheckBeforeChanges(folder, conditions, &listener);
    if (listener.KnowsEveryListedFile())
        PrintUnlistedFiles(folder, checked.listedIdentities);
    PrintingListener::Print(
        checked.error == kNoError
            ? std::wstring(L"verdict: the launcher would go on (exit code 0)")
            : L"verdict: refused: the launcher would change nothing and exit with " +
                  Number(checked.error) + L" (" + listener.Failure() + L")");
    return static_cast<int>(checked.error);
}
