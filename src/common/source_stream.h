// The bytes of one source: a file read to its end, one object of a stream
// that holds several (a blob of git's batch output), read to its size, or
// bytes held in memory (a code block a Markdown document holds).
#ifndef MATCHLING_SOURCE_STREAM_H
#define MATCHLING_SOURCE_STREAM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct SourceStream {
    std::FILE *stream = nullptr;   // where the bytes come from; null when there is none
    std::int64_t remaining = -1;   // bytes of this source still to read; -1 to read to the end of stream
    std::int64_t size = -1;        // a file's size when it was opened; -1 when not known
    bool failed = false;           // a read error or a stream that ended before its size
    const char *bytes = nullptr;   // a source held in memory instead: its next byte, remaining bytes of it
    const char *held = nullptr;    // bytes of stream read ahead (a look at the source's start), given out first:
    std::size_t heldLength = 0;    // the next of them, and how many are left
};

// Reads up to n bytes of the source into dest; returns how many, 0 at its end
// (after a read error too, with failed set).
std::size_t readSource(SourceStream &source, char *dest, std::size_t n);

// Reads up to n bytes of the source's start into head, to be given out again
// by the reads that follow (head must last as long as the source is read);
// returns how many.
std::size_t lookAhead(SourceStream &source, char *head, std::size_t n);

class ByteBuffer;

// Reads the rest of source into text, cut at its first Ctrl-Z as every lexer
// reads a source, with room for all of it taken at once where its size is
// known; false, text released, when it holds more than maxBytes.
bool readWholeSource(SourceStream &source, ByteBuffer &text, std::size_t maxBytes);

// A source that can be read again from its start, for reports that quote it:
// open(side, source) sets source up to read side 0 or 1 again and returns 0,
// or 1 when that side cannot be read a second time (a pipe is spent);
// close(side, source) releases it.
struct Reopener {
    void *self = nullptr;
    int (*open)(void *self, int side, SourceStream &source) = nullptr;
    void (*close)(void *self, int side, SourceStream &source) = nullptr;
};

#endif
