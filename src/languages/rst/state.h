// The store the reStructuredText lexer's start makes: the whole document
// held in memory and the tokens its reading gives.
#ifndef MATCHLING_RST_STATE_H
#define MATCHLING_RST_STATE_H

#include <cstddef>
#include <cstdint>

#include "rewrites/embedded.h"
#include "tokens/records.h"

// A document is read whole, as docutils reads it: a larger one is refused
// ("too large to compare as reStructuredText"). While it is read it takes
// about four times its size (the text, its lines, the token records).
constexpr std::size_t kRstMaxBytes = std::size_t(16) << 20;

// Blocks nested deeper than this (block quotes, list items, directive
// bodies inside each other) refuse the document.
constexpr int kRstMaxDepth = 64;

// The document and its token records (tokens/records.h), owned through
// Lexer::store.
struct RstStore : RecordStore {
    EmbeddedReader embedded;  // the lexer and rules of code read by its language
};

// Fills store.tokens from store.text; the reason the document is refused,
// or nullptr.
const char *rstTokens(RstStore &store, const LexOptions &options);

#endif
