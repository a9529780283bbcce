// A source's normalized text, handed out block by block as it is read: every
// line through the line rules, the results joined with nothing between them.
#ifndef MATCHLING_NORMALIZER_H
#define MATCHLING_NORMALIZER_H

#include <cstddef>
#include <cstdint>

#include "common/producer.h"
#include "common/settings.h"
#include "common/source_stream.h"
#include "console/spool.h"
#include "normalize/text_input.h"

// The reading and normalizing of one source; large, so allocate it once.
struct Normalizer {
    TextInput input;                          // the source, read in chunks
    char line[kLineBufferSize + 8];           // a piece of a line on its way through the rules, with room for word copies
    const char *pending = nullptr;            // normalized bytes of the last piece that did not fit in the last block
    std::size_t pendingLength = 0;            // how many
    bool midLine = false;                     // the last piece did not end its line: the next piece continues it
    std::size_t plainStart = 0;               // chunk index where the last run of lines without '/' began, or
    std::size_t plainEnd = 0;                 //   ended; plainEnd is 0 when the last step was not such a run
    const RunSettings *settings = nullptr;    // the switches the rules follow
    SourceClass sourceClass = SourceClass::CFamily;  // the class the rules follow
    Spool *listing = nullptr;                 // with switch L, where the text is listed; null for the console
};

// Starts normalizing source under settings as a source of class sourceClass.
void normalizerStart(Normalizer &n, const RunSettings &settings, SourceStream &source, SourceClass sourceClass);

// Fills block with the next bytes of the normalized text: kBlockSize of them
// unless the text ends first. Returns how many; 0 at the end.
std::size_t normalizerFill(Normalizer &n, char *block);

// After a fill that filled its block: drops what is left of the piece of
// input (a line, or a kLineCapacity part of a long one) that gave the block's
// last byte. Returns true when more input follows that piece.
bool normalizerDropPiece(Normalizer &n);

// The text of the normalizer, which has been started, as a producer of blocks.
TextProducer normalizedText(Normalizer &n);

// Sets sourceClass from the extension of path (the first three characters
// after its first '.', upper-cased) when the extension names a class, and
// stores the extension in extension (empty when there is none).
void classifySource(const char *path, SourceClass &sourceClass, char (&extension)[4]);

// The source line that produced one byte of a normalized text.
struct SourcePlace {
    std::int64_t line = 0;  // 1-based line, counting line feeds as read
    bool found = false;     // false when the text ends before the byte; line is then the last line
};

// Reads source, which has read nothing yet, normalizing it under settings as a
// source of class sourceClass, until it reaches normalized byte offset; fills
// place.
void locateNormalized(Normalizer &n, const RunSettings &settings, SourceStream &source, SourceClass sourceClass,
                      std::int64_t offset, SourcePlace &place);

#endif
