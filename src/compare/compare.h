// Normalized comparison: the two temporary files, block by block.
#ifndef MATCHLING_COMPARE_H
#define MATCHLING_COMPARE_H

#include <cstdint>

#include "run/run_state.h"

// Blocks and counters of the comparison, living for the whole run.
struct CompareState {
    char block1[kBlockSize];       // last block read from read stream 1
    char block2[kBlockSize];       // last block read from read stream 2
    std::int64_t blocksRead1 = 0;  // reads of stream 1 that returned at least one byte
    std::int64_t blocksRead2 = 0;  // reads of stream 2 that returned at least one byte
    std::int64_t matched = 0;      // bytes that compared equal: at a mismatch, its zero-based offset
    char context1[kContextSize];   // up to 72 bytes of block 1 from the difference on, zero-terminated
    char context2[kContextSize];   // the same from block 2
    std::int64_t firstDifference = -1;  // offset of the first differing byte, or the length of the
                                        // shorter text when it is a prefix of the other; -1 when equal
    int shorterFile = 0;                // 1 or 2 when that file's text is a prefix of the other's, else 0
};

extern CompareState comparison;

// Compares run.read1 with run.read2, both open. Returns 0 when the normalized
// texts are identical, 1 when they differ, after printing the first difference
// and raising run.errors.
int compareFiles();

#endif
