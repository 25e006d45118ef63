#include "launch.h"

#include "commands.h"
#include "installer_stage.h"
#include "platform/platform_operations.h"

namespace launcher {

namespace {

// One launch sequence: the removal of the earlier installation, then the product installer.
DWORD RunLaunchSequence(const LaunchSequence &sequence,
                        const std::optional<std::string> &drivePrefix) {
    const std::string launcherFolder = platform::ReadLauncherFolder();
    // The removal of the earlier installation goes here, and only with a drive prefix: without
    // one every system path would be relative to the current directory.
    (void)drivePrefix;
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
