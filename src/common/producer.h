// A text handed out block by block, as the stages that write or compare it
// take it: a normalized text, or a token stream as records.
#ifndef MATCHLING_PRODUCER_H
#define MATCHLING_PRODUCER_H

#include <cstddef>

#include "common/settings.h"
#include "common/source_stream.h"

struct TextProducer {
    void *self = nullptr;  // the producer's own record
    // Starts on source, which has read nothing yet, as a source of class sourceClass.
    void (*start)(void *self, SourceStream &source, SourceClass sourceClass) = nullptr;
    // Reads the first bytes; false when the source holds no text at all.
    bool (*hasText)(void *self) = nullptr;
    // Fills block with the next bytes of the text, kBlockSize of them unless
    // the text ends first; returns how many (0 at the end).
    std::size_t (*fill)(void *self, char *block) = nullptr;
    // After a full block that could not be written: drops what is left of the
    // piece of input that filled it; returns true when more input follows.
    bool (*dropPiece)(void *self) = nullptr;
};

#endif
