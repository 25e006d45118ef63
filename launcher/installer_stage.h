#pragma once

#include <string>

#include <windows.h>

#include "commands.h"
#include "platform/handle_owner.h"

namespace launcher {

// Starts the product installer that ships beside the launcher and waits until it has ended: in
// silent mode for every process it starts too, since a silent installer may hand its work over
// and exit early; in interactive mode for the installer alone, since a person may start the
// product from its last page. Returns the installer's exit code, or the error that kept it from
// starting (never 0). `checkedInstaller` (data.exe, held since it was checked) is let go once
// the installer has started, or has failed to.
DWORD RunInstallerStage(LaunchMode mode, const std::wstring &launcherFolder,
                        platform::CloseHandleOwner checkedInstaller);

} // namespace launcher
