// The scratch directory on Windows: a batch run's commands are not run
// there, so no directory is made for them.
#include "walk/scratch.h"

Scratch *scratchMake(std::string &why)
{
    why = "not supported on this system";
    return nullptr;
}

int scratchCopy(Scratch &, const std::string &, const std::string &, std::string &why)
{
    why = "not supported on this system";
    return 1;
}

void scratchRemove(Scratch *scratch)
{
    delete scratch;
}
