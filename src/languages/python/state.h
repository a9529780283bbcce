// The Python lexer's own state: indentation, the logical line, strings.
#ifndef MATCHLING_PYTHON_STATE_H
#define MATCHLING_PYTHON_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/lexer.h"

constexpr std::size_t kPythonIndentDepth = 100;   // indentation levels held, level 0 included (CPython's limit)
constexpr std::size_t kPythonStringFrames = 16;   // nested texts, fields and formats inside one f-string
constexpr std::size_t kPythonCodingName = 64;     // bytes of an encoding's name held in the key of its declaration

// One frame of the scan of a string literal (Python).
enum class PythonFrame : unsigned char {
    Text,        // the text of a string; in an f-string, between its fields
    Field,       // a {...} replacement field of an f-string
    Format,      // the format after a field's ':'
    EscapeName,  // the {...} of a \N{...} escape
    Comment,     // a '#' comment inside a field
};

struct PythonStringFrame {
    PythonFrame kind = PythonFrame::Text;
    char quote = '"';         // the quote that closes the string (of the string that owns a field or format)
    bool triple = false;      // that quote is tripled
    bool raw = false;         // backslashes escape nothing but the quote and the line end
    bool formatted = false;   // an f-string or t-string: braces open fields
    std::uint16_t brackets = 0;  // unclosed brackets inside a field
};

// What the numbers scan is inside of (Python).
enum class PythonNumber : unsigned char {
    Integer,   // decimal digits
    Fraction,  // after the '.'
    Exponent,  // after the exponent's letter
    Prefixed,  // after 0x, 0o or 0b
};

struct PythonLexState {
    // Indentation: the open levels, and the current line's.
    std::int32_t columns[kPythonIndentDepth];     // width of each level, a tab to the next multiple of 8; [0] is 0
    std::int32_t altColumns[kPythonIndentDepth];  // the same width with a tab counting 1, to catch inconsistent tabs
    bool matchBlock[kPythonIndentDepth];          // the level is the block of a match statement
    std::size_t levels = 1;                       // entries in use
    std::int32_t column = 0;                      // width of the current line's indentation so far
    std::int32_t altColumn = 0;                   // the same, tabs counting 1
    bool measuring = true;                        // the blanks at pos start a logical line
    bool indentDone = false;                      // the current logical line's indentation is handled
    bool closed = false;                          // the levels open at the input's end are queued

    // The logical line.
    int brackets = 0;                             // unclosed (, [ and { (never below 0)
    bool lastBreak = true;                        // the last token was a LineEnd, Indent or Dedent, or none came yet
    bool firstToken = false;                      // the current token is its logical line's first
    bool headerLine = false;                      // the line starts with a compound statement's keyword
    bool headerDone = false;                      // its header's ':' has come
    int lambdas = 0;                              // lambdas on the header line whose ':' has not come
    bool afterHeader = false;                     // the header's ':' was the last token
    bool blockOpen = false;                       // a block on its header's line is open (LineEnd and Indent given)
    bool matchLine = false;                       // the line starts with the name match
    bool lastColon = false;                       // the last token was a ':' outside brackets
    bool matchNext = false;                       // an indent after this line opens a match block
    bool semicolon = false;                       // a ';' outside brackets is waiting for what follows
    TokenPlace semicolonPlace;                    // where it stands

    // Tokens owed before the next one.
    bool owedIndent = false;                      // the Indent of a block on its header's line
    bool owedBlockDedent = false;                 // the Dedent that closes such a block
    std::size_t owedDedents = 0;                  // Dedents of closed levels
    bool owedLevel = false;                       // the Indent of a new level

    // Strings.
    PythonStringFrame frames[kPythonStringFrames];  // open frames of the string being scanned
    std::size_t frameCount = 0;                   // frames in use
    bool triple = false;                          // the current literal's quote is tripled
    bool raw = false;                             // the current literal is raw
    bool lastOctal = false;                       // the last joined part may end inside an octal escape
    bool lastUnfinished = false;                  // it ends inside a \x, \u, \U or \N{...} escape
    bool lastBrace = false;                       // it ends in a '}' (or may: the window cut it)
    std::int64_t escapeAt = -1;                   // translated offset of the part's last escape; -1 before any
    char escapeKind = 0;                          // the byte after that escape's backslash; 0 once a \N{...} closes
    bool previousName = false;                    // inside a field, the byte before was a name byte

    PythonNumber number = PythonNumber::Integer;  // what the number scan is inside of

    // The encoding declaration (PEP 263): a comment first on the first line,
    // or on the second after a line of blanks or a comment alone.
    std::uint8_t codingLine = 0;                  // lines passed that may hold one (0 or 1); 2: no later one may
    bool afterMark = false;                       // on the first line, a byte order mark alone stands before pos
    std::uint8_t declaration = 0;                 // the comment at pos is one: 1 with the key in codingKey,
                                                  // 2 handed out as written (lineTokenStep)
    std::size_t declarationEnd = 0;               // with 1, the window offset where the encoding's name ends
    char codingKey[kPythonCodingName + 16];       // "#coding:" and the name in lower case, as Python looks it up
};

inline PythonLexState &pythonState(Lexer &lexer)
{
    return languageState<PythonLexState>(lexer);
}

inline const PythonLexState &pythonState(const Lexer &lexer)
{
    return languageState<PythonLexState>(lexer);
}

#endif
