// The TOML lexer's own state: where the grammar stands, the open arrays and
// inline tables, and the key of the token being built.
#ifndef MATCHLING_TOML_STATE_H
#define MATCHLING_TOML_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/lexer.h"

constexpr std::size_t kTomlNesting = 8192;   // arrays and inline tables open at once; deeper is refused
constexpr std::size_t kTomlKeyPiece = 1024;  // key bytes of a token handed out as one piece
constexpr std::size_t kTomlWord = 200;       // bytes of a number, date or time; a longer one is refused

// What the grammar takes next.
enum class TomlExpect : unsigned char {
    LineStart,    // a key, a table header, or nothing on the line
    KeyPart,      // a simple key: bare, "basic" or 'literal'
    AfterKey,     // '.', then another part; '=' after a pair's key; ']' or "]]" after a header's
    Value,        // the value after '='
    ArrayItem,    // after '[' or an array's ',': a value or ']'
    InlineFirst,  // after '{': a key or '}'
    AfterValue,   // after a value: the line's end; in an array ',' or ']'; in an inline table ',' or '}'
    LineTail,     // after a header: the line's end
};

// The string read over several calls (LexMode::Quoted), whose key may
// outgrow a piece; a bare key is LexMode::Name, a comment's words (with
// LexOptions::comments) LexMode::LineComment and LexMode::Word.
enum class TomlOpen : unsigned char {
    None,
    Basic,         // "..."
    Literal,       // '...'
    MultiBasic,    // """..."""
    MultiLiteral,  // '''...'''
};

enum class TomlHeader : unsigned char { None, Table, ArrayTable };

struct TomlLexState {
    bool started = false;                  // the byte order mark has been looked for
    TomlExpect expect = TomlExpect::LineStart;
    TomlHeader header = TomlHeader::None;  // the key being read names a [table] or an [[array of tables]]
    bool lineHasEntry = false;             // a pair or a header stands on the line: its end is a LineEnd token
    std::uint32_t depth = 0;               // arrays and inline tables open

    // The token being built.
    TomlOpen open = TomlOpen::None;
    bool isKey = false;                    // the open string is a key
    bool skipping = false;                 // after a line-ending backslash: blanks and line ends go
    bool needLineEnd = false;              // ... and no line end has come yet
    bool pieceOut = false;                 // a piece of it has been handed out
    TokenKind kind = TokenKind::Code;
    TokenPlace place;                      // where it starts
    std::size_t used = 0;                  // bytes of key in it
    char key[kTomlKeyPiece + 16];          // room for the last character's bytes and the closing quote

    unsigned char inlineTable[kTomlNesting / 8];  // bit d set: the container at depth d + 1 is an inline table
};

inline TomlLexState &tomlState(Lexer &lexer)
{
    return languageState<TomlLexState>(lexer);
}

#endif
