// Text-mode reading of a source, the same on every platform: carriage returns
// dropped, only a line feed ends a line, a Ctrl-Z byte ends the input.
#ifndef MATCHLING_TEXT_INPUT_H
#define MATCHLING_TEXT_INPUT_H

#include <cstddef>

#include "common/settings.h"
#include "common/source_stream.h"

// Text-mode reader over one source.
struct TextInput {
    SourceStream *source = nullptr;  // where the bytes come from
    char chunk[kReadChunkSize];      // translated bytes read from the source
    std::size_t position = 0;        // next unread byte in chunk
    std::size_t end = 0;             // bytes held in chunk
    bool ended = false;              // after the end of the source, a Ctrl-Z byte or a read error
};

// Starts reading source, which has read nothing yet.
void textInputStart(TextInput &in, SourceStream &source);

// True when at least one more byte can be read, reading the next chunk when
// the current one is used up; false when the input has ended.
bool textInputMore(TextInput &in);

// Reads the next line into dest, removing every carriage return: at most
// kLineCapacity bytes, up to and including the first line feed. A Ctrl-Z byte
// ends the input. Returns the number of bytes stored (then zero-terminated);
// 0 when nothing more can be read. dest must have room for kLineBufferSize
// bytes and 7 more, which whole-word copies may overwrite.
std::size_t textInputLine(TextInput &in, char *dest);

#endif
