#include "launch.h"

#include "commands.h"
#include "installer_stage.h"
#include "paths.h"
#include "platform/platform_operations.h"
#include "removal_stage.h"

namespace launcher {

namespace {

bool IsFile(const std::string &path) {
    const DWORD attributes = platform::ReadAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// One launch sequence: the removal of the earlier installation, then the product installer.
// Nothing is removed unless the installer beside the launcher can be named exactly and is there:
// an earlier installation removed without a new one leaves no product at all.
DWORD RunLaunchSequence(const LaunchSequence &sequence,
                        const std::optional<std::string> &drivePrefix) {
    const platform::LauncherFolder launcherFolder = platform::ReadLauncherFolder();
    if (launcherFolder.path.empty())
        return launcherFolder.error;
    if (!IsFile(JoinPath(launcherFolder.path, "data.exe")))
        return ERROR_FILE_NOT_FOUND;
    // Without a drive prefix every system path would be relative to the current directory.
    if (drivePrefix)
        RunRemovalStage(*drivePrefix, sequence, launcherFolder.path);
    return RunInstallerStage(sequence.mode, launcherFolder.path);
}

} // namespace

bool Is64BitWindows(const std::optional<std::string> &drivePrefix) {
    return drivePrefix && platform::PathExists(SysWow64Folder(*drivePrefix));
}

DWORD RunLauncher(int argumentCount) {
    const std::optional<std::string> drivePrefix =
        SystemDrivePrefix(platform::ReadSystemDirectory());
    const LaunchSequence sequence =
        LaunchSequenceFor(Is64BitWindows(drivePrefix), LaunchModeFor(argumentCount));
    if (sequence.openingLine != nullptr)
        platform::WriteDiagnostic(sequence.openingLine);
    return RunLaunchSequence(sequence, drivePrefix);
}

} // namespace launcher
