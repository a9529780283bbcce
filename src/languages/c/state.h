// The C-family lexer's own state: literals, raw and interpolated strings,
// directives. The lexer (lexer.cpp) reads C, C++ and C#, and Basic's lexer
// shares its shape.
//
// Choices beyond the plain lexical rules:
// - splices come out everywhere but inside a C++ raw string, which puts them
//   back: each goes into its key as a backslash and a line feed (a CR LF's
//   CR dropped, as in every raw string), one with blanks before its line end
//   refuses the source, and one inside the delimiter makes the 'R' a name. A
//   C# source has no splices at all (its row of the table reads it without);
// - a line feed inside a block comment does not start a line: a '#' after
//   such a comment opens a directive only if no token stands before it on
//   its line; trigraphs are not replaced;
// - C# forms are taken in every C-family source: "=>", "??" and "??=" are
//   tokens (a C# verbatim name "@name" is two); holes nested deeper than
//   kInterpolationDepth are not tracked;
// - a C# raw string is three or more quotes (after '$' signs when it is
//   interpolated) that either close with as many on the same line, or stand
//   alone on their line and close on a line of their own (otherwise, as in C
//   and C++, "" is an empty string and another starts). A multi-line one
//   compares by its content lines with the closing line's indentation taken
//   off, line ends as line feeds; one whose lines do not all start with that
//   indentation, that holds a lone CR, or that does not fit the window, comes
//   out as written. Holes of an interpolated one are found by their braces,
//   skipping the quoted literals inside them;
// - a string literal joins the one before only if it closes on its line; a
//   header name is one token only if its '>' stands within a window;
// - a LineEnd token is counted as a token for the End piece's place;
// - Basic: a " _" continuation needs a blank or the line's start before the
//   underscore; a comment's words are those after its ' or Rem; "&H" and "&O"
//   start numbers.
#ifndef MATCHLING_C_STATE_H
#define MATCHLING_C_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/kit.h"
#include "tokens/lexer.h"

constexpr std::size_t kRawDelimiter = 16;        // longest delimiter of a raw string
constexpr std::size_t kInterpolationDepth = 16;  // nested holes and literals inside a C# interpolated string

// Which directive the current line is (C family).
enum class Directive : unsigned char {
    None,     // not a directive line
    Other,    // a directive not named below
    Define,   // #define
    Include,  // #include, #include_next or #import
};

// One frame of the scan of a C# interpolated string.
enum class InterpolationFrame : unsigned char {
    Text,          // the text of $"..."
    VerbatimText,  // the text of $@"..." or @$"..."
    Hole,          // a {...} hole
    String,        // a "..." inside a hole
    VerbatimString,  // a @"..." inside a hole
    Character,     // a '...' inside a hole
};

// What of a C# raw string goes out next (lexer.cpp).
enum class CSharpRawPhase : unsigned char {
    Open,       // its opening '$' and quotes
    OpenBreak,  // the line end after them
    Line,       // the next content line, the closing line's indentation taken off
    LineBreak,  // the line end after it
    Close,      // its closing quotes
    Stream,     // the rest as written, to the closing quotes (one that does not fit the window)
};

// A C# raw string (""" ... """, $""" ... """), held whole in the window while
// its pieces go out, or streamed as written when it does not fit.
struct CSharpRaw {
    bool active = false;                       // LexMode::Raw is a C# raw string, not a C++ one
    CSharpRawPhase phase = CSharpRawPhase::Open;
    std::size_t quotes = 0;                    // quotes of each delimiter
    std::size_t open = 0;                      // window offset just after the opening quotes
    std::size_t line = 0;                      // window offset of the next content line
    std::size_t closeLine = 0;                 // window offset of the closing line's start
    std::size_t close = 0;                     // window offset of the closing quotes
    std::size_t indent = 0;                    // bytes of indentation taken off each content line
};

// What the C-family lexer keeps beyond the shared fields.
struct CLexState {
    // Literals.
    bool joinable = false;                    // the literal is a string that others may join
    bool joinFirst = true;                    // it is the first literal of its token
    char delimiter[kRawDelimiter];            // the raw string's delimiter
    std::size_t delimiterLength = 0;          // bytes of delimiter
    std::int64_t rawSplices = 0;              // splices still to hand out as written before pos, in a raw string
    CSharpRaw csRaw;                          // the C# raw string being handed out
    InterpolationFrame frames[kInterpolationDepth];  // the interpolated string's open frames
    std::uint16_t braces[kInterpolationDepth];       // unmatched '{' in each hole frame
    std::size_t frameCount = 0;               // frames in use

    // Directives.
    Directive directive = Directive::None;
    int directiveTokens = 0;                  // tokens of the directive so far, '#' included
    int tokenIndex = 0;                       // index of the current token in its directive
    bool opensDirective = false;              // the current token is the '#' that opens a directive
};

// cState(lexer): the C-family state of a lexer, const or not.
inline constexpr StateOf<CLexState> cState{};

// imports.cpp: how its imports sort.
extern const ImportRules kCImports;

#endif
