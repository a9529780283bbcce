// The C-family rules of --allow (C, C++ and C#, one lexer): which rewrites
// the token stream proves harmless, and their canonical forms.
//
// The scan walks the kept tokens once, keeping a stack of open brackets with
// what opened each (a control header, a possible macro call, a namespace or
// class body, a function body), the #if groups, and what the statement at the
// innermost brace level holds so far. At each token that may start a rewrite
// it looks ahead over the held tokens and either decides, or, when what it
// needs is not held yet, stops there until more tokens join.
//
// Nothing is rewritten inside a directive, inside parentheses that may be a
// macro's arguments (a name or ')' before the '(': the macro may turn its
// arguments into a string), or once the bracket stack overflows, closes a
// bracket it did not open, or differs between the branches of an #if group:
// from there on the stream goes through as written.
#include <algorithm>
#include <cstring>

#include "languages/c/state.h"
#include "rewrites/rules.h"

namespace {

constexpr std::size_t kNesting = 256;          // open brackets tracked; past it the rest goes through as written
constexpr std::size_t kConditionals = 64;      // nested #if groups tracked; likewise
constexpr std::size_t kBranchFrames = 2;       // frames a branch of an #if group may close or open; past it,
                                               // the rest goes through as written
constexpr std::size_t kStatementNesting = 32;  // statements nested in a body that the body's parse follows
constexpr std::size_t kUsingRun = 32;          // using declarations sorted as one run; a longer run stays as written
constexpr std::size_t kUsingTokens = 16;       // tokens of one using declaration that sorts, ';' included
constexpr std::size_t kUsingKeyBytes = 4096;   // bytes of a sorted run's canonical key; longer, as written
constexpr std::size_t kNumberBytes = 64;       // longest number written in canonical form
constexpr std::size_t kMacroNames = 1024;      // macros #defined in the stream that are remembered; past
                                               // it no braces or parentheses are taken out
constexpr std::size_t kNameTable = 640;       // names whose uses the scan classifies; once full, none is known
constexpr std::size_t kMacroParameters = 16;   // parameters of a function-like macro read; more: a wild macro
constexpr std::size_t kMacroReferences = 128;  // names the tame macros' replacements name; past it, none is tame
constexpr std::size_t kWordBytes = 16;         // bytes kept of the last two tokens' keys
constexpr std::size_t kHorizon = kRewriteTokens / 2;  // tokens held after the last one decided, unless the
                                                      // window ends the stream or can take no more
constexpr std::uint64_t kFail = ~std::uint64_t(0);

// The first byte of each canonical key: never the first byte of a key as written.
constexpr char kNumberTag = '\x01';
constexpr char kUsingsTag = '\x02';
constexpr char kEmptyBody[] = "\x03";  // an empty body: ';' or '{}' after if (...), else, for (...), ...

// What opened a bracket.
enum class Opened : unsigned char {
    Plain,      // '(' or '[' of an expression, or '{' of a block, a lambda or an initializer
    Suspect,    // '(' after a name or ')': perhaps a macro's arguments
    Library,    // '(' of a call of a library function (below), no macro of the file: a Suspect frame
                // that is no macro's arguments either, where only the strings' suffixes are read
    If,         // '(' of if
    Loop,       // '(' of while, for or foreach
    Switch,     // '(' of switch
    Namespace,  // '{' of a namespace or an extern "C" block
    Class,      // '{' of a class, struct or union body
    Function,   // '{' that may be a function body (after ')' at namespace or class level)
};

struct Frame {
    std::uint16_t pendingDo;  // do statements directly inside a '{' whose while has not come yet
    char bracket;           // '(', '[' or '{'
    Opened opened;
    bool statement;         // a '{' with a statement keyword (return, if, ...) directly inside
    bool block;             // a '{' of a compound statement or a function body: its '}' ends a statement
};

// An open #if group. Each branch starts from the brackets the #if found and
// may close up to kBranchFrames of them and open as many; every branch (an
// absent #else counts as an empty one) must leave the same brackets.
struct Group {
    std::uint16_t depth, suspects;         // the brackets at the #if
    std::uint16_t endDepth, endSuspects;   // where the branches seen so far end
    bool ended;                            // a branch has ended
    bool elseSeen;                         // an #else: no branch is empty
    bool cleanStart;                       // the #if came between statements
    std::uint16_t branch;                  // the serial number of its current branch
    Frame saved[kBranchFrames];            // the frames below depth at the #if
    Frame end[2 * kBranchFrames];          // the frames from there to endDepth where the branches end
};

// What the last kept token leaves for a '{' that follows.
enum class After : unsigned char {
    Nothing,
    Body,      // the ')' of if, while, for, foreach, or else, or do: a body follows
    CaseBody,  // the ':' of a case or default label
};

struct CState {
    bool started;                          // the first token has been looked at
    std::uint64_t cursor;                  // next token to look at
    Frame frames[kNesting];
    std::size_t depth;                     // frames in use
    std::size_t suspects;                  // open Suspect frames
    bool lost;                             // the brackets are no longer known: no more rewrites
    bool inDirective;                      // between a directive's '#' and its LineEnd
    int directiveIndex;                    // tokens of the directive so far
    Group conditionals[kConditionals];     // the open #if groups
    std::size_t conditionalCount;
    std::uint32_t macros[kMacroNames];     // hashes of the names the stream #defines
    std::size_t macroCount;
    bool macrosFull;                       // more names than macros holds were defined
    // How each definition in macros expands (see "Macros of the file").
    unsigned char macroKinds[kMacroNames];  // a MacroKind each
    std::uint32_t macroReferences[kMacroReferences];  // names the replacement of a tame macro names
    bool referenceInside[kMacroReferences];  // that name stood inside a '(' or '[' of the replacement
    std::size_t referenceCount;
    bool tameBroken;                       // such a name was defined as a macro after, or too many
    bool breakUnlessSingle;                // the #define being read defines such a name that stood only inside
                                           // brackets: unless it is tame and single, it breaks them too
    std::uint32_t macroParameters[kMacroParameters];  // the #define's parameters
    std::size_t parameterCount;
    int defineStep;                        // 0: before its parameters; 1: in them; 2: its replacement
    int defineDepth;                       // open '(' and '[' of its replacement
    unsigned char defineKind;              // what its replacement shows so far
    int defineShape;                       // how far it reads as one statement (statementShape)
    int defineBraces;                      // open '{' of that statement
    bool definePasting;                    // its replacement so far holds '#' or '##'
    bool defining;                         // the directive is a #define
    bool includeSeen;                      // an #include ran: the source is C or C++, not C#
    bool cplusplus;                        // and a '::' outside brackets [...] showed C++ (C23 has it only in
                                           // attributes [[...]])
    // The statement at the innermost brace level.
    bool empty;                            // nothing since a ';', a namespace or class '{' or a function '}',
                                           // and no directive since: an empty declaration may stand here
    bool start;                            // a declaration may start here (directives do not matter)
    int tokens;                            // its tokens (a template header not counted)
    int beforeParen;                       // its tokens before its first '(' ; -1 before one
    bool equals, typeKey, enumKey, namespaceKey, externC, tainted;
    int angle;                             // open '<' of its template header
    bool header;                           // it started with template
    bool caseOpen;                         // inside a case label, before its ':'
    int ternary;                           // open '?' of that label
    After after;
    char prev[kWordBytes + 1];             // the last kept token's key, empty when longer
    char prevPrev[kWordBytes + 1];
    bool prevName;                         // the last kept token is a name (not a literal)
    int decltypeStep;                      // how much of decltype(auto) the last tokens spell
    bool decltypeAuto;                     // decltype(auto) has been seen: return values keep their parentheses
    bool consteval;                        // consteval has been seen: else bodies keep their braces
    bool doWhile;                          // the last token is the while of a do statement
    std::uint64_t usingsUntil;             // tokens before this belong to a using run already decided
    // What the uses of each name so far show (see "Names known to be no type").
    std::uint64_t names[kNameTable];       // a name's hash with its use bits (kCalled, kDoubted); 0: free
    bool namesFull;                        // a name found no room: no name is known from here on
    std::uint16_t branchSerial;            // the last serial number given to a branch of an #if group
    bool branchesFull;                     // the serial numbers ran out: no call inside a group shows a name
    std::size_t libraryCalls;              // open Library frames (counted in suspects too)
    bool prevLibrary;                      // the last kept token names a library function (kLibrary) and no
                                           // macro of the file
    bool inttypes;                         // <inttypes.h> or <cinttypes> was included outside any #if group
    std::uint64_t prevHash;                // the last kept token's name hash (a name's only)
    std::size_t typedefDepth;              // 1 + the bracket depth of an open typedef declaration; 0: none
    bool closedBlock;                      // the last '}' closed a compound statement or a function body
    bool switchHeader;                     // the last token is the ')' of a switch
    bool callNext;                         // a '(' next calls the last token, a name (a use that shows no type)
    bool declareNext;                      // a '(' next may start a file-level function's parameters
    bool branching;                        // the directive is a conditional one or an #include
    bool including;                        // the directive is an #include
    bool afterBranching;                   // such a directive ended since the last kept token: the token
                                           // before this one may not be the one a compiler reads before it
};
enum class Look : unsigned char { Done, Wait };

bool prevIs(const CState &st, const char *s)
{
    return std::strcmp(st.prev, s) == 0;
}

std::size_t keyLength(RewriteWindow &w, std::uint64_t i)
{
    return windowAt(w, i).length;
}

// A Code token held whole (a token cut at kRewriteLongToken is no name or number to rely on).
bool isCode(RewriteWindow &w, std::uint64_t i)
{
    return i < windowEnd(w) && windowAt(w, i).kind == TokenKind::Code && windowAt(w, i).whole;
}

bool nameByte(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u == '$' ||
           u >= 0x80;
}

bool digit(char c)
{
    return c >= '0' && c <= '9';
}

// A name or keyword: name bytes, no digit first, no quote (a literal's prefix).
bool nameKey(const char *k, std::size_t n)
{
    if (n == 0 || digit(k[0]) || !nameByte(k[0]))
        return false;
    for (std::size_t j = 0; j < n; ++j)
        if (!nameByte(k[j]))
            return false;
    return true;
}

bool isName(RewriteWindow &w, std::uint64_t i)
{
    return isCode(w, i) && nameKey(tokenKey(w, i), keyLength(w, i));
}

bool isNumber(RewriteWindow &w, std::uint64_t i)
{
    if (!isCode(w, i) || keyLength(w, i) == 0)
        return false;
    const char *k = tokenKey(w, i);
    return digit(k[0]) || (k[0] == '.' && keyLength(w, i) > 1 && digit(k[1]));
}

bool isLiteral(RewriteWindow &w, std::uint64_t i)
{
    if (isNumber(w, i))
        return true;
    if (!isCode(w, i))
        return false;
    const char *k = tokenKey(w, i);
    std::size_t n = keyLength(w, i);
    return std::memchr(k, '"', n) != nullptr || std::memchr(k, '\'', n) != nullptr;  // a string or a character
}

bool inList(const char *k, std::size_t n, const char *const *list)
{
    for (; *list; ++list)
        if (std::strlen(*list) == n && std::memcmp(k, *list, n) == 0)
            return true;
    return false;
}

bool tokenIn(RewriteWindow &w, std::uint64_t i, const char *const *list)
{
    return isCode(w, i) && inList(tokenKey(w, i), keyLength(w, i), list);
}

// Keywords that start a statement that is no declaration.
const char *const kExpressionStarts[] = {"return", "break", "continue", "goto", "throw", "co_return", "co_yield",
                                         "co_await", "delete", "this", "true", "false", "nullptr", "sizeof", "new",
                                         "++", "--", "*", "&", "!", "~", "-", "+", "(", nullptr};
// What may follow a name that starts an expression statement and never a declaration's type.
const char *const kAfterOperand[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>=", ".", "->",
                                     "++", "--", "?", ",", "==", "!=", "<=", ">=", "+", "-", "/", "%", "|", "^",
                                     "||", "<<", ">", "->*", ".*", nullptr};
// Names inside a call's parentheses that no declarator holds.
const char *const kOperandNames[] = {"this", "true", "false", "nullptr", "sizeof", "new", "delete", "alignof",
                                     "typeid", "static_cast", "dynamic_cast", "const_cast", "reinterpret_cast",
                                     "throw", nullptr};
// Keywords that show a brace holds statements, not members or values.
const char *const kStatementKeywords[] = {"return", "if", "for", "while", "switch", "do", "goto", "break",
                                          "continue", "throw", nullptr};
// Keywords before '(' that take no macro arguments.
const char *const kHeaderKeywords[] = {"if", "while", "for", "foreach", "switch", "catch", "return", "co_return",
                                       "throw", "case", nullptr};
// What may stand between a function's ')' and its body's '{'.
const char *const kFunctionSuffixes[] = {")", "const", "noexcept", "override", "final", "volatile", "&", "&&",
                                         nullptr};

// --- Reading a body ------------------------------------------------------

// The parentheses open .. close of a call hold something no declarator holds:
// nothing, a top-level comma, a literal or an operator. Otherwise "f(x);"
// may declare x.
//
// With references, a '&' or '&&' counts as such a thing too: the ')' ends
// the statement, and a reference declared without an initializer is no
// declaration of C++ (nor C, which has none).
bool operandsInside(RewriteWindow &w, std::uint64_t open, std::uint64_t close, bool references)
{
    static const char *const declaratorParts[] = {"*", "&", "&&", "::", "(", ")", "[", "]", "<", ">", "...", nullptr};
    std::uint64_t first = nextKept(w, open);
    if (first == close)
        return true;
    int depth = 0, squares = 0;
    for (std::uint64_t i = first; i < close; i = nextKept(w, i)) {
        if (!isCode(w, i))
            return false;
        if (tokenIs(w, i, "(")) {
            ++depth;
        } else if (tokenIs(w, i, ")")) {
            --depth;
        } else if (tokenIs(w, i, "[")) {
            ++squares;
        } else if (tokenIs(w, i, "]")) {
            --squares;
        } else if (depth > 0 || squares > 0) {
            continue;  // a parameter list or a bound may hold anything
        } else if (tokenIs(w, i, ",") || isLiteral(w, i) || tokenIn(w, i, kOperandNames) ||
                   (references && (tokenIs(w, i, "&") || tokenIs(w, i, "&&")))) {
            return true;
        } else if (!isName(w, i) && !tokenIn(w, i, declaratorParts)) {
            return true;
        }
    }
    return false;
}

// The simple statement s .. e (e its ';') is an expression or a jump, never
// a declaration or a labelled statement.
bool provablyNoDeclaration(RewriteWindow &w, std::uint64_t s, std::uint64_t e)
{
    if (s == e)
        return true;
    if (isLiteral(w, s) || tokenIn(w, s, kExpressionStarts))
        return true;
    if (!isName(w, s) || tokenIn(w, s, kHeaderKeywords))
        return false;
    static const char *const keywords[] = {"int", "char", "short", "long", "float", "double", "void", "bool",
                                           "signed", "unsigned", "const", "volatile", "static", "extern",
                                           "auto", "register", "struct", "class", "union", "enum", "typedef",
                                           "using", "namespace", "template", "typename", "constexpr", "inline",
                                           "thread_local", "mutable", "friend", "virtual", "explicit", "case",
                                           "default", "else", "do", "try", "catch", "asm", "decltype", "var",
                                           "_Bool", "_Atomic", "_Static_assert", "static_assert", "operator",
                                           nullptr};
    if (tokenIn(w, s, keywords))
        return false;
    std::uint64_t j = nextKept(w, s);
    while (tokenIs(w, j, "::")) {
        std::uint64_t k = nextKept(w, j);
        if (!isName(w, k))
            return false;
        j = nextKept(w, k);
    }
    if (j >= e + 1 || !isCode(w, j))
        return false;
    if (tokenIn(w, j, kAfterOperand))
        return true;
    if (tokenIs(w, j, "[")) {
        std::uint64_t k = nextKept(w, j);
        return !(tokenIs(w, k, "]") || tokenIs(w, k, "[") || tokenIs(w, k, ","));
    }
    if (tokenIs(w, j, "(")) {
        std::uint64_t c = matchingClose(w, j);
        return c < e && operandsInside(w, j, c, nextKept(w, c) == e);
    }
    return false;
}

bool holdsToken(RewriteWindow &w, std::uint64_t from, std::uint64_t to, const char *key)
{
    for (std::uint64_t i = from; i <= to && i < windowEnd(w); i = nextKept(w, i))
        if (tokenIs(w, i, key))
            return true;
    return false;
}

// The '(' that opens the condition of the "if" at s ("if constexpr (" too),
// or kFail when none stands there.
std::uint64_t ifParen(RewriteWindow &w, std::uint64_t s)
{
    std::uint64_t p = nextKept(w, s);
    if (tokenIs(w, p, "constexpr"))
        p = nextKept(w, p);
    return tokenIs(w, p, "(") ? p : kFail;
}

// The last token of the statement that starts at s and ends before limit, or
// kFail when the tokens there are no statement this parse knows. simple tells
// whether it is a simple statement (ending in ';', no keyword of its own).
std::uint64_t statementLast(RewriteWindow &w, std::uint64_t s, std::uint64_t limit, std::size_t nesting, bool &simple)
{
    simple = false;
    if (s >= limit || nesting > kStatementNesting || !isCode(w, s))
        return kFail;
    bool inner = false;
    if (tokenIs(w, s, "{")) {
        std::uint64_t c = matchingClose(w, s);
        return c < limit ? c : kFail;
    }
    if (tokenIs(w, s, ";"))
        return s;
    if (tokenIs(w, s, "if")) {
        const std::uint64_t p = ifParen(w, s);
        if (p == kFail)
            return kFail;
        std::uint64_t c = matchingClose(w, p);
        if (c >= limit)
            return kFail;
        std::uint64_t last = statementLast(w, nextKept(w, c), limit, nesting + 1, inner);
        if (last == kFail)
            return kFail;
        std::uint64_t e = nextKept(w, last);
        if (e < limit && tokenIs(w, e, "else"))
            return statementLast(w, nextKept(w, e), limit, nesting + 1, inner);
        return last;
    }
    if (tokenIs(w, s, "while") || tokenIs(w, s, "for") || tokenIs(w, s, "foreach") || tokenIs(w, s, "switch")) {
        std::uint64_t p = nextKept(w, s);
        if (!tokenIs(w, p, "("))
            return kFail;
        std::uint64_t c = matchingClose(w, p);
        return c < limit ? statementLast(w, nextKept(w, c), limit, nesting + 1, inner) : kFail;
    }
    if (tokenIs(w, s, "do")) {
        std::uint64_t last = statementLast(w, nextKept(w, s), limit, nesting + 1, inner);
        if (last == kFail)
            return kFail;
        std::uint64_t e = nextKept(w, last), p = nextKept(w, e);
        if (!tokenIs(w, e, "while") || !tokenIs(w, p, "("))
            return kFail;
        std::uint64_t c = matchingClose(w, p);
        std::uint64_t t = c < limit ? nextKept(w, c) : kFail;
        return t < limit && tokenIs(w, t, ";") ? t : kFail;
    }
    static const char *const stops[] = {"}", "else", "case", "default", "#", "%:", "try", nullptr};
    for (std::uint64_t i = s; i < limit; i = nextKept(w, i)) {
        if (!isCode(w, i) || tokenIn(w, i, stops))
            return kFail;
        if (tokenIs(w, i, "(") || tokenIs(w, i, "[") || tokenIs(w, i, "{")) {
            i = matchingClose(w, i);
            if (i >= limit)
                return kFail;
            continue;
        }
        if (tokenIs(w, i, ";")) {
            simple = true;
            return i;
        }
    }
    return kFail;
}

// Every held token from .. to is a Code token (no directive, no canonical form).
bool plainTokens(RewriteWindow &w, std::uint64_t from, std::uint64_t to)
{
    for (std::uint64_t i = from; i <= to; ++i)
        if (!windowAt(w, i).dropped && !isCode(w, i))
            return false;
    return true;
}

std::uint32_t nameHash(RewriteWindow &w, std::uint64_t i)
{
    std::uint32_t h = 2166136261u;
    const char *k = tokenKey(w, i);
    for (std::size_t j = 0; j < keyLength(w, i); ++j)
        h = (h ^ static_cast<unsigned char>(k[j])) * 16777619u;
    return h;
}

// --- Macros of the file --------------------------------------------------
//
// A macro may expand to two statements or a comma list, which braces or
// parentheses hold together. A #define whose replacement has its '(' and
// '[' balanced and holds no ';', '{', '}', '#', '##', no keyword of a
// statement (if, else, for, while, do, switch, case, default, return,
// break, continue, goto, typedef) and no name that is or later becomes a
// macro of the file (other than its parameters; one that stood only inside
// its '(' or '[' may later become a tame and single macro) is tame: wherever it
// expands, its tokens stay inside the statement and the brackets it stands
// in. One without a top-level ',' either is tame and single: it stays one
// operand of a comma list too. A name is as tame as the least of its
// definitions. (A macro from a header is not seen: a limit of any token
// comparison.)

enum MacroKind : unsigned char { kWildMacro = 0, kTameMacro = 1, kSingleMacro = 2, kNoMacro = 3 };
// Beside its kind, a definition may be one statement: a block `{ ... }`, or
// `do { ... } while (0)`, with its brackets balanced and no name that is or
// becomes a macro of the file; or, tame, nothing or one call whose
// parentheses hold a comma at their top level, which with its ';' is an
// empty statement or one that is no declaration. Such a macro stands alone
// as a body.
constexpr unsigned char kKindBits = 3;
constexpr unsigned char kBlockMacro = 4;   // its replacement is one block
constexpr unsigned char kDoMacro = 8;      // its replacement is do { ... } while (0)
constexpr unsigned char kCallMacro = 16;   // its replacement is empty, or a call with a comma at its top level,
                                           // `f(a, b)`: with its ';' an empty statement or one no declaration
                                           // can be (a declarator in parentheses holds no comma)

// How the name at i expands, as the least of its definitions so far.
unsigned char macroKind(RewriteWindow &w, const CState &st, std::uint64_t i)
{
    if (st.macrosFull)
        return kWildMacro;
    const std::uint32_t h = nameHash(w, i);
    unsigned char kind = kNoMacro;
    for (std::size_t k = 0; k < st.macroCount; ++k)
        if (st.macros[k] == h)
            kind = std::min(kind, st.tameBroken ? static_cast<unsigned char>(kWildMacro)
                                                : static_cast<unsigned char>(st.macroKinds[k] & kKindBits));
    return kind;
}

// The statement shapes (kBlockMacro, kDoMacro) every definition of the
// macro at i has; 0 when it is no macro of the file or one has none.
unsigned char statementMacro(RewriteWindow &w, const CState &st, std::uint64_t i)
{
    if (st.macrosFull || st.tameBroken || !isName(w, i))
        return 0;
    const std::uint32_t h = nameHash(w, i);
    unsigned char shape = kBlockMacro | kDoMacro | kCallMacro;
    bool found = false;
    for (std::size_t k = 0; k < st.macroCount; ++k)
        if (st.macros[k] == h) {
            found = true;
            shape &= st.macroKinds[k];
        }
    return found ? shape : 0;
}

// Every macro the stream defined from .. to is single.
bool singleMacros(RewriteWindow &w, const CState &st, std::uint64_t from, std::uint64_t to)
{
    for (std::uint64_t i = from; i <= to && i < windowEnd(w); i = nextKept(w, i))
        if (isName(w, i) && macroKind(w, st, i) < kSingleMacro)
            return false;
    return true;
}

// The statements open .. close (a body's braces) name only tame macros of
// the stream, each inside a '(' or '[' of its statement or after an
// assignment's operator in it: never where the tokens that show the
// statement is no declaration stand. Where the body (not a case's) is one
// if, loop, switch or block, which is no declaration by its keyword, a tame
// macro may stand anywhere in it.
bool tameMacrosInBody(RewriteWindow &w, const CState &st, std::uint64_t open, std::uint64_t close)
{
    static const char *const assignments[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>=",
                                              nullptr};
    static const char *const compound[] = {"if", "for", "while", "do", "switch", "foreach", "{", nullptr};
    const bool anywhere = st.after == After::Body && tokenIn(w, nextKept(w, open), compound);
    int depth = 0;
    bool assigned = false;
    for (std::uint64_t i = nextKept(w, open); i < close; i = nextKept(w, i)) {
        if (tokenIs(w, i, "(") || tokenIs(w, i, "[")) {
            ++depth;
        } else if (tokenIs(w, i, ")") || tokenIs(w, i, "]")) {
            --depth;
        } else if (tokenIs(w, i, ";") || tokenIs(w, i, "{") || tokenIs(w, i, "}")) {
            assigned = false;
        } else if (depth == 0 && tokenIn(w, i, assignments)) {
            assigned = true;
        } else if (isName(w, i)) {
            const unsigned char kind = macroKind(w, st, i);
            if (kind == kWildMacro || (kind != kNoMacro && depth == 0 && !assigned && !anywhere))
                return false;
        }
    }
    return true;
}

// --- Names known to be no type ---------------------------------------------
//
// In C, `T(x);` declares x when T names a type, and a declaration is no
// statement: as the body of if, else, for, while or do it keeps its braces
// unless T is known to name no type. (C++ gives such a body a block scope of
// its own, and C# reads `T(x);` as a call: only C's reading matters here.)
// A name is known where the file's kept tokens so far show it:
// - called: `N(` right after an operator no declarator follows (an
//   assignment, return, a comparison, an arithmetic operator but '*', '!',
//   '?'), or first in the condition of if, while or switch, where C reads no
//   type; or `N(` as a function a file-level declaration declares (`int
//   N(void);`, `static void N(const char *s) {`), its parameters empty, void
//   or two names first, which no parenthesized declarator starts with;
// - and never doubted: each of its other uses stands where no declaration of
//   N can stand (after ';', '{', a '}' that ends a block, an operator, ','
//   inside brackets, the ')' of a condition, '(' of if, while, for or switch,
//   else, do, case or return), or at file level outside a typedef (a
//   declaration there shares the header's scope, and a header's typedef of
//   N would clash with it). Any other use, after a name, '*', another '(',
//   ',' at brace level, '::', '.', '->', struct, union, enum or class, or in
//   a typedef, doubts the name for the rest of the file.
// Then no declaration of N came between the call and the point, and C reads
// a name by what comes before it only: N names no type there either. A call
// inside a branch of an #if group shows it only inside that branch (while
// it is open), which is compiled whenever the point is.
// Directives are not read; a body that names a macro the file defines keeps
// its braces anyway.

// A slot of the table: the name's hash in its high bits, the branch where a
// call showed it in bits 2 to 17 (0: outside any group), the use bits.
constexpr std::uint64_t kCalled = 1;   // a use shows the name is no type
constexpr std::uint64_t kDoubted = 2;  // a use may declare it, or it names a type or a member
constexpr int kBranchShift = 2;
constexpr std::uint64_t kBranchBits = std::uint64_t(0xffff) << kBranchShift;
constexpr std::uint64_t kLibrary = std::uint64_t(1) << 18;  // a library function whose header came outside groups
constexpr std::uint64_t kHashBits = ~std::uint64_t(0) << 19;

std::uint64_t hash64(const char *k, std::size_t n)
{
    std::uint64_t h = 14695981039346656037ull;
    for (std::size_t j = 0; j < n; ++j)
        h = (h ^ static_cast<unsigned char>(k[j])) * 1099511628211ull;
    return (h & kHashBits) | (std::uint64_t(1) << 19);  // never 0, the free slot's mark
}

std::uint64_t nameHash64(RewriteWindow &w, std::uint64_t i)
{
    return hash64(tokenKey(w, i), keyLength(w, i));
}

// The slot of hash h (its use bits masked off) in the table, or nullptr when
// it holds no such name and, with add, has no room for it.
std::uint64_t *nameSlot(CState &st, std::uint64_t h, bool add)
{
    const std::uint64_t key = h & kHashBits;
    for (std::size_t n = 0, k = static_cast<std::size_t>(key >> 19) % kNameTable; n < kNameTable;
         ++n, k = (k + 1) % kNameTable) {
        std::uint64_t &slot = st.names[k];
        if ((slot & kHashBits) == key)
            return &slot;
        if (slot == 0) {
            if (!add)
                return nullptr;
            slot = key;
            return &slot;
        }
    }
    if (add)
        st.namesFull = true;
    return nullptr;
}

// The branch of the #if group the scan is in is open: bracketed by the
// groups open now.
bool branchOpen(const CState &st, std::uint64_t branch)
{
    if (branch == 0)
        return true;
    for (std::size_t k = 0; k < st.conditionalCount; ++k)
        if (st.conditionals[k].branch == branch)
            return true;
    return false;
}

void noteName(CState &st, std::uint64_t h, std::uint64_t bits)
{
    if (std::uint64_t *slot = nameSlot(st, h, true))
        *slot |= bits;
}

// A call shows the name of hash h, in the branch the scan is in: it is kept
// unless the name was shown in a branch still open (outside any, best).
void noteCall(CState &st, std::uint64_t h)
{
    if (st.conditionalCount > 0 && st.branchesFull)
        return;
    const std::uint64_t branch = st.conditionalCount > 0 ? st.conditionals[st.conditionalCount - 1].branch : 0;
    std::uint64_t *slot = nameSlot(st, h, true);
    if (!slot)
        return;
    const std::uint64_t old = (*slot & kBranchBits) >> kBranchShift;
    if ((*slot & kCalled) && branchOpen(st, old) && !(branch == 0 && old != 0))
        return;
    *slot = (*slot & ~kBranchBits) | kCalled | (branch << kBranchShift);
}

// Every open bracket is the brace of a namespace or an extern "C" block.
bool atFileLevel(const CState &st)
{
    for (std::size_t k = 0; k < st.depth; ++k)
        if (st.frames[k].opened != Opened::Namespace)
            return false;
    return true;
}

// Functions of the C library and POSIX by the header that declares them.
// Once the header is included, the name is reserved at file level for what
// the header declares (C11 7.1.3, POSIX 2.2.2): no file-level typedef may
// take it, and a block-level declaration of it doubts it as any use does.
struct LibraryHeader {
    const char *header;
    const char *const *functions;
};
const char *const kStdlibFunctions[] = {"free", "malloc", "calloc", "realloc", "exit", "abort", "qsort", "srand",
                                        "atexit", "_Exit", "quick_exit", nullptr};
const char *const kStdioFunctions[] = {"printf", "fprintf", "sprintf", "snprintf", "vprintf", "vfprintf", "puts",
                                       "fputs", "fputc", "putc", "putchar", "fclose", "fflush", "fwrite", "fread",
                                       "fseek", "rewind", "perror", "remove", "rename", "setbuf", "setvbuf",
                                       "clearerr", "ungetc", nullptr};
const char *const kStringFunctions[] = {"memcpy", "memmove", "memset", "strcpy", "strncpy", "strcat", "strncat",
                                        nullptr};
const char *const kUnistdFunctions[] = {"close", "read", "write", "unlink", "lseek", "sleep", "chown", "dup2",
                                        "_exit", "rmdir", "chdir", "fsync", nullptr};
const LibraryHeader kLibraryHeaders[] = {{"<stdlib.h>", kStdlibFunctions},
                                         {"<stdio.h>", kStdioFunctions},
                                         {"<string.h>", kStringFunctions},
                                         {"<unistd.h>", kUnistdFunctions}};

// The header name at i, included at file level outside any #if group: the
// functions it declares are called.
void includeAt(CState &st, RewriteWindow &w, std::uint64_t i)
{
    if (!atFileLevel(st))
        return;
    if (st.conditionalCount == 0 && (tokenIs(w, i, "<inttypes.h>") || tokenIs(w, i, "<cinttypes>")))
        st.inttypes = true;
    for (const LibraryHeader &h : kLibraryHeaders) {
        if (!tokenIs(w, i, h.header))
            continue;
        for (const char *const *f = h.functions; *f; ++f) {
            const std::uint64_t hash = hash64(*f, std::strlen(*f));
            noteCall(st, hash);
            if (st.conditionalCount == 0)
                noteName(st, hash, kLibrary);
        }
    }
}

// The name at i is known to name no type.
bool knownNoType(RewriteWindow &w, CState &st, std::uint64_t i)
{
    if (st.namesFull || !isName(w, i))
        return false;
    const std::uint64_t *slot = nameSlot(st, nameHash64(w, i), false);
    return slot && (*slot & (kCalled | kDoubted)) == kCalled && branchOpen(st, (*slot & kBranchBits) >> kBranchShift);
}

// --- Braces --------------------------------------------------------------

// The statement s .. last (its last token) would take an else that follows
// it: it ends in an if without its else, directly or as the body of an
// else, while, for, foreach or switch. Unknown shapes count as taking it.
bool takesElse(RewriteWindow &w, std::uint64_t s, std::uint64_t last, std::size_t nesting)
{
    if (nesting > kStatementNesting)
        return true;
    if (tokenIs(w, s, "{") || tokenIs(w, s, "do") || tokenIs(w, s, ";"))
        return false;
    std::uint64_t body = kFail;
    if (tokenIs(w, s, "if")) {
        const std::uint64_t p = ifParen(w, s);
        if (p == kFail)
            return true;
        const std::uint64_t c = matchingClose(w, p);
        bool simple = false;
        const std::uint64_t inner = c < last ? statementLast(w, nextKept(w, c), last + 1, 0, simple) : kFail;
        if (inner == kFail)
            return true;
        if (inner == last)
            return true;  // no else of its own
        const std::uint64_t e = nextKept(w, inner);
        if (!tokenIs(w, e, "else"))
            return true;
        body = nextKept(w, e);
    } else if (tokenIs(w, s, "while") || tokenIs(w, s, "for") || tokenIs(w, s, "foreach") ||
               tokenIs(w, s, "switch")) {
        const std::uint64_t p = nextKept(w, s);
        if (!tokenIs(w, p, "("))
            return true;
        const std::uint64_t c = matchingClose(w, p);
        if (c >= last)
            return true;
        body = nextKept(w, c);
    } else {
        return holdsToken(w, s, last, "if");  // a simple statement holds none, but for a lambda's
    }
    return body > last || takesElse(w, body, last, nesting + 1);
}

// The braces open .. close around the body of if, else, for, while or do
// hold one statement, not a declaration, that does not take an else that
// follows them.
bool singleStatementBody(RewriteWindow &w, CState &st, std::uint64_t open, std::uint64_t close)
{
    std::uint64_t first = nextKept(w, open);
    if (first >= close || !plainTokens(w, open, close) || tokenIs(w, first, "[") || tokenIs(w, first, "{"))
        return false;
    bool simple = false;
    std::uint64_t last = statementLast(w, first, close, 0, simple);
    if (last == kFail || nextKept(w, last) != close)
        return false;
    // C++ gives a body a block scope of its own, so a declaration as the body
    // means what it means in braces; C has no declaration as a body, and C#
    // forbids one. A label stays refused. A statement whose first name is
    // known to name no type is no declaration of C.
    const bool label = tokenIs(w, nextKept(w, first), ":");
    if (simple && !provablyNoDeclaration(w, first, last) && (label || !(st.cplusplus || knownNoType(w, st, first))))
        return false;
    // Without the braces, an if inside would take the else.
    return !(tokenIs(w, nextKept(w, close), "else") && takesElse(w, first, last, 0));
}

// The braces open .. close after a case label hold statements that declare
// nothing, and no compound literal whose life the braces end.
bool caseBody(RewriteWindow &w, std::uint64_t open, std::uint64_t close)
{
    std::uint64_t s = nextKept(w, open);
    if (s >= close || !plainTokens(w, open, close))
        return false;
    while (s < close) {
        if (tokenIs(w, s, "[") || tokenIs(w, s, "{"))
            return false;
        bool simple = false;
        std::uint64_t last = statementLast(w, s, close, 0, simple);
        if (last == kFail)
            return false;
        if (simple && (!provablyNoDeclaration(w, s, last) || holdsToken(w, s, last, "{")))
            return false;
        s = nextKept(w, last);
    }
    return s == close;
}

// The braces open .. close around a body hold one use of a macro of one
// statement, `M(...);` or `M;`, whose arguments name only tame or
// one-statement macros of the file (they keep their braces balanced); a
// block's does not stand before an else (`{ ... }; else` is no if).
bool statementMacroBody(RewriteWindow &w, const CState &st, std::uint64_t open, std::uint64_t close)
{
    const std::uint64_t m = nextKept(w, open);
    const unsigned char shape = statementMacro(w, st, m);
    if (shape == 0 || !plainTokens(w, open, close))
        return false;
    std::uint64_t end = nextKept(w, m);
    if (tokenIs(w, end, "(")) {
        const std::uint64_t c = matchingClose(w, end);
        if (c >= close)
            return false;
        for (std::uint64_t i = nextKept(w, end); i < c; i = nextKept(w, i))
            if (isName(w, i) && macroKind(w, st, i) == kWildMacro && statementMacro(w, st, i) == 0)
                return false;
        end = nextKept(w, c);
    }
    if (!tokenIs(w, end, ";") || nextKept(w, end) != close)
        return false;
    return (shape & (kDoMacro | kCallMacro)) != 0 || !tokenIs(w, nextKept(w, close), "else");
}

Look bracesAt(RewriteWindow &w, CState &st, std::uint64_t open)
{
    std::uint64_t close = matchingClose(w, open);
    std::uint64_t after = close < windowEnd(w) ? nextKept(w, close) : windowEnd(w);
    if (after >= windowEnd(w))
        return w.complete ? Look::Done : Look::Wait;
    if (st.after == After::Body && nextKept(w, open) == close) {
        // An empty body: '{}' is ';'.
        if (replaceKey(w, open, Rewrite::Braces, kEmptyBody, 1))
            dropToken(w, close, Rewrite::Braces, open);
        return Look::Done;
    }
    bool ok = (tameMacrosInBody(w, st, open, close) &&
               (st.after == After::Body ? singleStatementBody(w, st, open, close) : caseBody(w, open, close))) ||
              (st.after == After::Body && statementMacroBody(w, st, open, close));
    if (ok) {
        std::uint64_t first = nextKept(w, open);
        dropToken(w, open, Rewrite::Braces, first);
        dropToken(w, close, Rewrite::Braces, first);
    }
    return Look::Done;
}

// --- Parentheses ---------------------------------------------------------

// The parentheses open .. close hold a whole expression that they may lose:
// not empty, no top-level comma, no statement expression or lambda first, no
// directive.
bool wholeExpression(RewriteWindow &w, std::uint64_t open, std::uint64_t close)
{
    std::uint64_t first = nextKept(w, open);
    if (first >= close || !plainTokens(w, open, close) || tokenIs(w, first, "{") || tokenIs(w, first, "["))
        return false;
    for (std::uint64_t i = first; i < close; i = nextKept(w, i)) {
        if (tokenIs(w, i, ","))
            return false;
        if (tokenIs(w, i, "(") || tokenIs(w, i, "[") || tokenIs(w, i, "{"))
            i = matchingClose(w, i);
        if (i >= close)
            return false;
    }
    return true;
}

// Both parentheses go on the first token inside them: one rewrite, counted once.
void dropPair(RewriteWindow &w, std::uint64_t open, std::uint64_t close)
{
    const std::uint64_t inside = nextKept(w, open);
    dropToken(w, open, Rewrite::Parens, inside);
    dropToken(w, close, Rewrite::Parens, inside);
}

// --- Parentheses around an operand ------------------------------------------
//
// In a value that ';' ends after return or an assignment's '=' at brace
// level, holding only names that are no macro of the file, literals, calls,
// subscripts, member accesses, prefix operators and the binary operators
// below (no ',', '?', ':', assignment, '<', '>' or '>>', which C++ may read
// as a template's brackets), a pair of parentheses around an operand goes
// when the operand is two or more operands joined by binary operators, each
// a name or a literal with only calls, subscripts and member accesses after
// it (so no cast, `(T) - x`, and no type name can read it), and the
// operator with the lowest precedence inside binds tighter than the binary
// operator before the pair and at least as tight as the one after it (C's
// binary operators group left to right): `(a * b) + c`, `a + (b * c)`,
// `(a - b) - c`, but not `a - (b - c)`. Never after a prefix operator, nor
// with a call, subscript or member access after the pair.

int binaryPrecedence(RewriteWindow &w, std::uint64_t i)
{
    static const char *const levels[][4] = {{"||", nullptr}, {"&&", nullptr}, {"|", nullptr}, {"^", nullptr},
                                            {"&", nullptr},  {"==", "!=", nullptr}, {"<=", ">=", nullptr},
                                            {"<<", nullptr}, {"+", "-", nullptr}, {"*", "/", "%", nullptr}};
    for (int level = 0; level < 10; ++level)
        if (tokenIn(w, i, levels[level]))
            return level + 1;
    return 0;
}

// Names no operand of this rule is: keywords that start another reading.
const char *const kOperandKeywords[] = {"sizeof", "alignof", "_Alignof", "new", "delete", "throw", "co_await",
                                        "typeid", "defined", "operator", "int", "char", "short", "long", "float",
                                        "double", "void", "bool", "signed", "unsigned", "const", "volatile",
                                        "struct", "class", "union", "enum", "typename", "decltype", "auto",
                                        "static_cast", "dynamic_cast", "const_cast", "reinterpret_cast", "return",
                                        "if", "else", "for", "while", "do", "switch", "case", "default", "goto",
                                        "break", "continue", "_Generic", "__typeof__", "typeof", "var", "is",
                                        "as", "await", nullptr};

// The operand at t: a name or literal, then calls, subscripts and member
// accesses. Returns the token after it, or kFail.
std::uint64_t plainOperand(RewriteWindow &w, std::uint64_t t, std::uint64_t limit)
{
    if (!(isLiteral(w, t) || (isName(w, t) && !tokenIn(w, t, kOperandKeywords))))
        return kFail;
    const bool name = isName(w, t);
    std::uint64_t n = nextKept(w, t);
    while (n < limit) {
        if ((tokenIs(w, n, "(") && name) || tokenIs(w, n, "[")) {
            n = matchingClose(w, n);
            if (n >= limit)
                return kFail;
            n = nextKept(w, n);
        } else if (tokenIs(w, n, ".") || tokenIs(w, n, "->")) {
            const std::uint64_t m = nextKept(w, n);
            if (!isName(w, m) || tokenIn(w, m, kOperandKeywords))
                return kFail;
            n = nextKept(w, m);
        } else {
            break;
        }
    }
    return n;
}

// The lowest precedence of the binary operators that join two or more
// plain operands from open to close (its parentheses), or 0 when they are
// not such.
int joinedOperands(RewriteWindow &w, std::uint64_t open, std::uint64_t close)
{
    int lowest = 100, joins = 0;
    std::uint64_t t = nextKept(w, open);
    for (;;) {
        t = plainOperand(w, t, close);
        if (t == kFail || t > close)
            return 0;
        if (t == close)
            return joins > 0 ? lowest : 0;
        const int p = binaryPrecedence(w, t);
        if (p == 0)
            return 0;
        lowest = std::min(lowest, p);
        ++joins;
        t = nextKept(w, t);
    }
}

Look operandParens(RewriteWindow &w, const CState &st, std::uint64_t i)
{
    static const char *const prefixes[] = {"-", "+", "!", "~", "*", "&", nullptr};
    // The value's end, and what it holds.
    std::uint64_t end = nextKept(w, i);
    for (;; end = nextKept(w, end)) {
        if (end >= windowEnd(w))
            return w.complete ? Look::Done : Look::Wait;
        if (!isCode(w, end))
            return Look::Done;
        if (tokenIs(w, end, "(") || tokenIs(w, end, "[")) {
            end = matchingClose(w, end);
            if (end >= windowEnd(w))
                return w.complete ? Look::Done : Look::Wait;
        } else if (tokenIs(w, end, ";")) {
            break;
        } else if (!(isName(w, end) || isLiteral(w, end) || binaryPrecedence(w, end) > 0 ||
                     tokenIn(w, end, prefixes) || tokenIs(w, end, ".") || tokenIs(w, end, "->"))) {
            return Look::Done;
        }
    }
    for (std::uint64_t t = nextKept(w, i); t < end; t = nextKept(w, t))
        if (!isCode(w, t) || (isName(w, t) && macroKind(w, st, t) != kNoMacro))
            return Look::Done;
    // The walk over its operands and operators.
    int before = 0;  // the precedence of the binary operator before the operand, 0 at the start
    for (std::uint64_t t = nextKept(w, i); t < end;) {
        bool prefixed = false;
        while (tokenIn(w, t, prefixes)) {
            prefixed = true;
            t = nextKept(w, t);
        }
        std::uint64_t after;
        if (tokenIs(w, t, "(")) {
            const std::uint64_t close = matchingClose(w, t);
            const int inside = joinedOperands(w, t, close);
            if (inside == 0)
                return Look::Done;  // perhaps a cast, or more than this rule reads
            after = nextKept(w, close);
            const int next = tokenIs(w, after, ";") ? 0 : binaryPrecedence(w, after);
            if (!tokenIs(w, after, ";") && next == 0)
                return Look::Done;  // a call, subscript or member access of the pair
            if (!prefixed && inside > before && inside >= next)
                dropPair(w, t, close);
        } else {
            after = plainOperand(w, t, end);
            if (after == kFail || after > end)
                return Look::Done;
        }
        if (after == end)
            return Look::Done;
        before = binaryPrecedence(w, after);
        if (before == 0)
            return Look::Done;
        t = nextKept(w, after);
    }
    return Look::Done;
}

// Takes out each pair of parentheses around the whole expression after
// token i (return or an assignment's '=') that ';' ends.
Look wholeValueParens(RewriteWindow &w, const CState &st, std::uint64_t i)
{
    for (;;) {
        std::uint64_t open = nextKept(w, i);
        if (open >= windowEnd(w))
            return w.complete ? Look::Done : Look::Wait;
        if (!tokenIs(w, open, "("))
            return Look::Done;
        std::uint64_t close = matchingClose(w, open);
        std::uint64_t end = close < windowEnd(w) ? nextKept(w, close) : windowEnd(w);
        if (end >= windowEnd(w))
            return w.complete ? Look::Done : Look::Wait;
        if (!tokenIs(w, end, ";") || !wholeExpression(w, open, close) || !singleMacros(w, st, open, close))
            return Look::Done;
        dropPair(w, open, close);
    }
}

// The parentheses of the value after token i: around the whole of it, then
// around its operands.
Look valueParens(RewriteWindow &w, const CState &st, std::uint64_t i)
{
    const Look whole = wholeValueParens(w, st, i);
    return whole == Look::Wait ? whole : operandParens(w, st, i);
}

// In a #define's replacement, `return (1);`: the parentheses around a
// single literal returned, the ';' right after them, in a replacement with
// no '#' or '##' before or after (nothing there is stringized or pasted). However the macro
// expands, they hold the whole value of that return statement, and a
// literal's value and type do not depend on them (decltype((1)) is int).
Look definedReturnParens(RewriteWindow &w, std::uint64_t i)
{
    const std::uint64_t open = nextKept(w, i), literal = nextKept(w, open), close = nextKept(w, literal);
    std::uint64_t end = nextKept(w, close);
    if (end >= windowEnd(w))
        return w.complete ? Look::Done : Look::Wait;
    if (!tokenIs(w, open, "(") || !isLiteral(w, literal) || !tokenIs(w, close, ")") || !tokenIs(w, end, ";"))
        return Look::Done;
    for (; end < windowEnd(w) && windowAt(w, end).kind != TokenKind::LineEnd; end = nextKept(w, end))
        if (!isCode(w, end) || tokenIs(w, end, "#") || tokenIs(w, end, "##") || tokenIs(w, end, "%:") ||
            tokenIs(w, end, "%:%:"))
            return Look::Done;
    if (end >= windowEnd(w))
        return w.complete ? Look::Done : Look::Wait;
    dropPair(w, open, close);
    return Look::Done;
}

// Takes out each pair of parentheses that fills the condition that open
// (the '(' of if, while or switch) starts.
Look conditionParens(RewriteWindow &w, const CState &st, std::uint64_t open)
{
    std::uint64_t close = matchingClose(w, open);
    if (close >= windowEnd(w))
        return w.complete ? Look::Done : Look::Wait;
    for (;;) {
        std::uint64_t inner = nextKept(w, open);
        if (!tokenIs(w, inner, "("))
            return Look::Done;
        std::uint64_t innerClose = matchingClose(w, inner);
        if (innerClose >= close || nextKept(w, innerClose) != close || !wholeExpression(w, inner, innerClose) ||
            !singleMacros(w, st, inner, innerClose))
            return Look::Done;
        dropPair(w, inner, innerClose);
    }
}

// --- Commas and semicolons -------------------------------------------------

Look commaAt(RewriteWindow &w, CState &st, std::uint64_t i)
{
    std::uint64_t next = nextKept(w, i);
    if (next >= windowEnd(w))
        return w.complete ? Look::Done : Look::Wait;
    if (tokenIs(w, next, "}") && !prevIs(st, "{") && !prevIs(st, ","))
        dropToken(w, i, Rewrite::Commas, next);
    return Look::Done;
}

Look semicolonAt(RewriteWindow &w, std::uint64_t i)
{
    std::uint64_t next = nextKept(w, i);
    if (next >= windowEnd(w))
        return w.complete ? Look::Done : Look::Wait;
    dropToken(w, i, Rewrite::Semicolons, next);
    return Look::Done;
}

// --- Numbers ---------------------------------------------------------------

bool hexDigit(char c)
{
    return digit(c) || (c >= 'a' && c <= 'f');
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The number k[0..n) in canonical form into out (kNumberBytes + 1 bytes), or
// false when it is not a literal whose value and type its spelling shows:
// digit separators out, letters in lower case, suffixes in one order, a
// decimal fraction with one digit at least on each side of its point and
// its exponent plain. The base stays as written: a hexadecimal and a decimal
// literal of one value may differ in type.
bool canonicalNumber(const char *k, std::size_t n, char *out, std::size_t &outLength)
{
    if (n > kNumberBytes - 8)
        return false;
    char s[kNumberBytes];
    std::size_t m = 0;
    bool upperL = false, lowerL = false;
    for (std::size_t j = 0; j < n; ++j) {
        if (k[j] == '_')
            return false;  // a user-defined suffix (C++) or a C# separator
        if (k[j] == '\'') {
            if (j == 0 || j + 1 == n || !nameByte(k[j - 1]) || !nameByte(k[j + 1]))
                return false;
            continue;
        }
        upperL |= k[j] == 'L';
        lowerL |= k[j] == 'l';
        s[m++] = lower(k[j]);
    }
    if (upperL && lowerL)
        return false;  // lL is no suffix
    // Separators stand between digits of the base only (checked below by
    // refusing a separator next to a prefix, point, exponent or suffix).
    std::size_t o = 0;
    out[o++] = kNumberTag;
    std::size_t j = 0;
    bool hex = m > 2 && s[0] == '0' && s[1] == 'x', binary = m > 2 && s[0] == '0' && s[1] == 'b';
    bool floating = false;
    if (hex || binary) {
        out[o++] = '0';
        out[o++] = s[1];
        j = 2;
        const std::size_t d = j;
        while (j < m && (hex ? hexDigit(s[j]) : (s[j] == '0' || s[j] == '1')))
            out[o++] = s[j++];
        if (hex && j < m && (s[j] == '.' || s[j] == 'p')) {
            floating = true;
            std::size_t digits = j - d;
            if (s[j] == '.') {
                out[o++] = s[j++];
                std::size_t f = j;
                while (j < m && hexDigit(s[j]))
                    out[o++] = s[j++];
                digits += j - f;
            }
            if (j >= m || s[j] != 'p' || digits == 0)
                return false;
            out[o++] = s[j++];
            if (j < m && (s[j] == '+' || s[j] == '-'))
                out[o++] = s[j++];
            std::size_t e = j;
            while (j < m && digit(s[j]))
                out[o++] = s[j++];
            if (j == e)
                return false;
        } else if (j == d) {
            return false;
        }
    } else {
        std::size_t intStart = j;
        while (j < m && digit(s[j]))
            ++j;
        std::size_t intEnd = j, fracStart = j, fracEnd = j;
        if (j < m && s[j] == '.') {
            floating = true;
            fracStart = ++j;
            while (j < m && digit(s[j]))
                ++j;
            fracEnd = j;
        }
        bool exponent = j < m && s[j] == 'e';
        if (!floating && !exponent) {
            if (intEnd == intStart)
                return false;
            for (std::size_t d = intStart; d < intEnd; ++d)
                out[o++] = s[d];  // an integer keeps its digits: a leading 0 makes it octal
        } else {
            floating = true;
            if (intEnd == intStart && fracEnd == fracStart)
                return false;
            std::size_t a = intStart, b = fracEnd;
            while (a < intEnd && s[a] == '0')
                ++a;
            while (b > fracStart && s[b - 1] == '0')
                --b;
            if (a == intEnd)
                out[o++] = '0';
            for (; a < intEnd; ++a)
                out[o++] = s[a];
            out[o++] = '.';
            if (b == fracStart)
                out[o++] = '0';
            for (std::size_t d = fracStart; d < b; ++d)
                out[o++] = s[d];
            if (exponent) {
                ++j;
                bool negative = false;
                if (j < m && (s[j] == '+' || s[j] == '-'))
                    negative = s[j++] == '-';
                std::size_t e = j;
                while (j < m && digit(s[j]))
                    ++j;
                if (j == e)
                    return false;
                while (e + 1 < j && s[e] == '0')
                    ++e;
                if (!(j - e == 1 && s[e] == '0')) {
                    out[o++] = 'e';
                    if (negative)
                        out[o++] = '-';
                    for (; e < j; ++e)
                        out[o++] = s[e];
                }
            }
        }
    }
    // The suffix, in one order.
    char suffix[4] = {0, 0, 0, 0};
    std::size_t sl = m - j;
    if (sl > 3)
        return false;
    std::memcpy(suffix, s + j, sl);
    static const char *const integer[][2] = {{"", ""},     {"u", "u"},     {"l", "l"},     {"ul", "ul"},
                                             {"lu", "ul"}, {"ll", "ll"},   {"ull", "ull"}, {"llu", "ull"},
                                             {"z", "z"},   {"uz", "uz"},   {"zu", "uz"},   {nullptr, nullptr}};
    static const char *const real[][2] = {{"", ""}, {"f", "f"}, {"l", "l"}, {nullptr, nullptr}};
    const char *const(*table)[2] = floating ? real : integer;
    for (; (*table)[0]; ++table) {
        if (std::strcmp((*table)[0], suffix) != 0)
            continue;
        std::size_t l = std::strlen((*table)[1]);
        std::memcpy(out + o, (*table)[1], l);
        outLength = o + l;
        return true;
    }
    return false;
}

// A separator that the written number holds only next to a digit of its own
// base: "0x'1" and "1'.5" are no numbers, and must not equal one.
bool separatorsBetweenDigits(const char *k, std::size_t n)
{
    bool hex = n > 2 && k[0] == '0' && (k[1] == 'x' || k[1] == 'X');
    for (std::size_t j = 0; j < n; ++j) {
        if (k[j] != '\'')
            continue;
        char a = lower(k[j - 1]), b = lower(k[j + 1]);
        bool ok = hex ? hexDigit(a) && hexDigit(b) && j > 2 : digit(a) && digit(b);
        if (!ok)
            return false;
    }
    return true;
}

void numberAt(RewriteWindow &w, std::uint64_t i)
{
    const char *k = tokenKey(w, i);
    std::size_t n = keyLength(w, i);
    char out[kNumberBytes + 1];
    std::size_t length = 0;
    if (canonicalNumber(k, n, out, length) && separatorsBetweenDigits(k, n))
        replaceKey(w, i, Rewrite::Numbers, out, length);
}

// --- Using declarations ------------------------------------------------------

struct UsingDecl {
    std::uint64_t first;  // its using
    std::uint64_t last;   // its ';'
    std::uint64_t names[kUsingTokens];
    std::size_t nameCount;
};

// Reads "using [::] a::b ... ;" at i into d; Wait when it runs past the held
// tokens before its end, else whether it is one.
Look readUsing(RewriteWindow &w, std::uint64_t i, UsingDecl &d, bool &ok)
{
    ok = false;
    d.first = i;
    d.nameCount = 0;
    std::uint64_t j = nextKept(w, i);
    if (tokenIs(w, j, "::"))
        j = nextKept(w, j);
    for (std::size_t count = 0;; ++count) {
        if (j >= windowEnd(w))
            return w.complete ? Look::Done : Look::Wait;
        static const char *const notNames[] = {"namespace", "typename", "enum", "operator", "template", "static",
                                               nullptr};
        if (!isName(w, j) || tokenIn(w, j, notNames) || d.nameCount == kUsingTokens)
            return Look::Done;
        d.names[d.nameCount++] = j;
        j = nextKept(w, j);
        if (j >= windowEnd(w))
            return w.complete ? Look::Done : Look::Wait;
        if (tokenIs(w, j, ";")) {
            d.last = j;
            ok = d.nameCount >= 2;
            return Look::Done;
        }
        if (!tokenIs(w, j, "::"))
            return Look::Done;
        j = nextKept(w, j);
    }
}

bool sameKey(RewriteWindow &w, std::uint64_t a, std::uint64_t b)
{
    return keyLength(w, a) == keyLength(w, b) && std::memcmp(tokenKey(w, a), tokenKey(w, b), keyLength(w, a)) == 0;
}

// No declaration of the run names what another introduces: then none's
// lookup depends on the others, and their order means nothing.
bool independent(RewriteWindow &w, const UsingDecl *run, std::size_t count)
{
    for (std::size_t a = 0; a < count; ++a)
        for (std::size_t b = 0; b < count; ++b) {
            if (a == b)
                continue;
            std::uint64_t introduced = run[a].names[run[a].nameCount - 1];
            for (std::size_t k = 0; k < run[b].nameCount; ++k)
                if (sameKey(w, introduced, run[b].names[k]))
                    return false;
        }
    return true;
}

// Orders two declarations by their tokens' keys.
bool usingBefore(RewriteWindow &w, const UsingDecl &a, const UsingDecl &b)
{
    for (std::uint64_t i = a.first, j = b.first;; i = nextKept(w, i), j = nextKept(w, j)) {
        std::size_t la = keyLength(w, i), lb = keyLength(w, j);
        int c = std::memcmp(tokenKey(w, i), tokenKey(w, j), std::min(la, lb));
        if (c != 0 || la != lb)
            return c != 0 ? c < 0 : la < lb;
        if (i == a.last || j == b.last)
            return i == a.last && j != b.last;
    }
}

Look usingsAt(RewriteWindow &w, CState &st, std::uint64_t i)
{
    UsingDecl run[kUsingRun + 1];
    std::size_t count = 0;
    std::uint64_t at = i;
    while (count <= kUsingRun && at < windowEnd(w) && tokenIs(w, at, "using")) {
        bool ok = false;
        if (readUsing(w, at, run[count], ok) == Look::Wait)
            return Look::Wait;
        if (!ok)
            break;
        at = nextKept(w, run[count++].last);
        if (at >= windowEnd(w) && !w.complete)
            return Look::Wait;
    }
    st.usingsUntil = count > 0 ? run[count - 1].last + 1 : i + 1;
    if (count < 2 || count > kUsingRun || !independent(w, run, count))
        return Look::Done;
    std::size_t order[kUsingRun];
    for (std::size_t k = 0; k < count; ++k)
        order[k] = k;
    std::sort(order, order + count, [&](std::size_t a, std::size_t b) { return usingBefore(w, run[a], run[b]); });
    char key[kUsingKeyBytes];
    std::size_t used = 0;
    key[used++] = kUsingsTag;
    for (std::size_t k = 0; k < count; ++k) {
        const UsingDecl &d = run[order[k]];
        for (std::uint64_t t = d.first;; t = nextKept(w, t)) {
            std::size_t l = keyLength(w, t);
            if (used + l + 1 > kUsingKeyBytes)
                return Look::Done;
            std::memcpy(key + used, tokenKey(w, t), l);
            used += l;
            key[used++] = t == d.last ? '\n' : ' ';
            if (t == d.last)
                break;
        }
    }
    if (!replaceKey(w, i, Rewrite::Usings, key, used))
        return Look::Done;
    for (std::uint64_t t = nextKept(w, i); t <= run[count - 1].last; t = nextKept(w, t))
        dropToken(w, t, Rewrite::Usings, i);
    return Look::Done;
}

// --- Strings and macros glued to them ---------------------------------------
//
// `"%"PRIbig` is the string "%" and the macro PRIbig: C reads no suffix on a
// string, and C++ compilers read a suffix without '_' that is no standard
// one (s, sv, ...) as a name of its own when it is a macro (GCC: any macro;
// Clang: any name but a standard suffix). So a string with such a suffix
// compares as the string and the name apart, where the name is a macro the
// file defined before, or a PRI or SCN name of <inttypes.h> once the file
// included it outside any #if group. Both forms get one canonical form.

const char *const kStandardSuffixes[] = {"s", "sv", "h", "min", "ms", "us", "ns", "il", "i", "if", "d", "y",
                                         nullptr};

// The token at i is a string literal (a prefix, then a quote).
bool isString(RewriteWindow &w, std::uint64_t i)
{
    const char *k = tokenKey(w, i);
    const std::size_t n = keyLength(w, i);
    const void *quote = std::memchr(k, '"', n);
    if (!quote)
        return false;
    for (const char *c = k; c != quote; ++c)
        if (!nameByte(*c))
            return false;
    return true;
}

// The name k[0..n) may stand glued to a string and mean itself.
bool gluedMacro(const CState &st, const char *k, std::size_t n)
{
    if (!nameKey(k, n) || k[0] == '_' || inList(k, n, kStandardSuffixes) || st.macrosFull)
        return false;
    if (st.inttypes && n > 3 && (std::memcmp(k, "PRI", 3) == 0 || std::memcmp(k, "SCN", 3) == 0))
        return true;
    std::uint32_t h = 2166136261u;
    for (std::size_t j = 0; j < n; ++j)
        h = (h ^ static_cast<unsigned char>(k[j])) * 16777619u;
    for (std::size_t m = 0; m < st.macroCount; ++m)
        if (st.macros[m] == h)
            return true;
    return false;
}

constexpr char kGluedTag = '\x04';

Look suffixAt(RewriteWindow &w, const CState &st, std::uint64_t i)
{
    const char *k = tokenKey(w, i);
    const std::size_t n = keyLength(w, i);
    std::size_t q = n;
    while (q > 0 && k[q - 1] != '"')
        --q;
    if (q == 0 || n + 2 > kRewriteLongToken)
        return Look::Done;
    char out[kRewriteLongToken + 2];
    std::size_t used = 0;
    out[used++] = kGluedTag;
    std::memcpy(out + used, k, q);
    used += q;
    out[used++] = ' ';
    if (q < n) {
        if (!gluedMacro(st, k + q, n - q))
            return Look::Done;
        std::memcpy(out + used, k + q, n - q);
        used += n - q;
        replaceKey(w, i, Rewrite::Quotes, out, used);
        return Look::Done;
    }
    const std::uint64_t j = nextKept(w, i);
    if (j >= windowEnd(w))
        return w.complete ? Look::Done : Look::Wait;
    if (!isName(w, j) || !gluedMacro(st, tokenKey(w, j), keyLength(w, j)) ||
        used + keyLength(w, j) > kRewriteLongToken + 2)
        return Look::Done;
    std::memcpy(out + used, tokenKey(w, j), keyLength(w, j));
    used += keyLength(w, j);
    if (replaceKey(w, i, Rewrite::Quotes, out, used))
        dropToken(w, j, Rewrite::Quotes, i);
    return Look::Done;
}

// The name at i is a library function of an included header (kLibrary)
// that no macro of the file names: a '(' after it opens its call.
bool libraryName(RewriteWindow &w, CState &st, std::uint64_t i)
{
    if (st.namesFull)
        return false;
    const std::uint64_t *slot = nameSlot(st, nameHash64(w, i), false);
    return slot && (*slot & kLibrary) && macroKind(w, st, i) == kNoMacro;
}

// --- The walk ----------------------------------------------------------------

bool atBraceLevel(const CState &st)
{
    return st.depth == 0 || st.frames[st.depth - 1].bracket == '{';
}

Opened topOpened(const CState &st)
{
    return st.depth == 0 ? Opened::Namespace : st.frames[st.depth - 1].opened;
}

// Reads a use of the name at i, outside directives (see "Names known to be
// no type"): doubts the name, or notes whether a '(' right after it shows it.
void nameUse(CState &st, RewriteWindow &w, std::uint64_t i)
{
    static const char *const showing[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>=",
                                          "return", "!", "==", "!=", "<", ">", "<=", ">=", "&&", "||", "?",
                                          "+", "-", "/", "%", "|", "^", "<<", ">>", nullptr};
    static const char *const harmless[] = {";", "{", ":", "~", "[", "else", "do", "case", nullptr};
    static const char *const typeWords[] = {"struct", "union", "enum", "class", "typedef", "using", "typename",
                                            "namespace", "::", ".", "->", nullptr};
    const std::size_t n = std::strlen(st.prev);
    const std::uint64_t h = nameHash64(w, i);
    st.prevHash = h;
    bool doubt = false;
    if (st.afterBranching || st.typedefDepth > 0 || inList(st.prev, n, typeWords)) {
        doubt = true;
    } else if (inList(st.prev, n, showing)) {
        st.callNext = true;
    } else if (atFileLevel(st)) {
        st.declareNext = st.prevName || prevIs(st, "*");
    } else if (prevIs(st, "(")) {
        const bool condition = std::strcmp(st.prevPrev, "if") == 0 || std::strcmp(st.prevPrev, "while") == 0 ||
                               std::strcmp(st.prevPrev, "switch") == 0;
        st.callNext = condition;
        doubt = !condition && std::strcmp(st.prevPrev, "for") != 0;
    } else if (prevIs(st, ",")) {
        doubt = atBraceLevel(st);
    } else if (prevIs(st, ")")) {
        doubt = st.after != After::Body;
    } else if (prevIs(st, "}")) {
        doubt = !st.closedBlock;
    } else {
        doubt = !(inList(st.prev, n, harmless) || st.prev[0] == kEmptyBody[0]);
    }
    if (doubt)
        noteName(st, h, kDoubted);
}

// The '(' at i, after a name at file level, starts a parameter list no
// parenthesized declarator could be: empty, void, a keyword of a type
// first, two names first (the first not a calling convention, `(__stdcall
// f)`), or one that a function body follows, `f(bin *in) {`.
bool parameterList(RewriteWindow &w, std::uint64_t i)
{
    static const char *const typeKeywords[] = {"void", "int", "char", "short", "long", "float", "double", "signed",
                                               "unsigned", "const", "volatile", "struct", "union", "enum", "_Bool",
                                               "register", "...", nullptr};
    static const char *const conventions[] = {"WINAPI", "CALLBACK", "APIENTRY", "PASCAL", "CDECL", nullptr};
    const std::uint64_t a = nextKept(w, i);
    if (tokenIs(w, a, ")") || tokenIn(w, a, typeKeywords))
        return true;
    if (isName(w, a) && isName(w, nextKept(w, a)) && !tokenIn(w, a, conventions) &&
        !(keyLength(w, a) > 1 && tokenKey(w, a)[0] == '_' && tokenKey(w, a)[1] == '_'))
        return true;
    const std::uint64_t close = matchingClose(w, i);
    return close < windowEnd(w) && tokenIs(w, nextKept(w, close), "{");
}

// The rewrites that start at the kept token i.
Look rewriteAt(RewriteWindow &w, CState &st, std::uint64_t i)
{
    auto allowed = [&](Rewrite r) { return (w.allow & rewriteBit(r)) != 0; };
    if (!st.lost && st.inDirective && st.defining && !st.definePasting && allowed(Rewrite::Parens) &&
        (st.defineStep == 2 || (st.defineStep == 0 && st.directiveIndex == 2)) && tokenIs(w, i, "return"))
        return definedReturnParens(w, i);
    if (st.lost || st.inDirective || !isCode(w, i))
        return Look::Done;
    if (allowed(Rewrite::Quotes) && st.suspects == st.libraryCalls && isString(w, i))
        return suffixAt(w, st, i);
    if (st.suspects > 0)
        return Look::Done;
    if (allowed(Rewrite::Numbers) && isNumber(w, i)) {
        numberAt(w, i);
        return Look::Done;
    }
    if (allowed(Rewrite::Commas) && tokenIs(w, i, ","))
        return commaAt(w, st, i);
    if (allowed(Rewrite::Semicolons) && tokenIs(w, i, ";") && st.includeSeen && st.empty && atBraceLevel(st) &&
        (topOpened(st) == Opened::Namespace || topOpened(st) == Opened::Class))
        return semicolonAt(w, i);
    if (allowed(Rewrite::Braces) && tokenIs(w, i, ";") && st.after == After::Body) {
        replaceKey(w, i, Rewrite::Braces, kEmptyBody, 1);
        return Look::Done;
    }
    if (allowed(Rewrite::Braces) && tokenIs(w, i, "{") && st.after != After::Nothing) {
        Look l = bracesAt(w, st, i);
        if (l == Look::Wait || windowAt(w, i).dropped)
            return l;
    }
    if (allowed(Rewrite::Parens) && !st.decltypeAuto && atBraceLevel(st) &&
        (tokenIs(w, i, "return") || (tokenIs(w, i, "=") && (st.prevName || prevIs(st, ")") || prevIs(st, "]")) &&
                                     !prevIs(st, "operator"))))
        return valueParens(w, st, i);
    if (allowed(Rewrite::Parens) && tokenIs(w, i, "(") &&
        (prevIs(st, "if") || prevIs(st, "while") || prevIs(st, "switch") ||
         (prevIs(st, "constexpr") && std::strcmp(st.prevPrev, "if") == 0)))
        return conditionParens(w, st, i);
    if (allowed(Rewrite::Usings) && tokenIs(w, i, "using") && st.start && atBraceLevel(st) && i >= st.usingsUntil)
        return usingsAt(w, st, i);
    return Look::Done;
}

void resetStatement(CState &st)
{
    st.empty = true;
    st.start = true;
    st.tokens = 0;
    st.beforeParen = -1;
    st.equals = st.typeKey = st.enumKey = st.namespaceKey = st.externC = st.tainted = false;
    st.angle = 0;
    st.header = false;
    st.caseOpen = false;
}

void lose(CState &st)
{
    st.lost = true;
}

// Which '{' the statement so far opens.
Opened braceOpened(const CState &st)
{
    Opened outer = topOpened(st);
    if (outer != Opened::Namespace && outer != Opened::Class)
        return Opened::Plain;
    if (st.tainted || st.angle > 0)
        return Opened::Plain;
    if (st.namespaceKey && !st.equals)
        return Opened::Namespace;
    if (st.externC && st.tokens == 2)
        return Opened::Namespace;
    if (st.typeKey && !st.enumKey && !st.equals && st.beforeParen < 0)
        return Opened::Class;
    if (!st.typeKey && !st.enumKey && !st.equals && st.beforeParen >= 2 && outer == Opened::Namespace &&
        inList(st.prev, std::strlen(st.prev), kFunctionSuffixes))
        return Opened::Function;
    return Opened::Plain;
}

// The source is C or C++ and no '[' is open.
bool includeSeenOutsideSquares(const CState &st)
{
    if (!st.includeSeen)
        return false;
    for (std::size_t k = 0; k < st.depth; ++k)
        if (st.frames[k].bracket == '[')
            return false;
    return true;
}

void push(CState &st, char bracket, Opened opened)
{
    if (st.depth == kNesting) {
        lose(st);
        return;
    }
    st.frames[st.depth++] = Frame{0, bracket, opened, false, false};
    if (opened == Opened::Suspect || opened == Opened::Library)
        ++st.suspects;
    if (opened == Opened::Library)
        ++st.libraryCalls;
}

// Closes the innermost bracket with bracket; false when it is another.
bool pop(CState &st, char bracket, Frame &frame)
{
    if (st.depth == 0 || st.frames[st.depth - 1].bracket != bracket) {
        lose(st);
        return false;
    }
    frame = st.frames[--st.depth];
    if (frame.opened == Opened::Suspect || frame.opened == Opened::Library)
        --st.suspects;
    if (frame.opened == Opened::Library)
        --st.libraryCalls;
    for (std::size_t k = 0; k < st.conditionalCount; ++k)
        if (st.depth + kBranchFrames < st.conditionals[k].depth)
            lose(st);  // a branch closes more brackets than the group keeps
    return true;
}

// Follows token i of a #define's replacement through the shape of one
// statement: 0 before it, 1 in its block, 2 after the block; 3 after do, 4
// in do's block, 5 to 8 through while ( 0 ), 9 after the ')'; 10 after a
// name, 11 in its call's parentheses, 12 there after a comma at their top
// level, 13 after the ')' that closes them so; -1 another.
void statementShape(CState &st, RewriteWindow &w, std::uint64_t i)
{
    static const char *const digraphs[] = {"<%", "%>", "##", "%:%:", nullptr};
    static const char *const doTail[] = {"while", "(", "0", ")"};
    int &shape = st.defineShape;
    if (shape < 0)
        return;
    if (!isCode(w, i) || tokenIn(w, i, digraphs)) {
        shape = -1;
    } else if (shape == 0 && isName(w, i) && !tokenIs(w, i, "do")) {
        shape = 10;
    } else if (shape == 10) {
        shape = tokenIs(w, i, "(") ? 11 : -1;
        st.defineBraces = 1;
    } else if (shape == 11 || shape == 12) {
        if (tokenIs(w, i, "(") || tokenIs(w, i, "["))
            ++st.defineBraces;
        else if ((tokenIs(w, i, ")") || tokenIs(w, i, "]")) && --st.defineBraces == 0)
            shape = shape == 12 && tokenIs(w, i, ")") ? 13 : -1;
        else if (tokenIs(w, i, ",") && st.defineBraces == 1)
            shape = 12;
    } else if (shape == 0 || shape == 3) {
        shape = tokenIs(w, i, "{") ? shape + 1 : shape == 0 && tokenIs(w, i, "do") ? 3 : -1;
        st.defineBraces = 1;
    } else if (shape == 1 || shape == 4) {
        if (tokenIs(w, i, "{"))
            ++st.defineBraces;
        else if (tokenIs(w, i, "}") && --st.defineBraces == 0)
            ++shape;
    } else if (shape >= 5 && shape <= 8) {
        shape = tokenIs(w, i, doTail[shape - 5]) ? shape + 1 : -1;
    } else {
        shape = -1;  // a token after the statement
    }
}

// Reads token i of a #define's replacement or parameters (see "Macros of the file").
void defineToken(CState &st, RewriteWindow &w, std::uint64_t i)
{
    static const char *const wild[] = {";", "{", "}", "<%", "%>", "#", "##", "%:", "%:%:", "if", "else", "for",
                                       "while", "do", "switch", "case", "default", "return", "break", "continue",
                                       "goto", "typedef", nullptr};
    if (st.defineStep == 0) {
        st.defineStep = 2;
        if (windowAt(w, i).kind == TokenKind::MacroParen) {  // the '(' of a function-like macro's parameters
            st.defineStep = 1;
            return;
        }
    }
    if (st.defineStep == 1) {
        if (tokenIs(w, i, ")"))
            st.defineStep = 2;
        else if (isName(w, i) && st.parameterCount < kMacroParameters)
            st.macroParameters[st.parameterCount++] = nameHash(w, i);
        else if (!tokenIs(w, i, ",") && !tokenIs(w, i, "..."))
            st.defineKind = kWildMacro;
        return;
    }
    statementShape(st, w, i);
    static const char *const pasting[] = {"#", "##", "%:", "%:%:", nullptr};
    st.definePasting |= tokenIn(w, i, pasting);
    if (!isCode(w, i) || tokenIn(w, i, wild)) {
        st.defineKind = kWildMacro;
    } else if (tokenIs(w, i, "(") || tokenIs(w, i, "[")) {
        ++st.defineDepth;
    } else if (tokenIs(w, i, ")") || tokenIs(w, i, "]")) {
        if (--st.defineDepth < 0) {
            st.defineKind = kWildMacro;
            st.defineShape = -1;
        }
    } else if (tokenIs(w, i, ",") && st.defineDepth == 0) {
        st.defineKind = std::min(st.defineKind, static_cast<unsigned char>(kTameMacro));
    } else if (isName(w, i) && !tokenIs(w, i, "__VA_ARGS__")) {
        const std::uint32_t h = nameHash(w, i);
        for (std::size_t k = 0; k < st.parameterCount; ++k)
            if (st.macroParameters[k] == h)
                return;
        if (macroKind(w, st, i) != kNoMacro || st.referenceCount == kMacroReferences) {
            st.defineKind = kWildMacro;
            st.defineShape = -1;
        } else {
            st.referenceInside[st.referenceCount] = st.defineDepth > 0;
            st.macroReferences[st.referenceCount++] = h;
        }
    }
}

// The #define ends: its name's definition gets the kind its replacement showed.
void defineEnds(CState &st)
{
    if (st.defining && st.directiveIndex >= 2 && st.macroCount > 0 && !st.macrosFull) {
        const bool balanced = st.defineDepth == 0;
        unsigned char kind = balanced ? st.defineKind : static_cast<unsigned char>(kWildMacro);
        if (balanced && st.defineShape == 2)
            kind = static_cast<unsigned char>(kind | kBlockMacro);
        if (balanced && st.defineShape == 9)
            kind = static_cast<unsigned char>(kind | kDoMacro);
        if (balanced && (st.defineShape == 0 || st.defineShape == 13) && (kind & kKindBits) != kWildMacro)
            kind = static_cast<unsigned char>(kind | kCallMacro);
        st.macroKinds[st.macroCount - 1] = kind;
        // Expanded inside brackets, a tame and single macro keeps them
        // balanced, adds no top-level comma and no statement: what was
        // decided of the macros that name it still holds.
        if ((kind & kKindBits) == kSingleMacro)
            st.breakUnlessSingle = false;
    }
    st.tameBroken |= st.breakUnlessSingle;
    st.breakUnlessSingle = false;
    st.defining = false;
}

// --- #if groups ---------------------------------------------------------------

void countLibraryCalls(CState &st)
{
    st.libraryCalls = 0;
    for (std::size_t k = 0; k < st.depth; ++k)
        st.libraryCalls += st.frames[k].opened == Opened::Library;
}

std::size_t groupBase(const Group &g)
{
    return g.depth >= kBranchFrames ? g.depth - kBranchFrames : 0;
}

bool sameFrame(const Frame &a, const Frame &b)
{
    return a.bracket == b.bracket && a.opened == b.opened && a.pendingDo == b.pendingDo;
}

// Gives the group's current branch a serial number of its own.
void numberBranch(CState &st, Group &g)
{
    if (st.branchSerial == 0xfffe)
        st.branchesFull = true;  // no call is noted in a group from here on, so none bears 0xffff
    g.branch = st.branchesFull ? 0xffff : ++st.branchSerial;
}

void groupStarts(CState &st, Group &g)
{
    numberBranch(st, g);
    g.depth = static_cast<std::uint16_t>(st.depth);
    g.suspects = static_cast<std::uint16_t>(st.suspects);
    g.ended = g.elseSeen = false;
    g.cleanStart = st.start && st.tokens == 0 && !st.header && st.after == After::Nothing;
    const std::size_t base = groupBase(g);
    std::copy(st.frames + base, st.frames + st.depth, g.saved);
}

// A branch ends: its brackets become the group's end, or must equal it
// (then a flag holds only where it holds in both).
void branchEnds(CState &st, Group &g)
{
    const std::size_t base = groupBase(g);
    if (st.lost || st.depth > g.depth + kBranchFrames) {
        lose(st);
        return;
    }
    if (!g.ended) {
        g.ended = true;
        g.endDepth = static_cast<std::uint16_t>(st.depth);
        g.endSuspects = static_cast<std::uint16_t>(st.suspects);
        std::copy(st.frames + base, st.frames + st.depth, g.end);
        return;
    }
    if (st.depth != g.endDepth || st.suspects != g.endSuspects) {
        lose(st);
        return;
    }
    for (std::size_t k = base; k < st.depth; ++k) {
        Frame &e = g.end[k - base];
        if (!sameFrame(e, st.frames[k])) {
            lose(st);
            return;
        }
        e.statement = e.statement && st.frames[k].statement;
        e.block = e.block && st.frames[k].block;
    }
}

// The next branch starts from the brackets the #if found; the statement
// the #if stood in is unknown to it, unless the #if stood between two.
void branchStarts(CState &st, const Group &g)
{
    if (st.lost)
        return;
    const std::size_t base = groupBase(g);
    std::copy(g.saved, g.saved + (g.depth - base), st.frames + base);
    st.depth = g.depth;
    st.suspects = g.suspects;
    countLibraryCalls(st);
    st.after = After::Nothing;
    if (g.cleanStart) {
        resetStatement(st);
        std::memcpy(st.prev, ";", 2);
    } else {
        st.tainted = true;
        st.start = false;
        st.prev[0] = '\0';
    }
    st.empty = false;
    st.prevName = false;
}

// The group ends: without an #else, the branches must leave the brackets
// as the #if found them; the rest goes on from where they all end.
void groupEnds(CState &st, const Group &g)
{
    if (st.lost)
        return;
    const std::size_t base = groupBase(g);
    if (!g.elseSeen) {
        bool same = g.endDepth == g.depth && g.endSuspects == g.suspects;
        for (std::size_t k = base; same && k < g.depth; ++k)
            same = sameFrame(g.end[k - base], g.saved[k - base]);
        if (!same) {
            lose(st);
            return;
        }
    }
    std::copy(g.end, g.end + (g.endDepth - base), st.frames + base);
    if (!g.elseSeen)
        for (std::size_t k = base; k < g.depth; ++k) {
            st.frames[k].statement = st.frames[k].statement && g.saved[k - base].statement;
            st.frames[k].block = st.frames[k].block && g.saved[k - base].block;
        }
    st.depth = g.endDepth;
    st.suspects = g.endSuspects;
    countLibraryCalls(st);
}

void directiveToken(CState &st, RewriteWindow &w, std::uint64_t i)
{
    ++st.directiveIndex;
    if (st.directiveIndex > 2 && st.defining)
        defineToken(st, w, i);
    if (st.directiveIndex == 2 && st.including)
        includeAt(st, w, i);
    if (st.directiveIndex == 2 && st.defining && isName(w, i)) {
        const std::uint32_t h = nameHash(w, i);
        for (std::size_t k = 0; k < st.referenceCount; ++k)
            if (st.macroReferences[k] == h) {
                st.tameBroken |= !st.referenceInside[k];
                st.breakUnlessSingle = true;
            }
        if (st.macroCount == kMacroNames) {
            st.macrosFull = true;
        } else {
            st.macroKinds[st.macroCount] = kWildMacro;
            st.macros[st.macroCount++] = h;
        }
        st.parameterCount = 0;
        st.defineStep = 0;
        st.defineDepth = 0;
        st.defineKind = kSingleMacro;
        st.defineShape = 0;
        st.defineBraces = 0;
        st.definePasting = false;
    }
    if (st.directiveIndex != 1 || !isName(w, i))
        return;
    st.defining = tokenIs(w, i, "define");
    st.including = tokenIs(w, i, "include");
    static const char *const branching[] = {"if", "ifdef", "ifndef", "elif", "elifdef", "elifndef", "else",
                                            "endif", "include", "include_next", "import", nullptr};
    st.branching = tokenIn(w, i, branching);
    if (tokenIs(w, i, "if") || tokenIs(w, i, "ifdef") || tokenIs(w, i, "ifndef")) {
        if (st.conditionalCount == kConditionals) {
            lose(st);
            return;
        }
        groupStarts(st, st.conditionals[st.conditionalCount++]);
    } else if (tokenIs(w, i, "elif") || tokenIs(w, i, "else") || tokenIs(w, i, "elifdef") ||
               tokenIs(w, i, "elifndef") || tokenIs(w, i, "endif")) {
        if (st.conditionalCount == 0) {
            lose(st);
            return;
        }
        Group &g = st.conditionals[st.conditionalCount - 1];
        branchEnds(st, g);
        if (tokenIs(w, i, "endif")) {
            groupEnds(st, g);
            --st.conditionalCount;
        } else {
            g.elseSeen |= tokenIs(w, i, "else");
            branchStarts(st, g);
            numberBranch(st, g);
        }
    } else if (tokenIs(w, i, "include") || tokenIs(w, i, "include_next") || tokenIs(w, i, "import")) {
        st.includeSeen = true;
    }
}

void remember(CState &st, RewriteWindow &w, std::uint64_t i)
{
    std::memcpy(st.prevPrev, st.prev, sizeof st.prev);
    std::size_t n = keyLength(w, i);
    if ((windowAt(w, i).kind != TokenKind::Code && windowAt(w, i).kind != TokenKind::Value) || n > kWordBytes) {
        st.prev[0] = '\0';
    } else {
        std::memcpy(st.prev, tokenKey(w, i), n);
        st.prev[n] = '\0';
    }
    st.prevName = isName(w, i);
    st.prevLibrary = st.prevName && libraryName(w, st, i);
}

// The statement flags of a token at brace level.
void statementToken(CState &st, RewriteWindow &w, std::uint64_t i)
{
    st.empty = false;
    st.start = false;
    if (st.tokens == 0 && tokenIs(w, i, "template"))
        st.header = true;
    if (st.header) {
        if (tokenIs(w, i, "<"))
            ++st.angle;
        else if (tokenIs(w, i, ">") && --st.angle == 0)
            st.header = false;
        return;
    }
    if (tokenIs(w, i, "(") && st.beforeParen < 0)
        st.beforeParen = st.tokens;
    if (tokenIs(w, i, "=") || tokenIs(w, i, "typedef") || tokenIs(w, i, "using"))
        st.equals = true;
    if (tokenIs(w, i, "class") || tokenIs(w, i, "struct") || tokenIs(w, i, "union"))
        st.typeKey = true;
    if (tokenIs(w, i, "enum"))
        st.enumKey = true;
    if (tokenIs(w, i, "namespace"))
        st.namespaceKey = true;
    if (st.tokens == 0 && tokenIs(w, i, "extern"))
        st.externC = true;
    else if (st.tokens == 1 && st.externC)
        st.externC = isLiteral(w, i) && !isNumber(w, i);
    ++st.tokens;
}

// Follows the kept token i: brackets, directives, statements.
void follow(CState &st, RewriteWindow &w, std::uint64_t i)
{
    WindowToken &t = windowAt(w, i);
    if (t.kind == TokenKind::LineEnd) {
        st.afterBranching |= st.inDirective && st.branching;
        if (st.inDirective)
            defineEnds(st);
        st.inDirective = false;
        st.empty = false;  // an #else may hide what the ';' after it ends
        return;
    }
    if (t.kind == TokenKind::End)
        return;
    if (st.inDirective) {
        directiveToken(st, w, i);
        return;
    }
    if (t.kind == TokenKind::Value && keyLength(w, i) > 0 &&
        (tokenKey(w, i)[0] == kUsingsTag || tokenKey(w, i)[0] == kEmptyBody[0])) {
        if (atBraceLevel(st))
            resetStatement(st);  // a sorted run of using declarations, or an empty body
        st.after = After::Nothing;
        remember(st, w, i);
        return;
    }
    if (tokenIs(w, i, "#") || tokenIs(w, i, "%:")) {
        st.inDirective = true;
        st.directiveIndex = 0;
        st.branching = false;
        st.callNext = st.declareNext = false;
        st.after = After::Nothing;
        st.empty = false;
        return;
    }
    if (tokenIs(w, i, "<%") || tokenIs(w, i, "%>") || tokenIs(w, i, "<:") || tokenIs(w, i, ":>")) {
        lose(st);  // digraph brackets, which the bracket matching does not count
        return;
    }
    After after = After::Nothing;
    bool level = atBraceLevel(st);
    const bool callNext = st.callNext, declareNext = st.declareNext, switchHeader = st.switchHeader;
    st.callNext = st.declareNext = st.switchHeader = false;
    if (isName(w, i))
        nameUse(st, w, i);
    else if (tokenIs(w, i, "(") && st.prevName &&
             (callNext || (declareNext && atFileLevel(st) && parameterList(w, i))))
        noteCall(st, st.prevHash);
    st.afterBranching = false;
    if (tokenIs(w, i, "typedef") && st.typedefDepth == 0)
        st.typedefDepth = st.depth + 1;
    else if (tokenIs(w, i, ";") && st.typedefDepth == st.depth + 1)
        st.typedefDepth = 0;
    if (tokenIs(w, i, "decltype"))
        st.decltypeStep = 1;
    else if ((st.decltypeStep == 1 && tokenIs(w, i, "(")) || (st.decltypeStep == 2 && tokenIs(w, i, "auto")))
        ++st.decltypeStep;
    else if (st.decltypeStep == 3 && tokenIs(w, i, ")"))
        st.decltypeAuto = true;
    else
        st.decltypeStep = 0;
    if (tokenIs(w, i, "consteval"))
        st.consteval = true;
    if (level && st.depth > 0 && tokenIn(w, i, kStatementKeywords))
        st.frames[st.depth - 1].statement = true;
    // A do's body is one statement: the first while at its level after a ';'
    // or '}' is the do's.
    const bool doWhile = st.doWhile;
    st.doWhile = false;
    if (level && st.depth > 0) {
        std::uint16_t &pending = st.frames[st.depth - 1].pendingDo;
        if (tokenIs(w, i, "do") && pending < 0xffff) {
            ++pending;
        } else if (tokenIs(w, i, "while") && pending > 0 && (prevIs(st, ";") || prevIs(st, "}") || st.prev[0] == kEmptyBody[0])) {
            --pending;
            st.doWhile = true;
        }
    }
    if (tokenIs(w, i, "::") && includeSeenOutsideSquares(st))
        st.cplusplus = true;

    Frame frame{};
    if (tokenIs(w, i, "(")) {
        Opened opened = Opened::Plain;
        if (prevIs(st, "if") || (prevIs(st, "constexpr") && std::strcmp(st.prevPrev, "if") == 0))
            opened = Opened::If;
        else if (prevIs(st, "while") && doWhile)
            opened = Opened::Plain;  // the while of do ... while (...);
        else if (prevIs(st, "while") || prevIs(st, "for") || prevIs(st, "foreach"))
            opened = Opened::Loop;
        else if (prevIs(st, "switch"))
            opened = Opened::Switch;
        else if ((st.prevName && !inList(st.prev, std::strlen(st.prev), kHeaderKeywords)) || prevIs(st, ")") ||
                 st.prev[0] == '\0')
            opened = st.prevLibrary ? Opened::Library : Opened::Suspect;
        if (level)
            statementToken(st, w, i);
        push(st, '(', opened);
    } else if (tokenIs(w, i, "[")) {
        if (level)
            statementToken(st, w, i);
        push(st, '[', Opened::Plain);
    } else if (tokenIs(w, i, "{")) {
        Opened opened = level ? braceOpened(st) : Opened::Plain;
        // A compound statement or a function body, whose '}' ends a statement.
        const Opened outer = topOpened(st);
        const bool block = st.after != After::Nothing || switchHeader || opened == Opened::Function ||
                           (level && outer != Opened::Namespace && outer != Opened::Class &&
                            (prevIs(st, ";") || prevIs(st, "{") || prevIs(st, "}") || prevIs(st, ":") ||
                             st.prev[0] == kEmptyBody[0]));
        push(st, '{', opened);
        if (st.depth > 0 && st.frames[st.depth - 1].bracket == '{')
            st.frames[st.depth - 1].block = block;
        resetStatement(st);
        st.empty = opened == Opened::Namespace || opened == Opened::Class;
    } else if (tokenIs(w, i, ")")) {
        if (pop(st, '(', frame) && (frame.opened == Opened::If || frame.opened == Opened::Loop))
            after = After::Body;
        st.switchHeader = frame.opened == Opened::Switch && frame.bracket == '(';
    } else if (tokenIs(w, i, "]")) {
        pop(st, '[', frame);
    } else if (tokenIs(w, i, "}")) {
        const bool popped = pop(st, '{', frame);
        st.closedBlock = popped && frame.block;
        if (st.typedefDepth > st.depth + 1)
            st.typedefDepth = 0;
        if (popped) {
            resetStatement(st);
            if (!(frame.opened == Opened::Namespace || (frame.opened == Opened::Function && frame.statement))) {
                st.empty = false;  // a declarator or ';' of the declaration may follow
                st.tainted = true;
                st.tokens = 1;
            }
        }
    } else if (level && tokenIs(w, i, ";")) {
        resetStatement(st);
    } else if (level) {
        bool wasStart = st.start;
        if ((tokenIs(w, i, "case") || tokenIs(w, i, "default")) && wasStart) {
            st.caseOpen = true;
            st.ternary = 0;
        }
        if (st.caseOpen && tokenIs(w, i, "?")) {
            ++st.ternary;
        } else if (st.caseOpen && tokenIs(w, i, ":")) {
            if (st.ternary > 0) {
                --st.ternary;
            } else {
                resetStatement(st);
                st.empty = false;
                after = After::CaseBody;
                remember(st, w, i);
                st.after = after;
                return;
            }
        }
        if (tokenIs(w, i, ":") && (prevIs(st, "public") || prevIs(st, "private") || prevIs(st, "protected"))) {
            resetStatement(st);
            st.empty = false;
            remember(st, w, i);
            st.after = after;
            return;
        }
        statementToken(st, w, i);
    }
    if (tokenIs(w, i, "do") || (tokenIs(w, i, "else") && !st.consteval))
        after = After::Body;
    st.after = after;
    remember(st, w, i);
}

std::uint64_t cScan(RewriteWindow &w, void *state)
{
    CState &st = *static_cast<CState *>(state);
    if (!st.started) {
        resetStatement(st);
        st.started = true;
        // The stream starts as after a statement: a '(' there is no macro's arguments.
        std::memcpy(st.prev, ";", 2);
    }
    // Each decision looks ahead kHorizon tokens at least, where the stream
    // has them. A window that holds fewer, out of key room (long tokens),
    // decides its first token only, on all it holds from there: what a
    // decision sees never depends on where the window started.
    const std::uint64_t held = windowEnd(w);
    const bool ends = w.count > 0 && windowAt(w, held - 1).kind == TokenKind::End;
    const bool barrier = w.count > 0 && !windowAt(w, held - 1).whole;
    const std::uint64_t end = ends || barrier ? held : w.count > kHorizon ? held - kHorizon : w.first + 1;
    std::uint64_t i = std::max(st.cursor, w.first);
    for (; i < end; ++i) {
        if (windowAt(w, i).dropped)
            continue;
        if (rewriteAt(w, st, i) == Look::Wait)
            break;
        if (!windowAt(w, i).dropped)
            follow(st, w, i);
    }
    st.cursor = i;
    return i;
}

} // namespace

extern const RewriteRules kCFamilyRules = rulesRecord<CState>(
    Language::CFamily, {Rewrite::Braces, Rewrite::Parens, Rewrite::Commas, Rewrite::Numbers, Rewrite::Usings,
     Rewrite::Semicolons, Rewrite::Quotes}, cScan, nullptr);
