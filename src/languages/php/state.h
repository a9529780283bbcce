// The PHP lexer's own state: whether the source stands in inline HTML or in
// code, the quotes and braces open inside a string, a heredoc held whole in
// the window, and where a __halt_compiler() statement has got to.
#ifndef MATCHLING_PHP_STATE_H
#define MATCHLING_PHP_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/kit.h"
#include "tokens/lexer.h"

constexpr std::size_t kPhpNesting = 256;  // quotes and braces open inside one string; deeper is refused

// Where a heredoc or nowdoc held whole in the window is being handed out.
enum class PhpDocPhase : unsigned char {
    Open,   // "<<<" after a b prefix, with the quote of a nowdoc
    Name,   // the marker's name in the opening line
    Head,   // the end of the opening line: a line feed, after a nowdoc's quote
    Lines,  // the next body line, its indentation taken off
    Close,  // the closing marker, the key's last piece
};

// How far a __halt_compiler() statement has come; after it, the rest of the
// source is data.
enum class PhpHalt : unsigned char {
    None,
    Name,   // after "__halt_compiler"
    Open,   // and '('
    Close,  // and ')'
    Data,   // and ';' or "?>": the next token is the rest of the source
    Done,   // the data is out
};

struct PhpLexState {
    bool code = false;                 // inside <?php ... ?>; false: inline HTML
    bool variable = false;             // the open name is a variable: no '\' goes on with it
    PhpHalt halt = PhpHalt::None;
    // The quotes, braces and comments open inside the string being read
    // (LexMode::Interpolated), innermost last: '\'', '"', '`', '{' for code
    // inside braces, '*' for a block comment there.
    char open[kPhpNesting];
    std::size_t depth = 0;
    // A heredoc held whole in the window (LexMode::Raw).
    PhpDocPhase phase = PhpDocPhase::Lines;
    std::size_t docLine = 0;    // window offset of the next body line
    std::size_t docClose = 0;   // window offset of the closing marker's line
    std::size_t docMarker = 0;  // window offset of the marker itself, after its indentation
    std::size_t docEnd = 0;     // window offset after the marker
    std::size_t docIndent = 0;  // bytes of the marker's indentation, taken from each body line
    std::size_t docStart = 0;   // window offset of the token's first byte
    std::size_t docName = 0;    // window offset of the marker's name in the opening line
    std::size_t docNameEnd = 0; // window offset after it
    bool nowdoc = false;        // the marker is in single quotes
    // The rest of the source as one token (LexMode::Gap): its last byte
    // after the source's bytes; nullptr: none (a __halt_compiler's data).
    const char *restMark = nullptr;
    char key[16] = {};          // a cast's key, its blanks left out
    std::size_t keyLength = 0;  // bytes of key
};

inline constexpr StateOf<PhpLexState> phpState{};

#endif
