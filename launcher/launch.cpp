#include "launch.h"

#include "commands.h"
#include "installer_stage.h"
#include "paths.h"
#include "platform/platform_operations.h"
#include "removal_stage.h"

namespace launcher {

namespace {

// One launch sequence: the removal of the earlier installation, then the product installer.
// Nothing is removed unless the installer beside the launcher is there as a file: an earlier
// installation removed without a new one leaves no product at all.
DWORD RunLaunchSequence(const LaunchSequence &sequence,
                        const std::optional<std::wstring> &drivePrefix) {
    const platform::LauncherFolder launcherFolder = platform::ReadLauncherFolder();
    if (launcherFolder.path.empty())
        return launcherFolder.error;
    if (!platform::IsExistingFile(JoinPath(launcherFolder.path, L"data.exe")))
        return ERROR_FILE_NOT_FOUND;
    // Without a drive prefix every system path would be relative to the current directory.
    if (drivePrefix)
        RunRemovalStage(*drivePrefix, sequence, launcherFolder.path);
    return RunInstallerStage(sequence.mode, launcherFolder.path);
}

} // namespace

bool Is64BitWindows(const std::optional<std::wstring> &drivePrefix) {
    return drivePrefix && platform::PathExists(SysWow64Folder(*drivePrefix));
}

DWORD RunLauncher(int argumentCount) {
    const std::optional<std::wstring> drivePrefix =
        SystemDrivePrefix(platform::ReadSystemDirectory());
    const LaunchSequence sequence =
        LaunchSequenceFor(Is64BitWindows(drivePrefix), LaunchModeFor(argumentCount));
    if (sequence.openingLine != nullptr)
        platform::WriteDiagnostic(sequence.openingLine);
    return RunLaunchSequence(sequence, drivePrefix);
}

} // namespace launcher
