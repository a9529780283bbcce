// The Markdown lexer's own state, and the store its start makes: the whole
// document held in memory and the tokens cmark-gfm's reading of it gives.
#ifndef MATCHLING_MARKDOWN_STATE_H
#define MATCHLING_MARKDOWN_STATE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_buffer.h"
#include "rewrites/rewrites.h"
#include "tokens/lexer.h"

// cmark-gfm reads a whole document at once, into a tree: a larger one is
// refused ("too large to compare as Markdown"), and so is one whose tree
// would outgrow its bound (kMarkdownTreeBytes, reader.h).
// While it is read, a common document takes about sixteen times its size
// (the text, the token records at about three times it, its lines' starts,
// cmark-gfm's tree at about twelve: 71 MB for 4 MB of /usr/share's .md
// files); the tree goes once its records are written, its room kept for the
// thread's next document (reader.h).
constexpr std::size_t kMarkdownMaxBytes = std::size_t(4) << 20;

// The document and its token records, owned through Lexer::store.
//
// A record is a token: its kind (1 byte, kMarkdownZeroByte added when its key
// holds a zero byte, kMarkdownNoted when a note follows the head), the offset
// of its first byte in text and the bytes its spelling spans there (a
// structure token spans none), the length of its key (4 bytes each); then,
// when noted, the rewrites undone there (2 bytes), their fingerprints, one
// per rewrite, and the text offset of the first (4 bytes each; RewriteNote);
// then the key.
struct MarkdownStore : LanguageStore {
    ByteBuffer text;               // the document as read, a byte order mark aside
    ByteBuffer tokens;             // the token records, in stream order
    std::vector<std::uint32_t> lineStarts;  // the text offset of each line's first byte
    std::unique_ptr<Lexer> inner;  // the lexer of the code blocks read by their language, made at first use
    std::unique_ptr<Rewriter> rewriter;  // with --allow, their language's rules, made at first use
};

constexpr std::size_t kMarkdownRecordHead = 13;  // bytes of a record before its key
constexpr unsigned char kMarkdownZeroByte = 0x80;  // in a record's kind byte: its key holds a zero byte
constexpr unsigned char kMarkdownNoted = 0x40;     // in a record's kind byte: a note follows the head
constexpr std::size_t kMarkdownNoteBytes = 2 + 4 * kNoteKinds + 4;  // bytes of a record's note

// Fills store.tokens from store.text; false when the document's tree would
// outgrow its bound.
bool markdownTokens(MarkdownStore &store, const LexOptions &options);

struct MarkdownLexState {
    MarkdownStore *store = nullptr;  // Lexer::store's
    std::size_t next = 0;            // offset of the next record in store->tokens
    std::size_t line = 0;            // the index in store->lineStarts of the line of the last place
};

inline MarkdownLexState &markdownState(Lexer &lexer)
{
    return languageState<MarkdownLexState>(lexer);
}

#endif
