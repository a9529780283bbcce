// The Go lexer's own state: inserted semicolons and what each bracket opens.
#ifndef MATCHLING_GO_STATE_H
#define MATCHLING_GO_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/lexer.h"

constexpr std::size_t kGoBracketDepth = 256;  // brackets whose kind a Go lexer tracks; deeper ones are
                                              // taken as composite-literal braces and call parentheses

// What the token before the current one was, as far as Go's rules ask.
enum class GoPrev : unsigned char {
    Start,         // nothing yet
    Operand,       // a name that is no keyword, or a literal
    Semicolon,     // a ';', written or inserted
    Colon,         // ':'
    OpenBrace,     // '{'
    Close,         // ')' or '}'
    CloseSquare,   // ']'
    KeyStruct,     // struct or interface: a '{' after it opens a field list
    KeyBody,       // else, for, select or switch: a '{' after it opens a block
    KeyGroup,      // import, const, var or type: a '(' after it opens a group
    KeyType,       // chan
    KeyOther,      // any other keyword
    Other,         // any other operator or byte
};

// What an open Go bracket is; a semicolon may be left out before the closing
// ')' of a Group and the closing '}' of a Block only.
enum class GoBracket : unsigned char {
    Block,    // a block, struct or interface body: a list of statements or fields
    Literal,  // a composite literal's braces
    Group,    // an import, const, var or type group
    Paren,    // any other parenthesis
    Square,   // a bracket
};

// A '{' awaited at one bracket level.
enum class GoHeader : unsigned char {
    None,     // none
    Control,  // after if, for or switch: its block, unless a composite literal with a type of [...], map or struct comes first
    Func,     // after func: its body
};

// One bracket level of a Go source: the file's, or one open bracket's.
struct GoLevel {
    GoBracket bracket = GoBracket::Block;
    GoHeader header = GoHeader::None;
    GoHeader outer = GoHeader::None;  // a Control header that a func literal's Func header interrupts
    bool typeSeen = false;            // a Control header holds a [...], map or struct type that may start a literal
    bool afterDeclName = false;       // a '[' right after a declared name (`type T[`): it may hold type parameters
    std::uint8_t commas = 0;          // commas written at its top level (counting stops at 2)
    bool imports = false;             // a Group opened by import
};

// What a comment is to Go's tools (lexer.cpp).
enum class GoComment : unsigned char {
    Plain,      // a comment: layout
    Directive,  // a //go: directive, //line at a line's start, //export or //extern: a token as written
    GoBuild,    // a //go:build constraint: a token, its expression's blanks run together
    PlusBuild,  // a // +build constraint: a token, its options' blanks run together
    LineBlock,  // a /*line directive: a token as written
    Preamble,   // the first comment of the cgo preamble: the comment group is a token (lexer.cpp)
};

struct GoLexState {
    bool insertSemi = false;   // the last token takes a semicolon at a line end
    std::int64_t semiLine = 0; // the line where that token ends
    bool semiPlaced = false;   // semiPlace holds where the inserted semicolon stands
    TokenPlace semiPlace;      // the first line end or comment after that token
    bool held = false;         // a ';' or ',' waits for the next token, which may drop it
    const char *heldKey = ";"; // which: ";" or ","
    TokenPlace heldPlace;      // where it stands
    GoPrev prev = GoPrev::Start;
    bool declName = false;     // the last token is a name a declaration declares (after type, var, const, or
                               // first in an entry of their group)
    GoLevel levels[kGoBracketDepth + 1];  // [0] the file's, then one per open bracket
    std::size_t depth = 0;     // open brackets tracked in levels
    std::size_t untracked = 0; // open brackets beyond kGoBracketDepth
    int numberPhase = 0;       // where a paused number stands (lexer.cpp)
    int numberBase = 10;       // its base: 2, 8, 10 or 16
    GoComment comment = GoComment::Plain;  // what the comment skipLayout stopped at is
    // The header: the lines before the first that holds more than blanks and
    // "//" comments, where a +build constraint counts when a blank line
    // follows it (go/build).
    bool header = true;        // the scan is in the header
    bool lineComment = false;  // the header line holds a "//" comment: it is no blank line
    bool lineChecked = false;  // the header line holds tokens of blanks to Go's TrimSpace alone (\v, \f, U+0085,
                               // U+00A0): it stays blank
    bool plusSinceBlank = false;  // a +build constraint went out in the header since its last blank line
    // The cgo preamble: the comments between two tokens are held in the
    // window, not handed out, while an import may still come, until the
    // token after them tells whether their last group is the preamble of an
    // import "C" (go/parser's groups; lexer.cpp).
    bool imports = false;         // an import may come: after package, before any other declaration
    bool importWord = false;      // the last token is import
    bool holding = false;         // the comments from holdFrom on are held
    std::int64_t holdFrom = 0;    // translated offset of the first held comment
    std::int64_t holdLine = 0;    // the line there
    std::int64_t holdLineStart = 0;  // and the translated offset where that line starts
    bool holdTokens = false;      // a held comment is a token (a directive), or its words are (LexOptions::comments)
    bool lineGroup = false;       // the held comments so far are the token before's line comment, on its line
    std::int64_t groupFrom = -1;  // translated offset of the first comment of the last group after that; -1: none
    std::int64_t groupEnd = 0;    // translated offset after its last comment (a line comment's line feed included)
    std::int64_t groupEndLine = 0;  // the line where the last held comment ends
    std::int64_t replayTo = -1;   // the held comments are read again, as tokens, up to this translated offset
    std::int64_t preambleAt = -1; // while they are, translated offset of the preamble's first comment; -1: none
    std::int64_t preambleEnd = 0; // and just after its last
    std::int64_t preambleNext = 0;  // translated offset of the preamble's next piece
    bool inComment = false;       // that piece goes on with a comment (after a CR left out)
};

inline GoLexState &goState(Lexer &lexer)
{
    return languageState<GoLexState>(lexer);
}

// imports.cpp: how its imports sort.
extern const ImportRules kGoImports;

#endif
