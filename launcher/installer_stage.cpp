#include "installer_stage.h"

#include "platform/platform_operations.h"

namespace launcher {

DWORD RunInstallerStage(LaunchMode mode, const std::wstring &launcherFolder,
                        platform::CloseHandleOwner checkedInstaller) {
    const platform::WaitScope scope = mode == LaunchMode::Silent ? platform::WaitScope::ProcessTree
                                                                 : platform::WaitScope::Process;
    const platform::StartedProcess installer =
        platform::StartProcess(InstallerCommand(mode, launcherFolder), scope);
    checkedInstaller = platform::CloseHandleOwner(); // it runs now; the program holds its own image
    return installer.Started() ? platform::WaitForExit(installer) : installer.startError;
}

} // namespace launcher
