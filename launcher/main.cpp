// The setup launcher: removes an earlier installation of the product, then runs the product
// installer that ships beside it, interactively or (with exactly one argument) silently.

#include "launch.h"

// The runtime must not expand wildcards: a lone "*" is one argument like any other.
extern "C" {
int _dowildcard = 0;
}

int main(int argc, char **) {
    return static_cast<int>(launcher::RunLauncher(argc));
}
