#include "removal_stage.h"

#include "delete_tree.h"
#include "paths.h"
#include "platform/file_find.h"
#include "platform/platform_operations.h"

namespace launcher {

namespace {

constexpr wchar_t kResponseFileName[] = L"uninstall.iss";

// Gives the uninstaller the response file that ships beside the launcher, unless the
// information folder already holds one: that one is never replaced.
void HandOverResponseFile(const std::wstring &launcherFolder, const std::wstring &exactFolder) {
    const std::wstring source = JoinPath(launcherFolder, kResponseFileName);
    const std::wstring target = JoinPath(exactFolder, kResponseFileName);
    CFileFind finder;
    // A copy takes its source's attributes: one from read-only media would outlive the folder.
    if (finder.BeginSearch(source.c_str()) && platform::CopyFileIfAbsent(source, target))
        platform::ClearReadOnly(target);
    finder.EndSearch();
}

} // namespace

void RunRemovalStage(const std::wstring &drivePrefix, const LaunchSequence &sequence,
                     const std::wstring &launcherFolder) {
    const std::wstring informationFolder = InformationFolder(drivePrefix, sequence.is64BitWindows);
    // The folder and everything in it are reached by their exact names; the command line and
    // the output name it plainly.
    const std::wstring exactFolder = ExactPath(informationFolder);
    if (!platform::PathExists(exactFolder))
        return;

    HandOverResponseFile(launcherFolder, exactFolder);
    // The uninstaller may hand its work to another process and exit at once: the folder goes
    // only when that work is done too. Its exit code is not read: the folder goes whatever it did.
    const platform::StartedProcess uninstaller = platform::StartProcess(
        UninstallCommand(informationFolder), platform::WaitScope::ProcessTree);
    if (uninstaller.Started()) {
        if (sequence.uninstallerStartedLine != nullptr)
            platform::WriteDiagnostic(sequence.uninstallerStartedLine);
        platform::WaitForExit(uninstaller);
    }
    if (sequence.reportsInformationFolder)
        platform::WriteDiagnostic(InformationFolderReport(informationFolder));

    // Setting attributes through a link can reach its target, which is never touched.
    if (!IsLinkAttributes(platform::ReadAttributes(exactFolder)))
        platform::ResetAttributes(exactFolder);
    DeleteTree(exactFolder);
}

} // namespace launcher
