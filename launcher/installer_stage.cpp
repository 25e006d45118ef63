#include "installer_stage.h"

namespace launcher {

platform::RunResult RunInstallerStage(LaunchMode mode, const std::string &launcherFolder) {
    if (launcherFolder.empty()) {
        // Without its own folder the launcher cannot name the installer it ships with, and a
        // bare name would be searched for in the current directory and on PATH.
        platform::RunResult notStarted;
        notStarted.startError = ERROR_BAD_PATHNAME;
        return notStarted;
    }
    return platform::RunAndWait(InstallerCommand(mode, launcherFolder));
}

} // namespace launcher
