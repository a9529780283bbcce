// Standard output on POSIX: the bytes as they are, whatever it is.
#include "console/output.h"

#include <cstdio>

void outputWrite(const char *text, std::size_t len)
{
    std::fwrite(text, 1, len, stdout);
}
