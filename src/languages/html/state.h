// The store the HTML lexer's start makes: the whole document held in memory
// and the tokens gumbo's reading of it gives.
#ifndef MATCHLING_HTML_STATE_H
#define MATCHLING_HTML_STATE_H

#include <cstddef>
#include <cstdint>

#include "rewrites/embedded.h"
#include "tokens/records.h"

// gumbo reads a whole document at once, into a tree: a larger document is
// refused ("too large to compare as HTML"), and so is one whose tree would
// outgrow kHtmlTreeBytes. A common page's tree takes about ten times its
// text, and the token records about three.
constexpr std::size_t kHtmlMaxBytes = std::size_t(4) << 20;
constexpr std::size_t kHtmlTreeBytes = std::size_t(256) << 20;

// gumbo's work at each start tag grows with the elements open: a document
// that nests deeper is refused ("nested too deep to compare as HTML").
constexpr std::size_t kHtmlMaxDepth = 512;

// The document and its token records (tokens/records.h), owned through
// Lexer::store.
struct HtmlStore : RecordStore {
    EmbeddedReader embedded;  // the lexer and rules of script and style bodies and expressions
};

constexpr std::size_t kHtmlRecordHead = kRecordHead;  // bytes of a record before its key

// Fills store.tokens from store.text; returns why it cannot (the document
// nests too deep, or its tree would outgrow its bound), or nullptr
// (document.cpp).
const char *htmlTokens(HtmlStore &store, const LexOptions &options);

// The start of a markup lexer: reads the source (a larger one refused with
// the reason tooLarge) and has tokens fill the store, refusing the source
// with the reason it returns. htmlNext and htmlRun hand out its records.
void markupStart(Lexer &lx, const char *(*tokens)(HtmlStore &, const LexOptions &), const char *tooLarge);
constexpr void (*htmlNext)(Lexer &, TokenPiece &) = recordNext;
constexpr std::size_t (*htmlRun)(Lexer &, QuickToken *, std::size_t, std::size_t) = recordRun;

#endif
