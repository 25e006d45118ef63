#pragma once

#include <string>

#include "commands.h"

namespace launcher {

// Removes the earlier installation when its information folder is present: hands the response
// file to its uninstaller, runs the uninstaller silently and waits for it and every process it
// starts, then deletes the folder. Does nothing when the folder is absent (the first
// installation).
void RunRemovalStage(const std::wstring &drivePrefix, const LaunchSequence &sequence,
                     const std::wstring &launcherFolder);

} // namespace launcher
