#include "launch.h"

#include "commands.h"
#include "installer_stage.h"
#include "platform/platform_operations.h"
#include "preflight.h"
#include "removal_stage.h"
#include "vouching_check.h"

namespace launcher {

namespace {

// One launch sequence: the removal of the earlier installation, then the product installer.
// Nothing is removed unless the new installation can start.
DWORD RunLaunchSequence(const LaunchSequence &sequence,
                        const std::optional<std::wstring> &drivePrefix,
                        const std::optional<std::wstring> &systemDirectory) {
    const platform::LauncherFolder launcherFolder = platform::ReadLauncherFolder();
    if (launcherFolder.path.empty())
        return launcherFolder.error;
    CheckConditions conditions;
    conditions.mode = sequence.mode;
    conditions.is64BitWindows = sequence.is64BitWindows;
    conditions.systemDirectory = systemDirectory;
    // Held to the end, like the media: a signed launcher's file stays the one it was loaded from.
    const LauncherImage launcher = HoldRunningLauncher();
    conditions.launcher = &launcher;
    CheckedMedia checked = CheckBeforeChanges(launcherFolder.path, conditions);
    if (checked.error != kNoError)
        return checked.error;
    // Without a drive prefix every system path would be relative to the current directory.
    if (drivePrefix)
        RunRemovalStage(*drivePrefix, sequence, launcherFolder.path);
    return RunInstallerStage(sequence.mode, launcherFolder.path, std::move(checked));
}

} // namespace

bool Is64BitWindows(const std::optional<std::wstring> &drivePrefix) {
    return drivePrefix && platform::PathExists(SysWow64Folder(*drivePrefix));
}

DWORD RunLauncher(int argumentCount) {
    const std::optional<std::wstring> systemDirectory = platform::ReadSystemDirectory();
    const std::optional<std::wstring> drivePrefix = SystemDrivePrefix(systemDirectory);
    const LaunchSequence sequence =
        LaunchSequenceFor(Is64BitWindows(drivePrefix), LaunchModeFor(argumentCount));
    if (sequence.openingLine != nullptr)
        platform::WriteDiagnostic(sequence.openingLine);
    // A system directory not on a drive root is never used: it would be relative.
    return RunLaunchSequence(sequence, drivePrefix, drivePrefix ? systemDirectory : std::nullopt);
}

} // namespace launcher
