// The JavaScript and TypeScript lexer's own state: the frames open around the scan position and what the last token leaves.
#ifndef MATCHLING_SCRIPT_STATE_H
#define MATCHLING_SCRIPT_STATE_H

#include <cstddef>
#include <cstdint>

#include "tokens/lexer.h"

// JavaScript and TypeScript: what stands open around the scan position.
constexpr std::size_t kScriptNesting = 256;  // brackets, braces, template holes and JSX tags and elements open at once
constexpr std::size_t kScriptWord = 16;      // bytes of the last name kept to tell a keyword
constexpr std::size_t kScriptDirective = 512;  // bytes from a directive's '@' to its argument's end, at most

// True when word (length bytes, shorter than kScriptWord) is one of the
// blank-separated words of list, which starts and ends with a blank
// (lexer.cpp; the rules ask it too).
bool scriptWordIn(const char *list, const char *word, std::size_t length);

// The word lists the lexer tells a name's class by (scriptWordIn), which the
// rules' bookkeeping follows too. Each starts a cache line: strstr, which
// scans them for the names their ScriptWords below let through, then reads
// them with the fewest vector loads.
alignas(64) constexpr char kRestrictedWords[] = " return break continue throw yield debugger ";
alignas(64) constexpr char kOperatorWords[] = " typeof void delete new in of instanceof await case default extends else do ";
alignas(64) constexpr char kTypeOperatorWords[] = " as satisfies keyof infer is ";
alignas(64) constexpr char kHeadWords[] =
    " var let const class function import export if for while with switch try catch finally static enum ";
alignas(64) constexpr char kModifierWords[] = " export default async declare abstract ";
alignas(64) constexpr char kBodyWords[] = " function class interface enum namespace module global ";
alignas(64) constexpr char kControlWords[] = " if while for with ";
alignas(64) constexpr char kBlockWords[] = " else do try finally ";

// A word list with, for each first byte, the lengths (bits 1 to
// kScriptWord - 1) a match of scriptWordIn may have: a blank-to-blank span of
// the list starting with that byte, words with blanks in them included. Worked
// out at compile time from the list itself, it turns most names away with one
// load; only the rest go on to scriptWordIn, so has(word, length) is
// scriptWordIn(list, word, length) for any word without a NUL byte.
class ScriptWords {
public:
    template <std::size_t N>
    constexpr explicit ScriptWords(const char (&list)[N]) : list_(list)
    {
        for (std::size_t i = 0; i < N; ++i)
            for (std::size_t j = i + 1; list[i] == ' ' && j < N && j - i - 1 < kScriptWord; ++j)
                if (list[j] == ' ' && j - i - 1 > 0)
                    lengths_[static_cast<unsigned char>(list[i + 1])] |= static_cast<std::uint16_t>(1u << (j - i - 1));
    }
    bool has(const char *word, std::size_t length) const
    {
        return length - 1 < kScriptWord - 1 && (lengths_[static_cast<unsigned char>(word[0])] >> length & 1) &&
               scriptWordIn(list_, word, length);
    }

private:
    const char *list_;
    std::uint16_t lengths_[256] = {};
};

constexpr ScriptWords kRestrictedSet(kRestrictedWords);
constexpr ScriptWords kOperatorSet(kOperatorWords);
constexpr ScriptWords kTypeOperatorSet(kTypeOperatorWords);
constexpr ScriptWords kHeadSet(kHeadWords);
constexpr ScriptWords kModifierSet(kModifierWords);
constexpr ScriptWords kBodySet(kBodyWords);
constexpr ScriptWords kAccessorSet(" get set ");
constexpr ScriptWords kModuleSet(" import export ");
constexpr ScriptWords kAttributeSet(" with assert ");

enum class ScriptFrame : unsigned char {
    None,          // nothing open (the value of an empty stack's top)
    Paren,         // '(' of a call, a group or a parameter list
    ControlParen,  // '(' after if, while, for, with: its ')' ends no expression
    Bracket,       // '['
    Block,         // '{' of a statement block or a declaration's body: its '}' ends a statement
    TypeBody,      // '{' of a TypeScript interface: a member ends at a line end unless '|', '&', ... goes on
    Object,        // '{' in an expression (object literal, function expression or arrow body)
    Hole,          // "${" of a template literal: its '}' goes back into the template text
    JsxTag,        // inside a JSX opening tag, between '<' and '>'
    JsxClosing,    // inside a JSX closing tag, between "</" and '>'
    JsxChildren,   // between a JSX element's tags: text, '{', '<'
    JsxBrace,      // '{' inside a JSX tag or among its children
};

// What the last Code token leaves expected, for '/' (division or a regular
// expression) and for line ends (an inserted semicolon or layout).
enum class ScriptPrev : unsigned char {
    Start,       // a statement starts: nothing yet, ';', a block's '{' or '}', the ')' of if (...)
    Operator,    // an operand must follow: operators, '(', '[', ',', typeof, in, ...
    Head,        // a statement goes on: var, let, const, class, function, if, import, ...
    Operand,     // an expression may end here: names, literals, ')', ']', an object's '}', postfix ++
    Restricted,  // return, break, continue, throw, yield, debugger: a line end after it ends the statement
};

// What the '{' after the last token opens, when import, export or an
// import's string comes before it.
enum class ScriptList : unsigned char {
    None,
    Names,       // after import or export at a statement's start (and "type" after one): a list of names,
                 // which "from" may follow on the next line
    Attributes,  // after "with" or "assert" right after a string: an import's or export's attributes
};

// Where a decorator ("@name", "@a.b(...)", "@(...)") stands: a line end in
// or right after one inserts no ';', as what it decorates follows, and one
// that stands at a statement's start leaves it there.
enum class ScriptDecorator : unsigned char {
    None,
    At,    // the last token is its '@'
    Name,  // the last token is a name of it, which ".name" or "(...)" may follow
    Dot,   // the last token is a '.' in it
    Args,  // inside its "(...)"
    Done,  // the last token is the ')' of its "(...)"
};

// What the next call goes on with, inside a token or between tokens.
enum class ScriptScan : unsigned char {
    Between,    // between tokens
    Name,       // a name, a private name or the flags of a regular expression
    Number,     // a number
    Quoted,     // a string literal
    Template,   // the text of a template literal
    Regex,      // the body of a regular expression literal
    JsxString,  // a JSX attribute string
    JsxWord,    // a word of JSX text
    Blanks,     // the rest of a JSX blank run handed out in pieces
};

struct ScriptLexState {
    ScriptFrame frames[kScriptNesting];  // the open frames, innermost last
    std::size_t depth = 0;               // frames in use
    bool loose = false;                  // the frames overflowed: the rest is words and line ends, strictly
    ScriptScan scan = ScriptScan::Between;
    ScriptPrev prev = ScriptPrev::Start;
    char word[kScriptWord];              // the last token when it is a name of at most kScriptWord bytes
    std::size_t wordLength = 0;          // bytes of word; 0 when the last token is none such
    char prevByte = 0;                   // the last token's byte when it is a one-byte punctuator, else 0
    bool memberNext = false;             // the last token is a '{', ';' or ',' before an interface's member
    bool memberFirst = false;            // the last token is the first of an interface's member
    bool stmtStart = true;               // a statement starts at the next token (modifiers like export kept)
    TokenPlace lastEnd;                  // just after the last Code token: where an inserted ';' stands
    std::int64_t lastLine = 0;           // the line where the last Code token ends; 0 before any
    bool pending = false;                // a function, class or like head waits for its body's '{'
    bool pendingExpr = false;            // that head stands in an expression
    bool pendingType = false;            // that head is an interface's
    std::size_t pendingDepth = 0;        // depth where its body opens
    bool tagStart = false;               // the last token is the '<' that opens a JSX tag
    bool selfClosing = false;            // a '/' stands in the open JSX tag: its '>' ends the element
    bool textHasWord = false;            // the JSX text being read has handed out a word
    bool numberRadix = false;            // the number is 0x, 0o or 0b
    bool numberDot = false;              // the number has its '.'
    bool numberExponent = false;         // the number has its exponent
    bool regexClass = false;             // the regular expression scan is inside [...]
    bool regexFlags = false;             // the regular expression body is closed: flags follow
    std::size_t blankLeft = 0;           // bytes of the JSX blank run still to hand out
    std::uint64_t doFrames[kScriptNesting / 64] = {};  // bit d: frame d is a do statement's block body or the
                                                       // '(' of the while after it
    bool doEnded = false;                // the last token is the '}' of a do statement's block body
    bool doWhile = false;                // the last token is the while right after it
    bool semicolonDue = false;           // the last token is the ')' of that while: a ';' goes before any token but ';'
    bool lastString = false;             // the last token is a string literal
    ScriptList listNext = ScriptList::None;  // what a '{' right after the last token opens
    bool listFrom = false;               // the list open is one of names, which "from" may follow
    std::size_t listDepth = 0;           // frames open with that list's innermost; 0 when none is open
    bool fromMayFollow = false;          // the last token is the '}' of a list of names
    bool importing = false;              // the statement is an import declaration (no import(...) or import.meta)
    bool specifierNext = false;          // the last token is the from of an import or export declaration
    ScriptDecorator decorator = ScriptDecorator::None;
    std::size_t decoratorDepth = 0;      // frames open with the '(' of a decorator's arguments innermost
    bool decoratorStart = false;         // the decorator stands at a statement's start
    char directive[kScriptDirective + 8]; // the key of a directive made of a comment (lexer.cpp), "//@" first
};

inline ScriptLexState &scriptState(Lexer &lexer)
{
    return languageState<ScriptLexState>(lexer);
}

inline const ScriptLexState &scriptState(const Lexer &lexer)
{
    return languageState<ScriptLexState>(lexer);
}

#endif
