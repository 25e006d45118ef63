#include "installer_stage.h"

#include "paths.h"
#include "platform/platform_operations.h"

namespace launcher {

DWORD RunInstallerStage(LaunchMode mode, const std::wstring &launcherFolder, CheckedMedia media) {
    const platform::WaitScope scope = mode == LaunchMode::Silent ? platform::WaitScope::ProcessTree
                                                                 : platform::WaitScope::Process;
    // Empty where the platform cannot say: the command line's first token is started then.
    const std::wstring heldInstaller = PlainFormOf(platform::FinalPathOf(media.installer.Get()));
    const platform::StartedProcess installer =
        platform::StartProcess(InstallerCommand(mode, launcherFolder), scope, heldInstaller);
    return installer.Started() ? platform::WaitForExit(installer) : installer.startError;
}

} // namespace launcher
