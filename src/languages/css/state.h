// The CSS lexer's own state (CSS, SCSS and Less): what the statement being
// read is, the brackets open around the scan and what the last token leaves.
#ifndef MATCHLING_CSS_STATE_H
#define MATCHLING_CSS_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/lexer.h"

constexpr std::size_t kCssNesting = 256;  // brackets tracked; deeper ones make every blank count

enum class CssDialect : unsigned char { Css, Scss, Less };

// How the statement being read is read, as the bytes up to its end tell.
enum class CssStatement : unsigned char {
    Strict,    // not known (its end is too far, or it may be read several ways): every blank between tokens counts
    Selector,  // a rule's selector: blanks around the combinators '>', '~' and '+' are layout
    Property,  // a declaration: blanks around its ':' and before its '!' are layout, and around ':' in brackets
    AtRule,    // an at-rule whose prelude holds values: blanks around ':' in brackets are layout
};

// What a bracket on the stack opens.
enum class CssOpen : unsigned char {
    Block,     // '{' of a rule or an at-rule
    Interp,    // "#{" (SCSS) or "@{" (Less)
    Paren,     // '(', '[' or a function
    Selector,  // a function whose arguments are a selector (selector(), :not() ...): blanks there count
};

// What the last token handed out leaves for a blank after it.
enum class CssAfter : unsigned char {
    Layout,     // nothing, '{', '}' of a block, ';', ',', an opening bracket, a relaxed ':': a blank is layout
    Combinator, // a relaxed selector combinator: a blank is layout unless a string follows
    Bang,       // '!' in a declaration: a blank before a name is layout
    Prelude,    // "@media", "@supports" or "@container": a blank before '(' is layout (an at-keyword takes no '(')
    Other,      // a blank counts
};

struct CssLexState {
    CssDialect dialect = CssDialect::Css;
    bool started = false;           // the byte order mark at the start has been looked at
    bool statementStart = true;     // the next token starts a statement
    CssStatement statement = CssStatement::Strict;
    bool colonSeen = false;         // the statement's first ':' outside brackets has gone by
    bool blankSeen = false;         // layout since the last token held a blank
    CssAfter after = CssAfter::Layout;
    CssOpen stack[kCssNesting];     // the open brackets, innermost last
    std::size_t depth = 0;          // entries of stack in use
    std::size_t overflow = 0;       // brackets open beyond the stack
    unsigned char numberPhase = 0;  // inside a number: 0 integer digits, 1 fraction, 2 exponent
    bool function = false;          // the name being read may become a function ("name(")
    bool badUrl = false;            // the url token being read is bad: its rest goes to ')'
};

inline CssLexState &cssState(Lexer &lexer)
{
    return languageState<CssLexState>(lexer);
}

inline const CssLexState &cssState(const Lexer &lexer)
{
    return languageState<CssLexState>(lexer);
}

#endif
