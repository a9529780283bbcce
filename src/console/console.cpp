#include "console/console.h"
#include "console/keyboard.h"

#include <cstdarg>
#include <cstdio>

void consoleMessage(const char *format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
}

void consoleText(const char *text, std::size_t len)
{
    std::fwrite(text, 1, len, stdout);
}

void pause()
{
    consoleMessage("Matchling==>  Press Enter to continue \n");
    // The prompt must be on screen before the wait starts.
    std::fflush(stdout);
    if (keyboardReadKey() != 0)
        return;
    // Keys typed ahead would otherwise end a later wait.
    while (keyboardKeyPending())
        if (keyboardReadKey() != 0)
            break;
}
