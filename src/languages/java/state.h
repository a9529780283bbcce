// The Java lexer's own state: verbatim tokens and text blocks.
#ifndef MATCHLING_JAVA_STATE_H
#define MATCHLING_JAVA_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/lexer.h"

// What the Java lexer goes on with inside LexMode::Verbatim: a token handed
// out exactly as written up to its end.
enum class JavaVerbatim : unsigned char {
    Tail,         // to the input's end: after a Unicode escape that may change what the compiler reads
    BlockComment, // a block comment longer than the window, to its "*/"
    LineComment,  // a line comment longer than the window, to its line end
    TextBlock,    // a text block longer than the window, to its closing quotes
};

// Where a text block held whole in the window is being handed out.
enum class TextBlockPhase : unsigned char {
    Open,   // the opening quotes and line end
    Line,   // the next content line
    Break,  // the line end after the line just handed out
    Close,  // the closing quotes
};

// What looking over a comment before it is skipped or its words handed out
// found.
enum class CommentLook : unsigned char {
    Fits,       // it ends within the window, with no Unicode escape that may end it early
    Dangerous,  // it holds such an escape, or it is a block comment the input ends inside
    Long,       // it does not end within the window
};

struct JavaLexState {
    JavaVerbatim verbatim = JavaVerbatim::Tail;  // the verbatim token's kind, in LexMode::Verbatim
    int splitRest = 0;                  // '>' bytes of a ">>" or ">>>" still to hand out one at a time
    bool hexNumber = false;             // the number being scanned is hexadecimal
    std::int64_t cleanUntil = 0;        // translated offset before which no run of code bytes holds a backslash
    std::int64_t commentEnd = 0;        // translated offset of the open line comment's end (its CR or LF)
    CommentLook look = CommentLook::Fits;  // of the comment at pos that layout stopped at
    TextBlockPhase phase = TextBlockPhase::Open;  // in LexMode::Raw: what of the text block goes out next
    std::size_t blockLine = 0;          // window offset of the next content line
    std::size_t blockLineEnd = 0;       // window offset of the end of the line just handed out
    std::size_t blockClose = 0;         // window offset of the closing quotes
    std::size_t blockIndent = 0;        // bytes of incidental indentation taken from each line
    bool blockStrict = false;           // the content goes out as written (no indentation removed, no blanks trimmed)
};

inline JavaLexState &javaState(Lexer &lexer)
{
    return languageState<JavaLexState>(lexer);
}

inline const JavaLexState &javaState(const Lexer &lexer)
{
    return languageState<JavaLexState>(lexer);
}

// imports.cpp: how its imports sort.
extern const ImportRules kJavaImports;

#endif
