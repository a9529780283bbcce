// The reStructuredText lexer's own state, and the store its start makes: the
// whole document held in memory and the tokens its reading gives.
#ifndef MATCHLING_RST_STATE_H
#define MATCHLING_RST_STATE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/byte_buffer.h"
#include "rewrites/rewrites.h"
#include "tokens/lexer.h"

// A document is read whole, as docutils reads it: a larger one is refused
// ("too large to compare as reStructuredText"). While it is read it takes
// about four times its size (the text, its lines, the token records).
constexpr std::size_t kRstMaxBytes = std::size_t(16) << 20;

// Blocks nested deeper than this (block quotes, list items, directive
// bodies inside each other) refuse the document.
constexpr int kRstMaxDepth = 64;

// The document and its token records, owned through Lexer::store.
//
// A record is a token: its kind (1 byte, kRstZeroByte added when its key
// holds a zero byte, kRstNoted when a note follows the head), the offset of
// its first byte in text and the bytes its spelling spans there (a structure
// token spans none), the length of its key (4 bytes each); then, when noted,
// the rewrites undone there (2 bytes), their fingerprints, one per rewrite,
// and the text offset of the first (4 bytes each; RewriteNote); then the key.
struct RstStore : LanguageStore {
    ByteBuffer text;                        // the document as read, a byte order mark aside
    ByteBuffer tokens;                      // the token records, in stream order
    std::vector<std::uint32_t> lineStarts;  // the text offset of each line's first byte
    std::unique_ptr<Lexer> inner;           // the lexer of code read by its language, made at first use
    std::unique_ptr<Rewriter> rewriter;     // with --allow, that language's rules, made at first use
};

constexpr std::size_t kRstRecordHead = 13;     // bytes of a record before its key
constexpr unsigned char kRstZeroByte = 0x80;   // in a record's kind byte: its key holds a zero byte
constexpr unsigned char kRstNoted = 0x40;      // in a record's kind byte: a note follows the head
constexpr std::size_t kRstNoteBytes = 2 + 4 * kNoteKinds + 4;  // bytes of a record's note

// Fills store.tokens from store.text; the reason the document is refused,
// or nullptr.
const char *rstTokens(RstStore &store, const LexOptions &options);

struct RstLexState {
    RstStore *store = nullptr;  // Lexer::store's
    std::size_t next = 0;       // offset of the next record in store->tokens
    std::size_t line = 0;       // the index in store->lineStarts of the line of the last place
};

inline RstLexState &rstState(Lexer &lexer)
{
    return languageState<RstLexState>(lexer);
}

#endif
