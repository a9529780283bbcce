// Creation of a temporary file on Windows.
#include "normalize/prepare.h"

#include <windows.h>

std::FILE *createTempFile(const char *name)
{
    // Only a missing name or a plain file may be replaced: never a directory,
    // a device or a reparse point (a link to somewhere else).
    DWORD attributes = GetFileAttributesA(name);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
        return nullptr;
    return std::fopen(name, "w+b");
}
