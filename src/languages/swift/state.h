// The Swift lexer's own state: what the last token leaves for a line end,
// the open brackets, nested comments and the literal being handed out.
#ifndef MATCHLING_SWIFT_STATE_H
#define MATCHLING_SWIFT_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/kit.h"
#include "tokens/lexer.h"

constexpr std::size_t kSwiftNesting = 2048;  // brackets open at once; deeper nesting is refused
constexpr std::size_t kSwiftHashes = 32;     // most '#' around a string or regular expression; more are refused

struct SwiftLexState {
    bool started = false;            // the byte order mark and the shebang line are dealt with
    std::uint64_t commentDepth = 0;  // block comments open, nested (comments as words)
    bool any = false;                // a token has gone out
    std::int64_t lastLine = 1;       // the line the last token (or line end) ended on
    std::int64_t lastEnd = -1;       // source offset just after the last token
    char lastByte = 0;               // the last byte of the last token
    bool lineBreak = false;          // a line feed or a lone CR passed since the last token, outside comments
    unsigned char lineBefore = 0;    // before the next token: 1 a line end, 2 one inside a block comment only, 0 none
    bool continues = true;           // the last token cannot end a statement: a line end after it is layout
    bool directive = false;          // a #if, #elseif, #else or #endif line is open: its line end is a token
    char mark = 0;                   // the mark of the operator whose bytes went out (LexMode::Gap)
    std::size_t markAt = 0;          // window offset where that operator ends
    // A multi-line string handed out a line at a time (LexMode::Raw); offsets in the window, which
    // holds the whole literal and does not move until it is out.
    std::size_t lineAt = 0;          // the next content line's start
    std::size_t closeLine = 0;       // the closing delimiter's line's start
    std::size_t closeAt = 0;         // the closing delimiter's first '"'
    std::size_t literalEnd = 0;      // just after the literal
    std::size_t indent = 0;          // bytes of indentation the closing delimiter strips from each line
    bool lineFeedNext = false;       // the line feed of a CR LF line goes out next
    std::size_t depth = 0;           // brackets open
    char brackets[kSwiftNesting];    // the open brackets, innermost last: ( [ {
};

inline constexpr StateOf<SwiftLexState> swiftState{};

#endif
