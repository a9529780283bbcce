// Normalized comparison: two texts, block by block, and the report of their
// first difference.
#ifndef MATCHLING_COMPARE_H
#define MATCHLING_COMPARE_H

#include <cstdint>
#include <cstdio>

#include "common/producer.h"
#include "common/settings.h"

enum class Verdict {
    Equivalent,  // the two texts are identical
    Different,   // they are not; the difference has been reported
};

// Blocks and counters of one comparison; large, so allocate it once.
struct CompareState {
    char blocks[2][kBlockSize];         // the last block read from each text
    std::int64_t blocksRead[2] = {};    // reads of each text that returned at least one byte
    std::int64_t matched = 0;           // bytes that compared equal: at a mismatch, its zero-based offset
    char contexts[2][kContextSize];     // up to 72 bytes of each block from the difference on, zero-terminated
    std::int64_t firstDifference = -1;  // offset of the first differing byte, or the length of the
                                        // shorter text when it is a prefix of the other; -1 when equal
    int shorterFile = 0;                // 1 or 2 when that text is a prefix of the other's, else 0
};

// Compares the texts that texts[0] and texts[1] hand out (only fill is used),
// block by block in lockstep, after resetting c. Returns Different after
// printing the first difference with the file names names[0] and names[1].
Verdict compareFiles(CompareState &c, const TextProducer (&texts)[2], const char *const (&names)[2]);

// A text read from a file as it stands: fill reads it kBlockSize bytes at a time.
TextProducer fileText(std::FILE *&stream);

#endif
