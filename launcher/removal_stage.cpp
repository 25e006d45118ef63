#include "removal_stage.h"

#include "delete_tree.h"
#include "platform/file_find.h"
#include "platform/platform_operations.h"

namespace launcher {

namespace {

constexpr char kResponseFileName[] = "uninstall.iss";

// Gives the uninstaller the response file that ships beside the launcher, unless the
// information folder already holds one: that one is never replaced.
void HandOverResponseFile(const std::string &launcherFolder, const std::string &informationFolder) {
    if (launcherFolder.empty())
        return; // no launcher folder: nothing may be looked up relative to the current directory
    const std::string source = JoinPath(launcherFolder, kResponseFileName);
    CFileFind finder;
    if (finder.BeginSearch(source.c_str()))
        platform::CopyFileIfAbsent(source, JoinPath(informationFolder, kResponseFileName));
    finder.EndSearch();
}

} // namespace

void RunRemovalStage(const std::string &drivePrefix, const LaunchSequence &sequence,
                     const std::string &launcherFolder) {
    const std::string informationFolder = InformationFolder(drivePrefix, sequence.programFilesRoot);
    if (!platform::PathExists(informationFolder))
        return;

    HandOverResponseFile(launcherFolder, informationFolder);
    // The uninstaller's exit code is not read: the folder goes whatever it did.
    platform::RunAndWait(UninstallCommand(informationFolder), sequence.uninstallerStartedLine);
    if (sequence.reportsInformationFolder)
        platform::WriteDiagnostic(InformationFolderReport(informationFolder));

    // Setting attributes through a link can reach its target, which is never touched.
    if (!IsLinkAttributes(platform::ReadAttributes(informationFolder)))
        platform::ResetAttributes(informationFolder);
    DeleteTree(informationFolder);
}

} // namespace launcher
