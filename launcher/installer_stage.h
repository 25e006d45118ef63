#pragma once

#include <string>

#include "platform/platform_operations.h"

#include "commands.h"

namespace launcher {

// Starts the product installer that ships beside the launcher and waits until it has ended.
platform::RunResult RunInstallerStage(LaunchMode mode, const std::string &launcherFolder);

} // namespace launcher
