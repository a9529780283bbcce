// Console services: every report line and every key wait of the utility.
#ifndef MATCHLING_CONSOLE_H
#define MATCHLING_CONSOLE_H

#include <cstddef>

// Formats like printf and writes the result to standard output.
void consoleMessage(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Writes len bytes of text to standard output as they stand.
void consoleText(const char *text, std::size_t len);

// Prints the key-wait prompt, then waits for one key press on the console
// keyboard and discards the presses typed ahead; returns at once when the
// process has no console keyboard.
void pause();

#endif
