// A text handed out block by block, as the block comparison takes it: a
// normalized text as it is made, or one read back from its temporary file.
#ifndef MATCHLING_PRODUCER_H
#define MATCHLING_PRODUCER_H

#include <cstddef>

#include "common/settings.h"

struct TextProducer {
    void *self = nullptr;  // the producer's own record
    // Fills block with the next bytes of the text, kBlockSize of them unless
    // the text ends first; returns how many (0 at the end).
    std::size_t (*fill)(void *self, char *block) = nullptr;
};

#endif
