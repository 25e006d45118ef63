#include "removal_stage.h"

#include "delete_tree.h"
#include "paths.h"
#include "platform/file_find.h"
#include "platform/platform_operations.h"

namespace launcher {

namespace {

constexpr char kResponseFileName[] = "uninstall.iss";

// Gives the uninstaller the response file that ships beside the launcher, unless the
// information folder already holds one: that one is never replaced.
void HandOverResponseFile(const std::string &launcherFolder, const std::string &informationFolder) {
    const std::string source = JoinPath(launcherFolder, kResponseFileName);
    const std::string target = JoinPath(informationFolder, kResponseFileName);
    CFileFind finder;
    // A copy takes its source's attributes: one from read-only media would outlive the folder.
    if (finder.BeginSearch(source.c_str()) && platform::CopyFileIfAbsent(source, target))
        platform::ClearReadOnly(target);
    finder.EndSearch();
}

} // namespace

void RunRemovalStage(const std::string &drivePrefix, const LaunchSequence &sequence,
                     const std::string &launcherFolder) {
    const std::string informationFolder = InformationFolder(drivePrefix, sequence.is64BitWindows);
    if (!platform::PathExists(informationFolder))
        return;

    HandOverResponseFile(launcherFolder, informationFolder);
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
    if (!IsLinkAttributes(platform::ReadAttributes(informationFolder)))
        platform::ResetAttributes(informationFolder);
    DeleteTree(informationFolder);
}

} // namespace launcher
