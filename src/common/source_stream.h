// The bytes of one source: a file read to its end, or one object of a stream
// that holds several (a blob of git's batch output), read to its size.
#ifndef MATCHLING_SOURCE_STREAM_H
#define MATCHLING_SOURCE_STREAM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct SourceStream {
    std::FILE *stream = nullptr;   // where the bytes come from; null when there is none
    std::int64_t remaining = -1;   // bytes of this source still to read; -1 to read to the end of stream
    bool failed = false;           // a read error or a stream that ended before its size
};

// Reads up to n bytes of the source into dest; returns how many, 0 at its end
// (after a read error too, with failed set).
std::size_t readSource(SourceStream &source, char *dest, std::size_t n);

#endif
