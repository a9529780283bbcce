// Output held back: what a thread reports while its turn to print has not
// come, and listings kept apart from the reports.
#ifndef MATCHLING_SPOOL_H
#define MATCHLING_SPOOL_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

constexpr std::size_t kSpoolMemory = 1 << 16;  // bytes a spool keeps in memory before it spills to a file

// Output held back: in memory up to kSpoolMemory bytes, the rest in a
// temporary file of the system's, which goes when the spool is emptied. What
// the file cannot take (none can be made, or a write to it fails) stays in
// memory, so nothing written is ever lost.
struct Spool {
    std::string text;            // the first bytes written
    std::FILE *spill = nullptr;  // the bytes after them; null while there are none
    std::int64_t spilled = 0;    // bytes of spill known to be written (a failed write may leave more, unusable)
    std::string tail;            // the bytes after spill's: gathered for the next write, or kept after a failure
    bool noSpill = false;        // no temporary file could be had, or a write to it failed: memory holds the rest
    bool headOnly = false;       // keeps only its first kSpoolMemory bytes, for output nobody reads but its start
};

// Appends len bytes of text to spool.
void spoolWrite(Spool &spool, const char *text, std::size_t len);

// Empties spool without writing it anywhere.
void spoolDrop(Spool &spool);

// Writes everything spool holds where this thread's reports go, in order,
// and empties it.
void spoolCopy(Spool &spool);

// Sends this thread's reports to spool, or to standard output when null.
void consoleTo(Spool *spool);

#endif
