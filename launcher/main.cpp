// The setup launcher: removes an earlier installation of the product, then runs the product
// installer that ships beside it, interactively or (with exactly one argument) silently.

#include <windows.h>

#include "commands.h"
#include "launch.h"
#include "platform/platform_operations.h"

// The runtime's own argument vector is not used; it must not expand wildcards all the same.
extern "C" {
int _dowildcard = 0;
}

int main() {
    platform::RestrictLibrarySearch(); // before anything loads a library
    // The count follows fixed rules, not whichever runtime the launcher happens to load, and
    // reads the line in UTF-16: the ANSI form would turn look-alike quotes into real ones.
    const int argumentCount = launcher::CountArguments(GetCommandLineW());
    return static_cast<int>(launcher::RunLauncher(argumentCount));
}
