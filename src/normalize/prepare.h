// Source preparation: one source file turned into its normalized text file.
//
// The normalized text file holds the normalized lines of a source in order,
// joined with nothing between them: no header, separator or terminator, and
// never a space, tab, carriage return or line feed. It is written in binary.
#ifndef MATCHLING_PREPARE_H
#define MATCHLING_PREPARE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "run/run_state.h"

// Classifies path, normalizes it into the temporary file of run.whichFile and
// closes both streams. Returns 0 when the temporary file is complete, 1 after a
// reported failure (the streams then stay open).
int prepareFile(const char *path);

// Opens path and its temporary file and writes the normalized text. Returns 1
// when it could not start or stopped early; 0 when it reached the end of the
// input, with run.errors raised if a write failed.
int normalizeSource(const char *path);

// Writes the normalized text of run.input, which has read nothing yet, to
// run.output; the part of normalizeSource after both files are open, with the
// same results. lineByLine 1 takes every line through the line window and the
// rules; 0 streams lines without '/' from the read chunk straight into the
// block, which gives the same text, and the others line by line.
int normalizeInput(const char *path, int lineByLine);

// Advances the line window: the look-ahead line becomes the current line and
// the next line is read; sets run.endOfInput when nothing more could be read.
void nextLine();

// Appends a normalized line to the output block, writing each block that fills;
// returns the fill count afterwards.
std::size_t appendNormalized(const char *text, std::size_t length);

// Stores the extension of path (the first three characters after its first
// '.', upper-cased) in run.extension and sets run.sourceClass from it when it
// names a class.
void classifySource(const char *path);

// The source line that produced one byte of a normalized text.
struct SourcePlace {
    std::int64_t line = 0;  // 1-based line, counting line feeds as read
    int found = 0;          // 0 when the text ends before the byte; line is then the last line
};

// Reads path again, normalizing it as prepareFile did under sourceClass, until
// it reaches normalized byte offset; fills place. Returns 1 when path is not a
// plain file or cannot be opened, else 0. Uses the run's read buffer and line
// buffers, so call it only after both sources are prepared.
int locateNormalized(const char *path, SourceClass sourceClass, std::int64_t offset, SourcePlace &place);

// Text-mode reading over run.input.

// Starts reading stream, which was opened in binary mode.
void textInputStart(std::FILE *stream);

// Returns 1 when at least one more byte can be read, reading the next chunk
// when the current one is used up; 0 when the input has ended.
int textInputMore();

// Reads the next line into dest, removing every carriage return: at most
// kLineCapacity bytes, up to and including the first line feed. A Ctrl-Z byte
// ends the input. Returns the number of bytes stored (then zero-terminated);
// 0 when nothing more can be read.
std::size_t textInputLine(char *dest);

// Creates the temporary file name for reading and writing, replacing a regular
// file of that name; never follows a symbolic link and never opens anything but
// a regular file with no other name. Returns the stream, or null on failure.
std::FILE *createTempFile(const char *name);

#endif
