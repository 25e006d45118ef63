#pragma once

#include <string>

#include <windows.h>

#include "commands.h"

namespace launcher {

// Starts the product installer that ships beside the launcher and waits until it has ended: in
// silent mode for every process it starts too, since a silent installer may hand its work over
// and exit early; in interactive mode for the installer alone, since a person may start the
// product from its last page. Returns the installer's exit code, or the error that kept it from
// starting (never 0).
DWORD RunInstallerStage(LaunchMode mode, const std::wstring &launcherFolder);

} // namespace launcher
