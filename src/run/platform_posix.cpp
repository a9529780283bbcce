// Run-control details that depend on the platform: POSIX.
#include "run/run_state.h"

int firstSwitchArgument()
{
    // Paths use '/' between directories, so the two names never set switches.
    return 3;
}
