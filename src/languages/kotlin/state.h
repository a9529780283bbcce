// The Kotlin lexer's own state: what each open bracket and string is, and
// whether a line end waits to be judged.
#ifndef MATCHLING_KOTLIN_STATE_H
#define MATCHLING_KOTLIN_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/lexer.h"

constexpr std::size_t kKotlinNesting = 2048;  // brackets, strings and template holes open at once; deeper is refused

// What stands open around the scan position.
enum class KotlinFrame : unsigned char {
    Brace,   // '{': a block, a lambda, a class or when body; line ends count inside
    Paren,   // '(': line ends inside are layout
    Square,  // '[': line ends inside are layout
    Hole,    // "${" of a string template: its '}' goes back into the string
    String,  // "...", whose text goes on after a hole
    Raw,     // """...""", whose text goes on after a hole
};

// Where the tokens so far stand in an annotation ("@a.B(...)"), after which
// a line end before a name is layout.
enum class KotlinAnnotation : unsigned char {
    None,  // in none
    Name,  // after its "@Name" or a later name of it: it may end here
    Dot,   // after a '.' or ':' in it: a name follows
    Args,  // inside its "(...)"
    End,   // after the ')' of its "(...)": it ends here
};

struct KotlinLexState {
    KotlinFrame frames[kKotlinNesting];  // the open frames, innermost last
    std::size_t depth = 0;               // frames in use
    bool started = false;                // the byte order mark has been looked for
    bool lineBreak = false;              // a line end stood in the layout since the last token
    TokenPlace breakPlace;               // where the first of those stands
    bool continues = true;               // the last token cannot end a statement (or none came yet)
    bool atTaken = false;                // the name being read has taken its '@' (a label, return@l)
    bool atBlank = false;                // layout follows that '@': the name's key ends in a blank
    KotlinAnnotation annotation = KotlinAnnotation::None;  // where the last token stands in an annotation
    KotlinAnnotation before = KotlinAnnotation::None;      // the same before the token being read
    bool annotationStart = false;        // the name being read is an annotation's "@Name"
    std::size_t annotationDepth = 0;     // frames open inside its "(...)"
    std::uint64_t commentDepth = 0;      // block comments open, nested, while their words are tokens
    int numberPhase = 0;                 // where a paused number stands (lexer.cpp)
    bool numberDecimal = true;           // the number has no 0x or 0b prefix
};

inline KotlinLexState &kotlinState(Lexer &lexer)
{
    return languageState<KotlinLexState>(lexer);
}

#endif
