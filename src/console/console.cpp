#include "console/console.h"
#include "console/keyboard.h"
#include "console/output.h"

#include <cstdarg>

namespace {

thread_local Spool *target = nullptr;  // where this thread's reports go; null for standard output

} // namespace

void consoleTo(Spool *spool)
{
    target = spool;
}

void consoleMessage(const char *format, ...)
{
    std::va_list args;
    va_start(args, format);
    char line[512];
    std::va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(line, sizeof line, format, args);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof line) {
        consoleText(line, static_cast<std::size_t>(n));
    } else if (n >= 0) {
        // A long name: format again into a buffer of the right size.
        std::string longer(static_cast<std::size_t>(n) + 1, '\0');
        std::vsnprintf(&longer[0], longer.size(), format, again);
        consoleText(longer.data(), static_cast<std::size_t>(n));
    }
    va_end(again);
    va_end(args);
}

void consoleText(const char *text, std::size_t len)
{
    if (target)
        spoolWrite(*target, text, len);
    else
        outputWrite(text, len);
}

void consoleRecord(const char *text, std::size_t len)
{
    outputWrite(text, len);
    std::fflush(stdout);
}

void pause()
{
    // A prompt held back in a spool is not on screen: nobody can answer it.
    if (target) {
        consoleMessage("Matchling==>  Press Enter to continue \n");
        return;
    }
    // A key typed as soon as the prompt shows must not be echoed: the
    // keyboard is held before the prompt goes out.
    keyboardHold();
    consoleMessage("Matchling==>  Press Enter to continue \n");
    // The prompt must be on screen before the wait starts.
    std::fflush(stdout);
    if (keyboardReadKey() == 0) {
        // Keys typed ahead would otherwise end a later wait.
        while (keyboardKeyPending())
            if (keyboardReadKey() != 0)
                break;
    }
    keyboardRelease();
}
