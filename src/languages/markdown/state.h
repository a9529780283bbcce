// The Markdown lexer's own state, and the store its start makes: the whole
// document held in memory and the tokens md4c's reading of it gives.
#ifndef MATCHLING_MARKDOWN_STATE_H
#define MATCHLING_MARKDOWN_STATE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_buffer.h"
#include "tokens/lexer.h"

// md4c reads a whole document at once: a larger one is refused ("too large to
// compare as Markdown"). Its store then takes about four times its size on a
// common document (the text, the token records at about three times it, its
// lines' starts, md4c's own work space), and at most about thirteen times on
// a document of one-letter words or lines.
constexpr std::size_t kMarkdownMaxBytes = std::size_t(4) << 20;

// The document and its token records, owned through Lexer::store.
//
// A record is a token: its kind (1 byte, kMarkdownZeroByte added when its key
// holds a zero byte), the offset of its first byte in text
// and the bytes its spelling spans there (a structure token spans none), the
// length of its key (4 bytes each), then the key.
struct MarkdownStore : LanguageStore {
    ByteBuffer text;               // the document as read, a byte order mark aside
    ByteBuffer tokens;             // the token records, in stream order
    std::vector<std::uint32_t> lineStarts;  // the text offset of each line's first byte
    std::unique_ptr<Lexer> inner;  // the lexer of the code blocks read by their language, made at first use
};

constexpr std::size_t kMarkdownRecordHead = 13;  // bytes of a record before its key
constexpr unsigned char kMarkdownZeroByte = 0x80;  // in a record's kind byte: its key holds a zero byte

// Fills store.tokens from store.text; false when md4c fails (out of memory).
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
