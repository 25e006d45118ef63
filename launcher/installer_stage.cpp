#include "installer_stage.h"

#include "paths.h"
#include "platform/platform_operations.h"

namespace launcher {

DWORD RunInstallerStage(LaunchMode mode, const std::wstring &launcherFolder, CheckedMedia media) {
    const platform::WaitScope scope = mode == LaunchMode::Silent ? platform::WaitScope::ProcessTree
                                                                 : platform::WaitScope::Process;
    const platform::StartedProcess installer = platform::StartProcess(
        InstallerCommand(mode, launcherFolder), scope, media.installerStartPath);
    return installer.Started() ? platform::WaitForExit(installer) : installer.startError;
}

} // namespace launcher
