// Output held back: what a thread reports while its turn to print has not
// come, and listings kept apart from the reports.
#ifndef MATCHLING_SPOOL_H
#define MATCHLING_SPOOL_H

#include <cstddef>
#include <cstdio>
#include <string>

constexpr std::size_t kSpoolMemory = 1 << 16;  // bytes a spool keeps in memory before it spills to a file

// Output held back: in memory up to kSpoolMemory bytes, the rest in a
// temporary file of the system's, which goes when the spool is emptied; in
// memory too where no temporary file can be made.
struct Spool {
    std::string text;            // the first bytes written
    std::FILE *spill = nullptr;  // the bytes after them; null while there are none
    bool noSpill = false;        // no temporary file could be made: memory holds everything
    bool lost = false;           // a write to the temporary file failed: bytes were lost
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
