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
    Condition,  // the '(' of an if's, a while loop's or a for's head: as Paren, and a line end after its ')' is layout
    Subject,    // the '(' of a when's subject: as Condition, and the '{' after it opens a WhenBody
    WhenBody,   // a when's '{': as Brace, but that a line end before else counts (an entry may start there)
    DoBody,     // a do loop's '{': as Brace, and the while after it closes the loop
};

// What the last token was, where the line end after it, or before the next
// one, may be layout for that reason.
enum class KotlinLast : unsigned char {
    Other,       // none of these
    Start,       // no token yet, or a statement's '{' or ';'
    LineEnd,     // a LineEnd the lexer handed out
    Modifier,    // a modifier word (private, override, ...) where a declaration starts
    Fun,         // the word fun
    If,          // if, for, or a while that starts a loop: its '(' is a Condition
    When,        // when: its '(' is a Subject, or its '{' a WhenBody
    SubjectEnd,  // the ')' of a when's subject: its '{' is a WhenBody
    Do,          // do: its '{' is a DoBody
    Colons,      // "::", after which class is a class literal's
    DoEnd,       // the '}' of a DoBody (line ends after it kept): a while after it closes the loop
};

// The declaration whose head is being read, where a line end before its
// '=', '{' or by is layout.
enum class KotlinHead : unsigned char {
    None,
    Fun,       // fun: '=' or '{' begins its body
    Property,  // val, var: '=' or by
    Class,     // class, interface, object: '{' begins its body, by delegates
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
    KotlinLast last = KotlinLast::Start;  // what the last token was
    KotlinLast prev = KotlinLast::Start;  // the same before the token being read
    KotlinHead head = KotlinHead::None;  // the declaration whose head is being read
    std::size_t headDepth = 0;           // the frames open where its keyword stands
    bool importHead = false;             // the statement is a package or import header
    bool doWithoutBraces = false;        // a do loop's body came without '{': no while after it is a loop's head
    int numberPhase = 0;                 // where a paused number stands (lexer.cpp)
    bool numberDecimal = true;           // the number has no 0x or 0b prefix
};

inline KotlinLexState &kotlinState(Lexer &lexer)
{
    return languageState<KotlinLexState>(lexer);
}

#endif
