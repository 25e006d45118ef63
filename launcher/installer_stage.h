#pragma once

#include <string>

#include <windows.h>

#include "commands.h"
#include "preflight.h"

namespace launcher {

// Starts the product installer that ships beside the launcher and waits until it has ended: in
// silent mode for every process it starts too, since a silent installer may hand its work over
// and exit early; in interactive mode for the installer alone, since a person may start the
// product from its last page. The program started is the data.exe that was checked and is held,
// wherever the links along the launcher's folder point by now: it is started by the path decided
// while it was checked (the one the platform reaches the held file by, where it can say), while
// its command line names it as always. The media stays held until the wait has ended, also when the
// installer cannot be started: a self-extracting installer re-reads its own file, and an
// installer reads its cabinet files, long after it has started. Returns the installer's exit
// code, or the error that kept it from starting (never 0).
DWORD RunInstallerStage(LaunchMode mode, const std::wstring &launcherFolder, CheckedMedia media);

} // namespace launcher
