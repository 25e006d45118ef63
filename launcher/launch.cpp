#include "launch.h"

#include "commands.h"
#include "installer_stage.h"
#include "platform/platform_operations.h"
#include "removal_stage.h"

namespace launcher {

namespace {

// One launch sequence: the removal of the earlier installation, then the product installer.
DWORD RunLaunchSequence(const LaunchSequence &sequence,
                        const std::optional<std::string> &drivePrefix) {
    const std::string launcherFolder = platform::ReadLauncherFolder();
    // Without a drive prefix every system path would be relative to the current directory.
    if (drivePrefix)
        RunRemovalStage(*drivePrefix, sequence, launcherFolder);
    const platform::RunResult installer = RunInstallerStage(sequence.mode, launcherFolder);
    return LauncherExitCode(installer.started, installer.exitCode, installer.startError);
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
