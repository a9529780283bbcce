// Console services: every report line and every key wait of the utility.
//
// Reports go to standard output, or, for the thread that set one, to a spool
// that holds them until they are copied out in their turn. (POSIX's
// <unistd.h> declares a pause() of its own: include this only where needed.)
#ifndef MATCHLING_CONSOLE_H
#define MATCHLING_CONSOLE_H

#include <cstddef>

#include "console/spool.h"

// Formats like printf and writes the result where this thread's reports go.
void consoleMessage(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Writes len bytes of text, as they stand, where this thread's reports go.
void consoleText(const char *text, std::size_t len);

// Writes len bytes of a report for programs (--format) to standard output,
// wherever this thread's reports go, and flushes it.
void consoleRecord(const char *text, std::size_t len);

// one when n is 1, else many: the word a count in a report takes.
inline const char *plural(long long n, const char *one, const char *many)
{
    return n == 1 ? one : many;
}

// Prints the key-wait prompt, then waits for one key press on the console
// keyboard and discards the presses typed ahead; returns at once when the
// process has no console keyboard, or when this thread's reports go to a spool.
void pause();

#endif
