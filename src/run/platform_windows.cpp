// Run-control details that depend on the platform: Windows.
#include "run/run_state.h"

int firstSwitchArgument()
{
    // Every argument takes part, the two file names included.
    return 1;
}
