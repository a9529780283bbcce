// Run-control details that depend on the platform: POSIX.
#include "run/command_line.h"

int firstSwitchArgument(int names)
{
    // Paths use '/' between directories, so the names never set switches.
    return names;
}

char **platformArguments(int &, char **argv)
{
    return argv;
}
