// The HTML lexer's own state, and the store its start makes: the whole
// document held in memory and the tokens gumbo's reading of it gives.
#ifndef MATCHLING_HTML_STATE_H
#define MATCHLING_HTML_STATE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/byte_buffer.h"
#include "rewrites/rewrites.h"
#include "tokens/lexer.h"

// gumbo reads a whole document at once, into a tree: a larger document is
// refused ("too large to compare as HTML"), and so is one whose tree would
// outgrow kHtmlTreeBytes. A common page's tree takes about ten times its
// text, and the token records about three.
constexpr std::size_t kHtmlMaxBytes = std::size_t(4) << 20;
constexpr std::size_t kHtmlTreeBytes = std::size_t(256) << 20;

// gumbo's work at each start tag grows with the elements open: a document
// that nests deeper is refused ("nested too deep to compare as HTML").
constexpr std::size_t kHtmlMaxDepth = 512;

// The document and its token records, owned through Lexer::store.
//
// A record is a token: its kind (1 byte, kHtmlZeroByte added when its key
// holds a zero byte, kHtmlNoted when a note follows the head), the offset of
// its first byte in text and the bytes its spelling spans there (a token the
// reader supplies, as an end tag left out, spans none), the length of its
// key (4 bytes each); then, when noted, the rewrites undone there (2 bytes),
// their fingerprints, one per rewrite, and the text offset of the first (4 bytes each;
// RewriteNote: a script's or a style's body passes through its language's
// rules with --allow); then the key.
struct HtmlStore : LanguageStore {
    ByteBuffer text;                        // the document as read, a byte order mark aside
    ByteBuffer tokens;                      // the token records, in stream order
    std::vector<std::uint32_t> lineStarts;  // the text offset of each line's first byte
    std::unique_ptr<Lexer> inner;           // the lexer of script and style bodies, made at first use
    std::unique_ptr<Rewriter> rewriter;     // with --allow, their language's rules, made at first use
};

constexpr std::size_t kHtmlRecordHead = 13;   // bytes of a record before its key
constexpr unsigned char kHtmlZeroByte = 0x80;  // in a record's kind byte: its key holds a zero byte
constexpr unsigned char kHtmlNoted = 0x40;     // in a record's kind byte: a note follows the head
constexpr std::size_t kHtmlNoteBytes = 2 + 4 * kNoteKinds + 4;  // bytes of a record's note

// Fills store.tokens from store.text; returns why it cannot (the document
// nests too deep, or its tree would outgrow its bound), or nullptr
// (document.cpp).
const char *htmlTokens(HtmlStore &store, const LexOptions &options);

// The start of a markup lexer: reads the source (a larger one refused with
// the reason tooLarge) and has tokens fill the store, refusing the source
// with the reason it returns. htmlNext and htmlRun hand out its records.
void markupStart(Lexer &lx, const char *(*tokens)(HtmlStore &, const LexOptions &), const char *tooLarge);
void htmlNext(Lexer &lx, TokenPiece &piece);
std::size_t htmlRun(Lexer &lx, QuickToken *out, std::size_t max, std::size_t keyBytes);

struct HtmlLexState {
    HtmlStore *store = nullptr;  // Lexer::store's
    std::size_t next = 0;        // offset of the next record in store->tokens
    std::size_t line = 0;        // the index in store->lineStarts of the line of the last place
};

inline HtmlLexState &htmlState(Lexer &lexer)
{
    return languageState<HtmlLexState>(lexer);
}

#endif
