// Run-control details that depend on the platform: Windows.
#include "run/command_line.h"

// The arguments reach main as the command line splits them: the C runtime
// must not expand wildcards in them. MinGW-w64's headers map this name to
// _dowildcard, the variable its start-up code reads.
extern "C" int _CRT_glob = 0;

int firstSwitchArgument(int)
{
    // Every argument takes part, the two names included.
    return 1;
}
