// The rewrites of JavaScript, TypeScript and TSX sources: quotes and property
// names, numbers, trailing commas and a type's member separators, redundant
// parentheses and the empty arguments of new, braces around a single
// statement, and empty statements.
//
// The scan reads the tokens the script lexer gives (lexer.cpp)
// and follows them with a copy of that lexer's own bookkeeping: its open
// frames, what the last token leaves expected, which '{' opens a block and
// which an object, where a JSX element starts and ends. That copy is what
// keeps a rewrite out of JSX: a JSX attribute string has no escapes and JSX
// text is words, so neither may be read as a string, a number or a bracket.
// Where the copy cannot follow the lexer (a token too long to hold went out
// unseen, the lexer's frames overflowed), the rest of the stream is left as
// written.
//
// Each rewrite is decided at its first token, after the tokens it needs have
// joined the window: a '(' or '{' waits for its closing bracket and the three
// kept tokens after it, any other token for the next three. A token waits
// while the window can take more; once the window starts at it and holds all
// it can, or ends at the End or a token too long to hold, it is decided on
// what is held, and a rewrite whose tokens are not all there is not made. So
// the canonical stream depends on the tokens alone, never on where a window
// happens to start: a rule reads nothing before the token it decides at but
// the bookkeeping, which keeps what it needs of a frame's closing bracket.
#include <cstring>

#include "languages/javascript/state.h"
#include "rewrites/rules.h"
#include "tokens/lexer.h"

namespace {

constexpr std::size_t kFrames = kScriptNesting;  // frames followed, as many as the lexer keeps
constexpr std::size_t kShortKey = 16;           // bytes of the last kept token's key remembered
constexpr std::size_t kValueBytes = kRewriteLongToken + 8;  // a literal's canonical form: a tag and at most its key's bytes
constexpr std::uint64_t kLookahead = 3;          // tokens any rewrite looks past the current one

// What the last token leaves expected: the lexer's ScriptPrev, Start first so
// that a zeroed state starts a statement.
enum class Prev : unsigned char {
    Start,
    Operator,
    Head,
    Operand,
    Restricted,
};

// Why a frame opened, beyond the lexer's frame kind: what the rules ask of it.
enum class Opened : unsigned char {
    Other,
    Call,        // '(' of a call or of a named function's parameters
    Group,       // '(' where an operand is expected: a group or an arrow's parameters
    Array,       // '[' of an array literal or pattern (no index, no computed key)
    List,        // '{' whose items take a trailing comma: an object literal, pattern or type, an import or export list, an enum
    Statements,  // '{' of a statement block or a declaration's body: a ';' after its '}' is empty
    Body,        // '{' of a function or class expression or an arrow: its items are statements
    Class,       // '{' of a class declaration's body
};

// How far "new" and its callee have been read: a name and its members, no
// call (the brackets of a computed member are skipped, in deeper frames).
enum class NewCallee : unsigned char {
    None,
    New,     // "new" was read: the callee comes
    Member,  // a name or a member after it: '.', '[' or the arguments may come
    Dot,     // a '.' after one: a name comes
    Group,   // a '(' right after "new": its ')' ends the callee
};

// A token written in another form once the bookkeeping has read it as
// written (which the lexer's copy must see): a property name as the name it
// gives, a member separator of a type as ';'.
enum class Respell : unsigned char {
    None,
    Key,         // a property name: a name, a string that is an identifier name or a canonical number, a number
    KeyNoNumber, // the same, but no number (an enum member's name)
    ClassKey,    // the same, but not "constructor" (a class member's name)
    Separator,   // a ',' or ';' between the members of a TypeScript type
};

struct Frame {
    ScriptFrame kind;
    Opened opened;
    bool spread;         // the item being read started with "..."
    bool dropped;        // a '(' taken out as redundant
    bool pattern;        // a '[' or '{' of a declaration's pattern, or inside one
    bool literal;        // a '[' or '{' that can only be an array or object literal (after '=', return, ...)
    bool argument;       // a '[' or '{' right inside a '(' of a call or a group: a literal if that is one
    bool question;       // a '(' after '?' or case, where a ':' after its ')' ends a condition's branch
    std::uint16_t angles;  // TypeScript: '<' of type arguments or parameters open in this frame
    bool call;           // a '(' whose ')' is held when it is read and followed by none of '{', "=>" and a
                         // TypeScript ':': a call's arguments
    bool group;          // the same, but a '{' may follow: a call's arguments or a group
    bool module;         // a '{' of an import or export list or of an import's attributes: its '}' ends the
                         // declaration
    bool type;           // TypeScript: a frame of a type, inside an interface's body or a type alias
    bool enumBody;       // a '{' of an enum's body
    bool index;          // a '[' after an operand: a member's index
    std::uint16_t branches;  // '?' of conditionals in this frame whose ':' is still to come
};

struct State {
    std::uint64_t cursor;             // the next token to look at
    bool lost;                        // the copy of the lexer's bookkeeping is lost: no rewrites from here on
    bool seen;                        // a token has been looked at
    bool closedAngle;                 // TypeScript: the last token is a '>' that closed type arguments or parameters
    bool assertion;                   // TypeScript without JSX: a '<' where an operand stands is open (a type
    std::size_t assertionDepth;       // assertion's, or a generic arrow function's), at this depth
    std::uint16_t assertionAngles;    // with this many type arguments' '<' open around it
    bool closedAssertion;             // the last token is the '>' that closed it
    std::uint16_t outerAngles;        // TypeScript: the same as Frame::angles, outside every frame
    Frame frames[kFrames];            // the lexer's open frames, innermost last
    std::size_t depth;                // frames in use
    Prev prev;                        // what the last token leaves expected
    bool midStatement;                // the lexer's stmtStart, negated (zero: a statement starts)
    char word[kScriptWord];           // the last token when it is a name shorter than kScriptWord
    std::size_t wordLength;           // bytes of word; 0 when the last token is none such
    bool pending;                     // a function, class or like head waits for its body's '{'
    bool pendingExpr;                 // that head stands in an expression
    bool pendingType;                 // that head is an interface's
    bool pendingClass;                // that head is a class's
    bool pendingEnum;                 // that head is an enum's
    std::size_t pendingDepth;         // depth where its body opens
    bool tagStart;                    // the last token is the '<' that opens a JSX tag
    bool selfClosing;                 // a '/' stands in the open JSX tag
    char last[kShortKey];             // the last token's key, when shorter than kShortKey
    std::size_t lastLength;           // bytes of last; 0 when longer or none
    std::int64_t lastEndLine;         // the line the last token ends on
    bool lastCloses;                  // the last token is a '}' after which a ';' is an empty statement
    bool lastName;                    // the last token is a name outside JSX
    ScriptList listNext;              // what a '{' right after the last token opens, as the lexer tells
    bool lastString;                  // the last token is a string literal outside JSX
    ScriptDecorator decorator;        // where a decorator stands, as the lexer tells
    std::size_t decoratorDepth;       // frames open with the '(' of its arguments innermost
    bool decoratorStart;              // it stands at a statement's start
    char kept[kShortKey];             // the last token not taken out, when its key is shorter than kShortKey
    std::size_t keptLength;           // bytes of kept; 0 when longer or none
    bool keptAny;                     // a token was kept
    bool keptPrefix;                  // that token is a prefix operator ('+', '-', '!', ...)
    bool keptOperand;                 // that token ends an operand (the lexer's Operand)
    bool keptStart;                   // after that token a statement starts (the lexer's Start)
    std::int64_t keptLine;            // the line that token starts on
    bool exportDefault;               // the last token is the "default" of "export default"
    bool typeWord;                    // TypeScript: the last token is "type" at a statement's start
    bool typeAlias;                   // TypeScript: a type alias's type is being read (to its ';')
    std::size_t typeDepth;            // the depth its ';' stands at
    NewCallee callee;                 // how far a "new" and its callee have been read
    std::size_t calleeDepth;          // the depth that "new" stands at
    Respell respell;                  // what the token being looked at is written as once it is tracked
    std::uint16_t outerBranches;      // the same as Frame::branches, outside every frame
    bool branchColon;                 // the last token is the ':' of a conditional
    bool declaredName;                // the last token is the name a let, const or var declares
    bool forOf;                       // the last token is the "of" of a for-of head (after an operand)
    bool declaring;                   // a let, const, var or using declaration's list is being read, whose
    std::size_t declarationDepth;     // ',' at this depth separates its declarators
    bool annotation;                  // TypeScript: the last token is a ':' a type follows (after a declared
                                      // name, or a parameter's in parentheses)
};

bool isNameByte(char c)
{
    return byteClass(c) & kNameC;
}

bool isDigit(char c)
{
    return byteClass(c) & kDigit;
}

bool isNameStart(const char *p, std::size_t n)
{
    return n > 0 && ((isNameByte(p[0]) && !isDigit(p[0])) || (n > 1 && p[0] == '\\' && p[1] == 'u'));
}

bool same(const char *k, std::size_t n, const char *s)
{
    return std::strlen(s) == n && std::memcmp(k, s, n) == 0;
}

// Names an expression in parentheses or a braced statement may not hold
// where the rules read it: keywords and the contextual words whose meaning
// depends on what surrounds them.
const char kReservedWords[] =
    " break case catch class const continue debugger default delete do else enum export extends false finally for "
    "function if import in instanceof new null return super switch this throw true try typeof var void while with "
    "yield let static implements interface package private protected public await async of get set as satisfies "
    "keyof infer is type declare abstract namespace module global readonly unique asserts accessor using override ";
const char kOperandWords[] = " this null true false undefined ";
// Of those names, the ones JavaScript reads as plain names wherever an
// operand or a parameter stands (TypeScript's words, and words whose meaning
// depends on what follows them).
const char kPlainInJavaScript[] = " of get set as satisfies keyof infer is type declare abstract namespace module global "
                                  "readonly unique asserts accessor override ";


bool hasJsx(Language language)
{
    return language == Language::JavaScript || language == Language::Tsx;
}

ScriptFrame top(const State &s)
{
    return s.depth > 0 ? s.frames[s.depth - 1].kind : ScriptFrame::None;
}

Frame *topFrame(State &s)
{
    return s.depth > 0 ? &s.frames[s.depth - 1] : nullptr;
}

bool lastWordIn(const State &s, const char *list)
{
    return scriptWordIn(list, s.word, s.wordLength);
}

bool lastIs(const State &s, const char *key)
{
    return same(s.last, s.lastLength, key);
}

// Opens a frame; a '[' or '{' is part of a pattern after let, const or var,
// or inside a pattern's item.
void push(State &s, ScriptFrame kind, Opened opened)
{
    if (s.depth == kFrames) {
        s.lost = true;  // the lexer's frames overflow here too: it reads the rest loosely
        return;
    }
    bool pattern = false, literal = false, argument = false;
    if (kind == ScriptFrame::Bracket || kind == ScriptFrame::Object || kind == ScriptFrame::Block) {
        const Frame *outer = s.depth > 0 ? &s.frames[s.depth - 1] : nullptr;
        pattern = scriptWordIn(" let const var ", s.last, s.lastLength) ||
                  (outer && outer->pattern && scriptWordIn(" [ , : ... { ", s.last, s.lastLength));
        literal = scriptWordIn(" = += -= *= /= %= &= |= ^= &&= ||= ?\?= return throw ? ... ", s.last, s.lastLength) ||
                  (s.lastLength > 1 && s.last[s.lastLength - 1] == '{' && s.last[s.lastLength - 2] == '$') ||
                  (outer && outer->literal && lastIs(s, ":"));
        argument = outer && outer->kind == ScriptFrame::Paren &&
                   (outer->opened == Opened::Call || outer->opened == Opened::Group) &&
                   scriptWordIn(" ( , ", s.last, s.lastLength);
    }
    bool question = lastIs(s, "?") || lastWordIn(s, " case ");
    bool module = kind == ScriptFrame::Block && s.listNext != ScriptList::None;
    // TypeScript: an interface's body and what it holds is a type (a '(' only
    // where a type starts, not "import(...)"'s arguments); so is
    // a frame of a type alias that opens where a type goes on (not after an
    // operand, where the lexer may have missed the ';' that ends the alias).
    const bool type = kind == ScriptFrame::TypeBody ||
                      (s.depth > 0 && s.frames[s.depth - 1].type &&
                       (kind != ScriptFrame::Paren || scriptWordIn(" : => | & < , ( [ = ? ", s.last, s.lastLength))) ||
                      (s.annotation && lastIs(s, ":")) ||
                      (s.typeAlias && s.depth == s.typeDepth && s.prev != Prev::Operand &&
                       scriptWordIn(" = | & => : ? ( , < [ keyof readonly ", s.last, s.lastLength));
    s.frames[s.depth++] = Frame{kind, opened, false, false, pattern, literal, argument, question, 0, false, false,
                                module, type, false, kind == ScriptFrame::Bracket && s.prev == Prev::Operand, 0};
}

std::uint16_t &angles(State &s)
{
    return s.depth > 0 ? s.frames[s.depth - 1].angles : s.outerAngles;
}

void popIf(State &s, ScriptFrame a, ScriptFrame b)
{
    if (s.depth > 0 && (top(s) == a || top(s) == b))
        --s.depth;
}

// A token's key as the rules read it.
struct Key {
    const char *p;
    std::size_t n;
};

Key keyAt(RewriteWindow &w, std::uint64_t i)
{
    return {tokenKey(w, i), windowAt(w, i).length};
}

bool isString(Key k)
{
    return k.n > 0 && (k.p[0] == '"' || k.p[0] == '\'');
}

bool isNumber(Key k)
{
    return k.n > 0 && (isDigit(k.p[0]) || (k.p[0] == '.' && k.n > 1 && isDigit(k.p[1])));
}

bool isTemplate(Key k)
{
    return k.n > 0 && k.p[0] == '`';
}

// A template piece that opens a hole.
bool opensHole(Key k)
{
    return k.n >= 2 && k.p[k.n - 2] == '$' && k.p[k.n - 1] == '{';
}

// A name that stands for a variable where an operand or a parameter does.
bool variableName(Language language, Key k)
{
    return isNameStart(k.p, k.n) && !std::memchr(k.p, '\\', k.n) &&
           (!scriptWordIn(kReservedWords, k.p, k.n) ||
            (language == Language::JavaScript && scriptWordIn(kPlainInJavaScript, k.p, k.n)));
}

// --- The copy of the lexer's bookkeeping ---------------------------------

// What the token after the ')' that closes the '(' at open says of it: call
// when it is none of '{', "=>" and a TypeScript return type's ':' (a call's
// arguments), group when it is none but '{' may be (a call's or a group, no
// parameter list); both false when that ')' or the token are not held. Read
// as the '(' is tracked, after its rewrites have seen that far, and kept in
// its frame: the tokens inside that ask come later, when the '(' may have
// left the window, and what they are told must not depend on where the
// window falls.
void parenFacts(RewriteWindow &w, std::uint64_t open, bool &call, bool &group)
{
    const std::uint64_t end = windowEnd(w);
    const std::uint64_t close = matchingClose(w, open);
    const std::uint64_t after = close < end ? nextKept(w, close) : end;
    group = after < end && !tokenIs(w, after, "=>") && !(tokenIs(w, after, ":") && w.language != Language::JavaScript);
    call = group && !tokenIs(w, after, "{");
}

// What the lexer makes of a name outside JSX: its class, and its side effects
// on the pending body and the statement start.
void trackName(State &s, Language language, Key k)
{
    Prev cls = Prev::Operand;
    bool keepStart = false;
    bool start = !s.midStatement;
    const bool member = lastIs(s, ".") || lastIs(s, "?.");  // a member's name is never a keyword
    if (k.p[0] != '#' && !member) {
        if (kRestrictedSet.has(k.p, k.n))
            cls = Prev::Restricted;
        else if (same(k.p, k.n, "void") && language != Language::JavaScript)
            cls = Prev::Operand;
        else if (kOperatorSet.has(k.p, k.n))
            cls = Prev::Operator;
        else if (language != Language::JavaScript && kTypeOperatorSet.has(k.p, k.n))
            cls = Prev::Operator;
        else if (s.prev == Prev::Start && kAccessorSet.has(k.p, k.n))
            cls = Prev::Head;
        else if (kHeadSet.has(k.p, k.n))
            cls = Prev::Head;
        keepStart = start && kModifierSet.has(k.p, k.n);
        if (kBodySet.has(k.p, k.n)) {
            s.pending = true;
            s.pendingDepth = s.depth;
            s.pendingExpr = !start;
            s.pendingType = same(k.p, k.n, "interface");
            s.pendingClass = same(k.p, k.n, "class");
            s.pendingEnum = same(k.p, k.n, "enum");
        }
    }
    s.prev = cls;
    s.midStatement = !(cls == Prev::Start || keepStart);
    s.wordLength = k.n < kScriptWord && !member ? k.n : 0;
    std::memcpy(s.word, k.p, s.wordLength);
}

void setPrev(State &s, Prev cls)
{
    s.prev = cls;
    s.midStatement = cls != Prev::Start;
    s.wordLength = 0;
}

// The frame a '{' opens (the lexer's braceFrame), and why.
void openBrace(State &s)
{
    const bool afterArrow = lastIs(s, "=>");
    const bool afterColon = lastIs(s, ":");
    if (s.prev == Prev::Start) {
        push(s, ScriptFrame::Block, Opened::Statements);
    } else if (s.prev == Prev::Operator || s.prev == Prev::Restricted) {
        if (lastWordIn(s, kBlockWords)) {
            push(s, ScriptFrame::Block, Opened::Statements);
        } else {
            // An object literal, pattern or type, unless an arrow's body or a
            // labelled or case block, which the lexer files here too.
            const Frame *f = topFrame(s);
            bool inList = f && (f->kind == ScriptFrame::Paren || f->kind == ScriptFrame::Bracket ||
                                f->kind == ScriptFrame::TypeBody ||
                                ((f->kind == ScriptFrame::Object || f->kind == ScriptFrame::Block) &&
                                 f->opened == Opened::List));
            bool list = !afterArrow && !(afterColon && !inList && !s.branchColon && !s.annotation);
            push(s, ScriptFrame::Object, list ? Opened::List : afterArrow ? Opened::Body : Opened::Other);
        }
    } else if (s.pending && s.pendingDepth == s.depth) {
        s.pending = false;
        // An enum is no expression: "const enum E {" opens a body of members all the same (which the
        // lexer files as an expression's).
        if (s.pendingType)
            push(s, ScriptFrame::TypeBody, Opened::Statements);
        else if (s.pendingEnum)
            push(s, s.pendingExpr ? ScriptFrame::Object : ScriptFrame::Block, Opened::List);
        else if (s.pendingExpr)
            push(s, ScriptFrame::Object, Opened::Body);
        else
            push(s, ScriptFrame::Block, s.pendingClass ? Opened::Class : Opened::Statements);
        if (s.pendingEnum && s.depth > 0 && s.frames[s.depth - 1].opened == Opened::List)
            s.frames[s.depth - 1].enumBody = true;
    } else {
        bool list = lastWordIn(s, " import export type let const var ");
        bool method = lastIs(s, ")") || lastWordIn(s, kBlockWords);
        push(s, ScriptFrame::Block, list ? Opened::List : method ? Opened::Statements : Opened::Other);
    }
    setPrev(s, top(s) == ScriptFrame::Block ? Prev::Start : Prev::Operator);
}

// True when the '<' at i opens a JSX element as the lexer reads it, or may:
// where the lexer decides from blanks the tokens do not show, an element is
// assumed, which only stops rewrites.
bool opensJsx(RewriteWindow &w, const State &s, std::uint64_t i)
{
    if (!hasJsx(w.language) || s.prev == Prev::Operand)
        return false;
    if (i + 1 >= windowEnd(w))
        return true;
    const WindowToken &lt = windowAt(w, i);
    const WindowToken &n1 = windowAt(w, i + 1);
    auto adjacent = [](const WindowToken &a, std::size_t length, const WindowToken &b) {
        return b.place.line == a.place.line && b.place.column == a.place.column + static_cast<std::int64_t>(length);
    };
    Key name = keyAt(w, i + 1);
    if (n1.kind != TokenKind::Code || !adjacent(lt, 1, n1))
        return false;
    if (same(name.p, name.n, ">"))
        return true;
    if (!isNameStart(name.p, name.n))
        return false;
    if (w.language != Language::Tsx)
        return true;
    // TSX: type parameters "<T," "<T=" and "<T>(" where nothing stands between the tokens.
    if (i + 2 >= windowEnd(w) || name.n > 50 || std::memchr(name.p, '\\', name.n))
        return true;
    const WindowToken &n2 = windowAt(w, i + 2);
    Key after = keyAt(w, i + 2);
    if (!adjacent(n1, name.n, n2) || n2.kind != TokenKind::Code)
        return true;
    if (same(after.p, after.n, ",") || (after.n > 0 && after.p[0] == '='))
        return false;
    if (same(after.p, after.n, ">") && i + 3 < windowEnd(w)) {
        const WindowToken &n3 = windowAt(w, i + 3);
        Key paren = keyAt(w, i + 3);
        if (adjacent(n2, 1, n3) && same(paren.p, paren.n, "("))
            return false;
    }
    return true;
}

// Where the token k leaves a decorator (the lexer's decoratorAfter); a
// literal in canonical form is none of its tokens.
ScriptDecorator decoratorAfter(State &s, Key k, bool literal)
{
    if (literal)
        return s.decorator == ScriptDecorator::Args ? ScriptDecorator::Args : ScriptDecorator::None;
    switch (s.decorator) {
    case ScriptDecorator::Args:
        return same(k.p, k.n, ")") && s.depth == s.decoratorDepth ? ScriptDecorator::Done : ScriptDecorator::Args;
    case ScriptDecorator::At: case ScriptDecorator::Dot:
        if (isNameStart(k.p, k.n))
            return ScriptDecorator::Name;
        break;
    case ScriptDecorator::Name:
        if (same(k.p, k.n, "."))
            return ScriptDecorator::Dot;
        break;
    default: break;
    }
    if (same(k.p, k.n, "(") && (s.decorator == ScriptDecorator::At || s.decorator == ScriptDecorator::Name)) {
        s.decoratorDepth = s.depth + 1;
        return ScriptDecorator::Args;
    }
    return same(k.p, k.n, "@") ? ScriptDecorator::At : ScriptDecorator::None;
}

// Follows "new" and its callee: a name, then members ('.' and a name, or a
// computed member, whose brackets are skipped) up to anything else.
void trackNew(State &s, Key k, bool value)
{
    const bool code = !value;
    if (s.callee == NewCallee::Group) {
        if (code && same(k.p, k.n, ")") && s.depth == s.calleeDepth + 1)
            s.callee = NewCallee::Member;
        return;
    }
    if (s.callee != NewCallee::None && s.depth > s.calleeDepth)
        return;  // inside a computed member's brackets
    switch (s.callee) {
    case NewCallee::None:
        break;
    case NewCallee::New:
        s.callee = code && ((isNameStart(k.p, k.n) && !scriptWordIn(kReservedWords, k.p, k.n) &&
                             !std::memchr(k.p, '\\', k.n)) ||
                            same(k.p, k.n, "this"))
                       ? NewCallee::Member
                   : code && same(k.p, k.n, "(") ? NewCallee::Group
                                                 : NewCallee::None;
        return;
    case NewCallee::Member:
        s.callee = code && same(k.p, k.n, ".")   ? NewCallee::Dot
                   : code && same(k.p, k.n, "[") ? NewCallee::Member
                                                 : NewCallee::None;
        return;
    case NewCallee::Group:
        return;
    case NewCallee::Dot:
        s.callee = code && (isNameStart(k.p, k.n) || (k.n > 1 && k.p[0] == '#')) ? NewCallee::Member
                                                                                 : NewCallee::None;
        return;
    }
    if (code && same(k.p, k.n, "new") && !lastIs(s, ".") && !lastIs(s, "?.")) {
        s.callee = NewCallee::New;
        s.calleeDepth = s.depth;
    }
}

// Follows the token at i as the lexer read it: its frames and the class of
// what it leaves expected.
void track(RewriteWindow &w, State &s, std::uint64_t i)
{
    const Key k = keyAt(w, i);
    const ScriptFrame f = top(s);
    if (f != ScriptFrame::JsxTag && f != ScriptFrame::JsxClosing && f != ScriptFrame::JsxChildren)
        trackNew(s, k, windowAt(w, i).kind == TokenKind::Value);
    const bool declaredName = lastWordIn(s, " let const var ") && isNameStart(k.p, k.n) &&
                              windowAt(w, i).kind == TokenKind::Code;
    // What follows a decorator at a statement's start starts it. (JSX text
    // is no token the lexer reads for one.)
    const ScriptDecorator decorator = s.decorator;
    if (f != ScriptFrame::JsxChildren)
        s.decorator = decoratorAfter(s, k, windowAt(w, i).kind == TokenKind::Value);
    if ((decorator == ScriptDecorator::Name || decorator == ScriptDecorator::Done) &&
        (s.decorator == ScriptDecorator::None || s.decorator == ScriptDecorator::At) && s.decoratorStart)
        s.midStatement = false;
    if (s.decorator == ScriptDecorator::At)
        s.decoratorStart = !s.midStatement;
    const Prev before = s.prev;
    const bool startBefore = !s.midStatement;
    const bool tagStart = s.tagStart;
    s.tagStart = false;
    const bool stringBefore = s.lastString;
    const ScriptList listBefore = s.listNext;
    bool closes = false;
    if (f == ScriptFrame::JsxChildren) {
        if (same(k.p, k.n, "<")) {
            push(s, ScriptFrame::JsxTag, Opened::Other);
            s.selfClosing = false;
            setPrev(s, Prev::Operator);
            s.tagStart = true;
        } else if (same(k.p, k.n, "{")) {
            push(s, ScriptFrame::JsxBrace, Opened::Other);
            setPrev(s, Prev::Operator);
        }
    } else if (f == ScriptFrame::JsxTag || f == ScriptFrame::JsxClosing) {
        if (same(k.p, k.n, "{")) {
            push(s, ScriptFrame::JsxBrace, Opened::Other);
            setPrev(s, Prev::Operator);
        } else if (same(k.p, k.n, "<")) {
            push(s, ScriptFrame::JsxTag, Opened::Other);
            s.selfClosing = false;
            setPrev(s, Prev::Operator);
            s.tagStart = true;
        } else if (same(k.p, k.n, "/")) {
            if (tagStart && f == ScriptFrame::JsxTag) {
                --s.depth;
                popIf(s, ScriptFrame::JsxChildren, ScriptFrame::JsxChildren);
                push(s, ScriptFrame::JsxClosing, Opened::Other);
            } else {
                s.selfClosing = true;
            }
            setPrev(s, Prev::Operator);
        } else if (same(k.p, k.n, ">")) {
            if (f == ScriptFrame::JsxClosing || s.selfClosing) {
                --s.depth;
                s.selfClosing = false;
            } else {
                s.frames[s.depth - 1].kind = ScriptFrame::JsxChildren;
            }
            setPrev(s, Prev::Operand);
        } else {
            setPrev(s, isNameStart(k.p, k.n) || isString(k) ? Prev::Operand : Prev::Operator);
        }
    } else if (k.n > 0 && k.p[0] == '}' && f == ScriptFrame::Hole) {
        --s.depth;
        if (opensHole(k))
            push(s, ScriptFrame::Hole, Opened::Other);
        setPrev(s, opensHole(k) ? Prev::Operator : Prev::Operand);
    } else if (isTemplate(k)) {
        if (opensHole(k))
            push(s, ScriptFrame::Hole, Opened::Other);
        setPrev(s, opensHole(k) ? Prev::Operator : Prev::Operand);
    } else if (isString(k) || isNumber(k)) {
        setPrev(s, Prev::Operand);
    } else if (k.p[0] == '/' && s.prev != Prev::Operand) {
        setPrev(s, Prev::Operand);  // a regular expression
    } else if (k.p[0] == '#' || isNameStart(k.p, k.n)) {
        trackName(s, w.language, k);
    } else if (same(k.p, k.n, "(")) {
        // After a TypeScript '>' a call's or a signature's when it closes type
        // arguments or parameters, else an arrow's parameters or a group.
        Opened opened = lastIs(s, ">") ? (s.closedAngle ? Opened::Call : Opened::Group)
                        : s.prev == Prev::Operand && !same(s.word, s.wordLength, "void")       ? Opened::Call
                        : same(s.word, s.wordLength, "function") || lastIs(s, "?.")           ? Opened::Call
                        : s.prev == Prev::Operator || s.prev == Prev::Restricted              ? Opened::Group
                                                                                              : Opened::Other;
        const std::size_t depth = s.depth;
        push(s, lastWordIn(s, kControlWords) ? ScriptFrame::ControlParen : ScriptFrame::Paren, opened);
        if (s.depth > depth)
            parenFacts(w, i, s.frames[depth].call, s.frames[depth].group);
        setPrev(s, Prev::Operator);
    } else if (same(k.p, k.n, ")")) {
        bool control = f == ScriptFrame::ControlParen;
        popIf(s, ScriptFrame::Paren, ScriptFrame::ControlParen);
        setPrev(s, control ? Prev::Start : Prev::Operand);
    } else if (same(k.p, k.n, "[")) {
        // Not an index, nor a computed key (after a class member's words, "*" or an object's '{' or ',').
        bool item = s.prev != Prev::Operand && s.prev != Prev::Start && !lastIs(s, "*") &&
                    (s.prev != Prev::Head || lastWordIn(s, " let const var ")) &&
                    !((f == ScriptFrame::Object || f == ScriptFrame::TypeBody || f == ScriptFrame::Block) &&
                      (lastIs(s, "{") || lastIs(s, ",") || lastIs(s, ";")) && angles(s) == 0);
        push(s, ScriptFrame::Bracket, item ? Opened::Array : Opened::Other);
        setPrev(s, Prev::Operator);
    } else if (same(k.p, k.n, "]")) {
        popIf(s, ScriptFrame::Bracket, ScriptFrame::Bracket);
        setPrev(s, Prev::Operand);
    } else if (same(k.p, k.n, "{")) {
        openBrace(s);
    } else if (same(k.p, k.n, "}")) {
        Frame *open = topFrame(s);
        if (f == ScriptFrame::JsxBrace) {
            --s.depth;
            setPrev(s, Prev::Operand);
        } else {
            const bool list = open && f == ScriptFrame::Block && open->module;
            // An enum's body ends its declaration as a class's does.
            closes = open && (f == ScriptFrame::TypeBody ||
                              (f == ScriptFrame::Block && open->opened != Opened::Other &&
                               (open->opened != Opened::List || open->enumBody)));
            if (f == ScriptFrame::TypeBody)
                --s.depth;
            else
                popIf(s, ScriptFrame::Block, ScriptFrame::Object);
            setPrev(s, list ? Prev::Restricted : f == ScriptFrame::Object ? Prev::Operand : Prev::Start);
        }
    } else if (same(k.p, k.n, ";")) {
        if (s.pending && s.pendingDepth == s.depth)
            s.pending = false;
        setPrev(s, Prev::Start);
    } else if (same(k.p, k.n, "<") && opensJsx(w, s, i)) {
        push(s, ScriptFrame::JsxTag, Opened::Other);
        s.selfClosing = false;
        setPrev(s, Prev::Operator);
        s.tagStart = true;
    } else {
        Prev cls = Prev::Operator;
        if ((same(k.p, k.n, "++") || same(k.p, k.n, "--")) && s.prev == Prev::Operand)
            cls = Prev::Operand;
        else if (same(k.p, k.n, ">") && w.language != Language::JavaScript)
            cls = Prev::Operand;
        else if (same(k.p, k.n, "!") && w.language != Language::JavaScript && s.prev == Prev::Operand &&
                 windowAt(w, i).place.line <= s.lastEndLine)
            cls = Prev::Operand;
        setPrev(s, cls);
    }
    // TypeScript: a '<' after a name opens type arguments or parameters, which
    // a '>' closes; an operator no type holds ends them (a comparison).
    bool closedAngle = false;
    if (w.language != Language::JavaScript && f != ScriptFrame::JsxTag && f != ScriptFrame::JsxClosing &&
        f != ScriptFrame::JsxChildren) {
        if (same(k.p, k.n, "<") && top(s) == f && before == Prev::Operand && s.lastName)
            ++angles(s);
        else if (same(k.p, k.n, ">") && angles(s) > 0) {
            --angles(s);
            closedAngle = true;
        }
        else if (scriptWordIn(" ; && || ?\?= ?? == != === !== + * / % <= >= += -= ", k.p, k.n))
            angles(s) = 0;
    }
    s.closedAngle = closedAngle;
    // TypeScript without JSX: a '<' where an operand stands opens a type
    // assertion ("<T>a") or a generic arrow function's type parameters; a '>'
    // at its depth with no type arguments open inside closes it. One inside
    // another, or one whose frame closed first, is forgotten. At a member's
    // start in a type or an object ("{ <T>(a): T }", a call signature) none
    // opens.
    bool closedAssertion = false;
    if (w.language == Language::TypeScript) {
        const bool member = (f == ScriptFrame::TypeBody || f == ScriptFrame::Object) &&
                            (lastIs(s, "{") || lastIs(s, ";") || lastIs(s, ","));
        if (s.assertion && (s.depth < s.assertionDepth || same(k.p, k.n, ";"))) {
            s.assertion = false;
        } else if (same(k.p, k.n, "<") && before != Prev::Operand && !member) {
            s.assertion = !s.assertion;
            s.assertionDepth = s.depth;
            s.assertionAngles = angles(s);
        } else if (same(k.p, k.n, ">") && s.assertion && !closedAngle && s.depth == s.assertionDepth &&
                   angles(s) == s.assertionAngles) {
            s.assertion = false;
            closedAssertion = true;
        }
    }
    s.closedAssertion = closedAssertion;
    // The ':' that ends a conditional's branch, which an object literal may follow.
    bool branchColon = false;
    if (f != ScriptFrame::JsxTag && f != ScriptFrame::JsxClosing && f != ScriptFrame::JsxChildren &&
        windowAt(w, i).kind == TokenKind::Code) {
        std::uint16_t &open = s.depth > 0 ? s.frames[s.depth - 1].branches : s.outerBranches;
        if (same(k.p, k.n, "?")) {
            open = open < 0xFFFF ? open + 1 : open;
        } else if (same(k.p, k.n, ";")) {
            open = 0;
        } else if (same(k.p, k.n, ":") && open > 0) {
            --open;
            branchColon = true;
        }
    }
    s.branchColon = branchColon;
    // TypeScript: the ':' of a declared name's or a parameter's type.
    s.annotation = w.language != Language::JavaScript && same(k.p, k.n, ":") && !branchColon &&
                   windowAt(w, i).kind == TokenKind::Code && (s.declaredName || top(s) == ScriptFrame::Paren);
    s.declaredName = declaredName;
    // A declaration's list: from its word (at a statement's start or a for head's) to a ';' or its frame's end.
    if (windowAt(w, i).kind == TokenKind::Code && scriptWordIn(" let const var using ", k.p, k.n) &&
        (startBefore || (f == ScriptFrame::ControlParen && lastIs(s, "(")))) {
        s.declaring = true;
        s.declarationDepth = s.depth;
    } else if (s.declaring && (s.depth < s.declarationDepth || (s.depth == s.declarationDepth && same(k.p, k.n, ";")))) {
        s.declaring = false;
    }
    s.exportDefault = same(k.p, k.n, "default") && lastIs(s, "export") && startBefore;
    s.forOf = same(k.p, k.n, "of") && before == Prev::Operand && f == ScriptFrame::ControlParen &&
              windowAt(w, i).kind == TokenKind::Code;
    // TypeScript: "type Name" at a statement's start opens a type alias, which its ';' ends.
    const bool typeName = s.typeWord && isNameStart(k.p, k.n);
    s.typeWord = w.language != Language::JavaScript && same(k.p, k.n, "type") && startBefore;
    if (typeName) {
        s.typeAlias = true;
        s.typeDepth = s.depth;
    } else if (s.typeAlias && (s.depth < s.typeDepth || (s.depth == s.typeDepth && same(k.p, k.n, ";")))) {
        s.typeAlias = false;
    }
    // The item a frame reads starts with "..." (a rest element takes no trailing comma).
    if (Frame *open = topFrame(s)) {
        if (same(k.p, k.n, ","))
            open->spread = false;
        else if (same(k.p, k.n, "...") && (lastIs(s, ",") || lastIs(s, "(") || lastIs(s, "[") || lastIs(s, "{")))
            open->spread = true;
    }
    s.lastLength = k.n < kShortKey ? k.n : 0;
    std::memcpy(s.last, k.p, s.lastLength);
    s.lastEndLine = windowAt(w, i).end.line;
    s.lastCloses = closes;
    s.lastName = isNameStart(k.p, k.n) && f != ScriptFrame::JsxTag && f != ScriptFrame::JsxClosing &&
                 f != ScriptFrame::JsxChildren;
    // What a '{' next opens, as the lexer tells: a list after import or
    // export at a statement's start (and "type" after one), attributes after
    // "with" or "assert" right after a string.
    const bool script = f != ScriptFrame::JsxTag && f != ScriptFrame::JsxClosing && f != ScriptFrame::JsxChildren;
    s.listNext = !script ? ScriptList::None
                 : (startBefore && scriptWordIn(" import export ", k.p, k.n)) ||
                           (listBefore == ScriptList::Names && same(k.p, k.n, "type"))
                     ? ScriptList::Names
                 : stringBefore && scriptWordIn(" with assert ", k.p, k.n) ? ScriptList::Attributes
                                                                           : ScriptList::None;
    s.lastString = script && (isString(k) || (windowAt(w, i).kind == TokenKind::Value && k.p[0] == 'S'));
    s.seen = true;
}

// Notes the token at i, not taken out, as the last kept one.
void keep(RewriteWindow &w, State &s, std::uint64_t i, Prev before)
{
    Key k = keyAt(w, i);
    s.keptAny = true;
    s.keptLength = k.n < kShortKey ? k.n : 0;
    std::memcpy(s.kept, k.p, s.keptLength);
    s.keptOperand = s.prev == Prev::Operand;
    s.keptStart = s.prev == Prev::Start;
    s.keptLine = windowAt(w, i).place.line;
    s.keptPrefix = before != Prev::Operand && k.n <= 2 &&
                   (same(k.p, k.n, "+") || same(k.p, k.n, "-") || same(k.p, k.n, "!") || same(k.p, k.n, "~") ||
                    same(k.p, k.n, "++") || same(k.p, k.n, "--"));
    if (scriptWordIn(" typeof delete ", k.p, k.n) || (w.language == Language::JavaScript && same(k.p, k.n, "void")))
        s.keptPrefix = true;
}

// --- Quotes --------------------------------------------------------------

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Bytes of the UTF-8 character at p (at most n bytes) and its code point;
// 0 when it is not a well-formed one (surrogates and overlong forms too).
std::size_t utf8Char(const unsigned char *p, std::size_t n, std::uint32_t &cp)
{
    std::size_t len = p[0] < 0x80 ? 1 : (p[0] & 0xE0) == 0xC0 ? 2 : (p[0] & 0xF0) == 0xE0 ? 3 : (p[0] & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || len > n)
        return 0;
    cp = len == 1 ? p[0] : len == 2 ? p[0] & 0x1F : len == 3 ? p[0] & 0x0F : p[0] & 0x07;
    for (std::size_t j = 1; j < len; ++j) {
        if ((p[j] & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (p[j] & 0x3F);
    }
    static const std::uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// A string's value as UTF-16 code units, written out as WTF-8: a surrogate
// pair as its code point, a lone surrogate as three bytes of its own.
struct Units {
    char *out;
    std::size_t n = 0;
    std::uint32_t high = 0;  // a high surrogate waiting for its low one

    void put(std::uint32_t cp)
    {
        if (cp < 0x80) {
            out[n++] = static_cast<char>(cp);
        } else if (cp < 0x800) {
            out[n++] = static_cast<char>(0xC0 | cp >> 6);
            out[n++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out[n++] = static_cast<char>(0xE0 | cp >> 12);
            out[n++] = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out[n++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out[n++] = static_cast<char>(0xF0 | cp >> 18);
            out[n++] = static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out[n++] = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out[n++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    void flush()
    {
        if (high)
            put(high);
        high = 0;
    }
    // One code point, or one code unit when it is a surrogate.
    void unit(std::uint32_t u)
    {
        if (u >= 0xDC00 && u <= 0xDFFF && high) {
            put(0x10000 + ((high - 0xD800) << 10) + (u - 0xDC00));
            high = 0;
            return;
        }
        flush();
        if (u >= 0xD800 && u <= 0xDBFF)
            high = u;
        else
            put(u);
    }
};

// Writes "S" and the value of the string literal k to out (kValueBytes);
// false when k is not a well-formed literal the rules read (unterminated, a
// legacy octal escape, a malformed escape, bytes that are no UTF-8).
bool stringValue(Key k, char *out, std::size_t &length)
{
    if (k.n < 2 || k.p[k.n - 1] != k.p[0] || k.n + 8 > kValueBytes)
        return false;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(k.p);
    Units u{out + 1};
    out[0] = 'S';
    std::size_t i = 1;
    const std::size_t end = k.n - 1;
    while (i < end) {
        std::uint32_t cp = 0;
        if (p[i] == '\n' || p[i] == '\r' || p[i] == k.p[0])
            return false;
        if (p[i] != '\\') {
            std::size_t len = utf8Char(p + i, end - i, cp);
            if (len == 0)
                return false;
            u.unit(cp);
            i += len;
            continue;
        }
        if (++i >= end)
            return false;
        const char c = static_cast<char>(p[i]);
        if (c == '\n') {
            ++i;  // a line continuation: nothing
            continue;
        }
        if (c == '\r') {
            i += i + 1 < end && p[i + 1] == '\n' ? 2 : 1;
            continue;
        }
        if (c >= '1' && c <= '9')
            return false;
        if (c == '0') {
            if (i + 1 < end && isDigit(static_cast<char>(p[i + 1])))
                return false;
            u.unit(0);
            ++i;
            continue;
        }
        if (c == 'x') {
            int hi = i + 2 < end ? hexValue(static_cast<char>(p[i + 1])) : -1;
            int lo = hi >= 0 ? hexValue(static_cast<char>(p[i + 2])) : -1;
            if (lo < 0)
                return false;
            u.unit(static_cast<std::uint32_t>(hi * 16 + lo));
            i += 3;
            continue;
        }
        if (c == 'u') {
            std::uint32_t v = 0;
            if (i + 1 < end && p[i + 1] == '{') {
                std::size_t j = i + 2, digits = 0;
                while (j < end && hexValue(static_cast<char>(p[j])) >= 0 && v <= 0x10FFFF) {
                    v = v * 16 + static_cast<std::uint32_t>(hexValue(static_cast<char>(p[j++])));
                    ++digits;
                }
                if (digits == 0 || j >= end || p[j] != '}' || v > 0x10FFFF)
                    return false;
                i = j + 1;
                if (v >= 0x10000) {
                    u.flush();
                    u.put(v);
                } else {
                    u.unit(v);
                }
                continue;
            }
            for (std::size_t j = 1; j <= 4; ++j) {
                int d = i + j < end ? hexValue(static_cast<char>(p[i + j])) : -1;
                if (d < 0)
                    return false;
                v = v * 16 + static_cast<std::uint32_t>(d);
            }
            u.unit(v);
            i += 5;
            continue;
        }
        static const char kSimple[] = "b\bf\fn\nr\rt\tv\v";
        const char *simple = std::strchr(kSimple, c);
        if (c != 0 && simple && (simple - kSimple) % 2 == 0) {
            u.unit(static_cast<unsigned char>(simple[1]));
            ++i;
            continue;
        }
        // Any other character stands for itself; U+2028 and U+2029 after a backslash continue the line.
        std::size_t len = utf8Char(p + i, end - i, cp);
        if (len == 0)
            return false;
        if (cp != 0x2028 && cp != 0x2029)
            u.unit(cp);
        i += len;
    }
    u.flush();
    length = u.n + 1;
    return true;
}

// A regular expression literal (the lexer's token, "/a/ig") as "R", its
// pattern as written and its flags in order: a flag stands at most once and
// what it means does not depend on where, so "/a/ig" is "/a/gi". False for
// a flag outside 'A' to 'z' or a flag twice (either an error).
bool regexValue(Key k, char *out, std::size_t &length)
{
    std::size_t close = k.n;
    while (close > 1 && k.p[close - 1] != '/')
        --close;
    if (close <= 1 || k.n + 1 > kValueBytes)
        return false;
    out[0] = 'R';
    std::memcpy(out + 1, k.p, close);
    std::size_t n = close + 1;
    for (char c = 'A'; c <= 'z'; ++c) {
        std::size_t count = 0;
        for (std::size_t j = close; j < k.n; ++j)
            count += k.p[j] == c;
        if (count > 1)
            return false;
        if (count == 1)
            out[n++] = c;
    }
    if (n != k.n + 1)
        return false;  // a flag that is no letter
    length = n;
    return true;
}

// --- Numbers -------------------------------------------------------------

// Appends the decimal digits of v to out at n.
void putDecimal(std::uint64_t v, char *out, std::size_t &n)
{
    char digits[24];
    std::size_t d = 0;
    do {
        digits[d++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    while (d)
        out[n++] = digits[--d];
}

// Writes "D" + the exact decimal value (significant digits and a power of
// ten) of an integer of digits digits[0..n) (no separators) times 10^exp.
void putExact(const char *digits, std::size_t n, long long exp, char *out, std::size_t &m)
{
    out[0] = 'D';
    m = 1;
    const std::size_t a = trimZeros(digits, n, exp);
    if (a == n) {
        out[m++] = '0';
        return;
    }
    std::memcpy(out + m, digits + a, n - a);
    m += n - a;
    out[m++] = 'e';
    if (exp < 0) {
        out[m++] = '-';
        exp = -exp;
    }
    putDecimal(static_cast<std::uint64_t>(exp), out, m);
}

// Copies the digits of a run at k[i..) to digits (a '_' only between two
// digits of base); returns the number copied, i past the run.
std::size_t digitRun(Key k, std::size_t &i, int base, char *digits, std::size_t &count)
{
    std::size_t start = count;
    while (i < k.n) {
        char c = k.p[i];
        int v = hexValue(c);
        if (v >= 0 && v < base && !(base == 10 && !isDigit(c))) {
            digits[count++] = c;
            ++i;
        } else if (c == '_' && count > start && i + 1 < k.n && hexValue(k.p[i + 1]) >= 0 &&
                   hexValue(k.p[i + 1]) < base && !(base == 10 && !isDigit(k.p[i + 1]))) {
            ++i;
        } else {
            break;
        }
    }
    return count - start;
}

// Writes the canonical form of the numeric literal k: "D" and its exact
// value for a Number, "B" and its decimal value for a BigInt; false when k
// is a legacy octal or "08"-like literal, malformed, or too large to read.
bool numberValue(Key k, char *out, std::size_t &m)
{
    if (k.n + 32 > kValueBytes)
        return false;
    char digits[kValueBytes];
    std::size_t count = 0, i = 0;
    if (k.n >= 2 && k.p[0] == '0' && std::strchr("xXoObB", k.p[1])) {
        int base = k.p[1] == 'x' || k.p[1] == 'X' ? 16 : k.p[1] == 'o' || k.p[1] == 'O' ? 8 : 2;
        i = 2;
        if (digitRun(k, i, base, digits, count) == 0)
            return false;
        bool big = i + 1 == k.n && k.p[i] == 'n';
        if (i + (big ? 1 : 0) != k.n)
            return false;
        std::uint64_t v = 0;
        for (std::size_t j = 0; j < count; ++j) {
            std::uint64_t d = static_cast<std::uint64_t>(hexValue(digits[j]));
            if (v > (~std::uint64_t{0} - d) / static_cast<std::uint64_t>(base))
                return false;
            v = v * static_cast<std::uint64_t>(base) + d;
        }
        if (big) {
            out[0] = 'B';
            m = 1;
            putDecimal(v, out, m);
            return true;
        }
        std::size_t n = 0;
        putDecimal(v, digits, n);
        putExact(digits, n, 0, out, m);
        return true;
    }
    if (k.p[0] == '0' && k.n > 1 && (isDigit(k.p[1]) || k.p[1] == '_'))
        return false;  // legacy octal, or a decimal with a leading zero: never equal to another spelling
    std::size_t whole = digitRun(k, i, 10, digits, count);
    std::size_t fraction = 0;
    bool dot = i < k.n && k.p[i] == '.';
    if (dot) {
        ++i;
        fraction = digitRun(k, i, 10, digits, count);
    }
    if (whole + fraction == 0)
        return false;
    long long exp = 0;
    bool exponent = i < k.n && (k.p[i] == 'e' || k.p[i] == 'E');
    if (exponent) {
        ++i;
        bool negative = i < k.n && k.p[i] == '-';
        i += i < k.n && (k.p[i] == '-' || k.p[i] == '+') ? 1 : 0;
        char e[kValueBytes];
        std::size_t en = 0;
        if (digitRun(k, i, 10, e, en) == 0)
            return false;
        std::size_t a = 0;
        while (a < en && e[a] == '0')
            ++a;
        if (en - a > 6)
            return false;
        for (std::size_t j = a; j < en; ++j)
            exp = exp * 10 + (e[j] - '0');
        exp = negative ? -exp : exp;
    }
    if (i + 1 == k.n && k.p[i] == 'n' && !dot && !exponent) {
        out[0] = 'B';
        m = 1;
        std::size_t a = 0;
        while (a + 1 < count && digits[a] == '0')
            ++a;
        std::memcpy(out + m, digits + a, count - a);
        m += count - a;
        return true;
    }
    if (i != k.n)
        return false;
    putExact(digits, count, exp - static_cast<long long>(fraction), out, m);
    return true;
}

// --- Parentheses ---------------------------------------------------------

// Binding of a binary operator, higher binds tighter; 0 when k is none
// the rules read ("<" and ">" in TypeScript are left out). "**" alone
// binds to the right (kPowerLevel); "in" is read only where no for head is
// open (Inside::hasIn).
constexpr int kPowerLevel = 11;  // "**", whose left operand is no prefix operator's

int binaryLevel(Language language, Key k)
{
    static const struct {
        const char *op;
        int level;
    } kLevels[] = {
        {"??", 1}, {"||", 1}, {"&&", 2}, {"|", 3}, {"^", 4}, {"&", 5}, {"==", 6}, {"!=", 6}, {"===", 6},
        {"!==", 6}, {"<", 7}, {">", 7}, {"<=", 7}, {">=", 7}, {"instanceof", 7}, {"<<", 8}, {"+", 9},
        {"-", 9}, {"*", 10}, {"/", 10}, {"%", 10}, {"in", 7}, {"**", kPowerLevel},
    };
    if (language != Language::JavaScript && (same(k.p, k.n, "<") || same(k.p, k.n, ">")))
        return 0;
    for (const auto &l : kLevels)
        if (same(k.p, k.n, l.op))
            return l.level;
    return 0;
}

bool isLogical(Key k)
{
    return same(k.p, k.n, "||") || same(k.p, k.n, "&&");
}

// What the expression inside a pair of parentheses is, read at its top level.
struct Inside {
    bool ok = false;        // it is one the rules read
    bool primary = true;    // a primary expression with members, calls and tags only
    bool binary = false;    // it has a binary operator
    int level = 99;         // the loosest binary operator's binding
    bool coalesce = false;  // it has "??"
    bool logical = false;   // it has "||" or "&&"
    bool assigns = false;   // it is an assignment or a conditional
    bool sequence = false;  // it is a sequence: expressions joined by ','
    bool declares = false;  // it starts with what would start a declaration or a directive at a statement's start
    bool hasIn = false;     // it has "in" at its top level, which a for head's initializer reads otherwise
    bool cast = false;      // TypeScript: it has "as" or "satisfies" and a type at its top level
};


const char kAssignments[] = " = += -= *= /= %= <<= >>= >>>= &= |= ^= &&= ||= ?\?= ";

// The index of the bracket closing the one at open, inside [open, limit),
// counting "(", "[" and "{"; limit when there is none. In a language with JSX
// it gives limit too at a '<' after anything but a plain operand, which might
// open an element whose text holds brackets.
std::uint64_t closeWithin(RewriteWindow &w, std::uint64_t open, std::uint64_t limit)
{
    int depth = 0;
    for (std::uint64_t j = open; j < limit; ++j) {
        Key k = keyAt(w, j);
        if (k.n != 1)
            continue;
        if (k.p[0] == '(' || k.p[0] == '[' || k.p[0] == '{') {
            ++depth;
        } else if (k.p[0] == ')' || k.p[0] == ']' || k.p[0] == '}') {
            if (--depth == 0)
                return j;
        } else if (k.p[0] == '<' && hasJsx(w.language)) {
            Key b = keyAt(w, j - 1);
            bool operand = isNumber(b) || isString(b) || same(b.p, b.n, ")") || same(b.p, b.n, "]") ||
                           (isNameStart(b.p, b.n) && !scriptWordIn(kReservedWords, b.p, b.n));
            if (!operand)
                return limit;
        }
    }
    return limit;
}

bool plainName(Key k)
{
    return isNameStart(k.p, k.n) && !scriptWordIn(kReservedWords, k.p, k.n) && !std::memchr(k.p, '\\', k.n);
}

// An arrow function that fills (open, close): "x =>", "async x =>", "(...) =>"
// or "async (...) =>" and a body with no ',' outside brackets (which would
// make a sequence of it) and no "in" (which a for head's initializer reads
// otherwise). It stands where an assignment does.
bool arrowFills(RewriteWindow &w, std::uint64_t open, std::uint64_t close)
{
    std::uint64_t a = open + 1;
    if (a + 1 < close && tokenIs(w, a, "async") && !tokenIs(w, a + 1, "=>"))
        ++a;
    std::uint64_t arrow = close;
    if (a < close && plainName(keyAt(w, a)))
        arrow = a + 1;
    else if (a < close && tokenIs(w, a, "("))
        arrow = closeWithin(w, a, close) + 1;
    if (arrow + 1 >= close || !tokenIs(w, arrow, "=>"))
        return false;
    for (std::uint64_t j = arrow + 1; j < close; ++j) {
        Key k = keyAt(w, j);
        if (same(k.p, k.n, ",") || same(k.p, k.n, "in") || (isTemplate(k) && opensHole(k)) ||
            (same(k.p, k.n, "<") && hasJsx(w.language)))
            return false;
        if (same(k.p, k.n, "(") || same(k.p, k.n, "[") || same(k.p, k.n, "{")) {
            std::uint64_t c = closeWithin(w, j, close);
            if (c >= close)
                return false;
            j = c;
        }
    }
    return true;
}

// Whether tokens a and b start on one line: no line break stands between them.
bool sameLine(RewriteWindow &w, std::uint64_t a, std::uint64_t b)
{
    return windowAt(w, a).place.line == windowAt(w, b).place.line;
}

// TypeScript: the type after "as" or "satisfies" that starts at from,
// inside a group closing at close. Returns where it ends: close, or the
// next "as" or "satisfies" after it; 0 when it is none the rules read. Its
// tokens are names and literals joined by '.', '|', '&' and "=>", with
// brackets and type arguments: none an expression's operator could take
// from it, and none that could go on past close ("in", a conditional's '?',
// "extends", ...). In TSX a '<' might open an element: none.
std::uint64_t castTypeEnd(RewriteWindow &w, std::uint64_t from, std::uint64_t close)
{
    int angles = 0;
    std::uint64_t j = from;
    for (; j < close; ++j) {
        Key k = keyAt(w, j);
        if (k.n == 0)
            return 0;
        if (angles == 0 && j > from && (same(k.p, k.n, "as") || same(k.p, k.n, "satisfies")))
            break;
        if (same(k.p, k.n, "(") || same(k.p, k.n, "[") || same(k.p, k.n, "{")) {
            j = closeWithin(w, j, close);
            if (j >= close)
                return 0;
        } else if (same(k.p, k.n, "<")) {
            if (hasJsx(w.language))
                return 0;
            ++angles;
        } else if (same(k.p, k.n, ">")) {
            if (angles-- == 0)
                return 0;
        } else if (angles == 0 && !scriptWordIn(" . | & => ", k.p, k.n) && !isString(k) && !isNumber(k) &&
                   !(isTemplate(k) && !opensHole(k)) &&
                   !(isNameStart(k.p, k.n) && !scriptWordIn(" in instanceof extends is asserts infer ", k.p, k.n))) {
            return 0;
        } else if (angles > 0 && (same(k.p, k.n, ")") || same(k.p, k.n, "]") || k.p[0] == '}' || opensHole(k))) {
            return 0;
        }
    }
    return j == from || angles != 0 ? 0 : j;
}

// Reads the tokens (open, close) as an expression: prefix operators,
// operands with their members, calls and tagged templates, and binary
// operators between them. Anything else (a comma, '?', an assignment, an
// arrow, "new", a keyword, an optional chain, a JSX element) makes it one the
// rules do not read.
Inside readInside(RewriteWindow &w, std::uint64_t open, std::uint64_t close)
{
    Inside in;
    if (arrowFills(w, open, close)) {
        in.ok = in.assigns = true;
        in.primary = false;
        return in;
    }
    bool operand = false;  // an operand has been read: a binary operator or a postfix may follow
    bool target = true;    // what has been read since the start or the last assignment may be its target
    bool chain = false;    // it has an optional chain
    int branches = 0;      // '?' of conditionals whose ':' is still to come
    for (std::uint64_t j = open + 1; j < close; ++j) {
        Key k = keyAt(w, j);
        if (k.n == 0)
            return in;
        if (!operand) {
            if (same(k.p, k.n, "!") || same(k.p, k.n, "~") || same(k.p, k.n, "+") || same(k.p, k.n, "-") ||
                same(k.p, k.n, "++") || same(k.p, k.n, "--") || scriptWordIn(" typeof delete await ", k.p, k.n) ||
                (w.language == Language::JavaScript && same(k.p, k.n, "void"))) {
                // "await x" is the operator or an error: an await named so takes no operand after it.
                in.primary = false;
                target = false;
                continue;
            }
            // An object literal, but first, where it would open a block.
            if (same(k.p, k.n, "(") || same(k.p, k.n, "[") || (same(k.p, k.n, "{") && j > open + 1)) {
                std::uint64_t c = closeWithin(w, j, close);
                if (c >= close)
                    return in;
                j = c;
            } else if (same(k.p, k.n, "new")) {
                // "new", a name and its members, and arguments: as tight as a prefix operator's operand.
                std::uint64_t c = j + 1;
                if (c >= close || !plainName(keyAt(w, c)))
                    return in;
                for (++c; c + 1 < close && tokenIs(w, c, ".") && isNameStart(keyAt(w, c + 1).p, keyAt(w, c + 1).n);)
                    c += 2;
                // With arguments it is a member expression: "(new X()).y" is "new X().y".
                const bool arguments = c < close && tokenIs(w, c, "(");
                if (arguments) {
                    c = closeWithin(w, c, close);
                    if (c >= close)
                        return in;
                    ++c;
                }
                j = c - 1;
                in.primary = in.primary && arguments;
                target = false;
            } else if (same(k.p, k.n, "function")) {
                // A function expression: function [*] [name] (...) {...}
                std::uint64_t c = j + 1;
                c += c < close && tokenIs(w, c, "*") ? 1 : 0;
                Key name = c < close ? keyAt(w, c) : Key{"", 0};
                c += isNameStart(name.p, name.n) ? 1 : 0;
                if (c >= close || !tokenIs(w, c, "("))
                    return in;
                c = closeWithin(w, c, close) + 1;
                if (c >= close || !tokenIs(w, c, "{"))
                    return in;
                c = closeWithin(w, c, close);
                if (c >= close)
                    return in;
                j = c;
            } else if (isTemplate(k) && opensHole(k)) {
                std::uint64_t c = j;
                int holes = 1;
                while (holes > 0 && ++c < close) {
                    Key t = keyAt(w, c);
                    if (t.n > 1 && t.p[0] == '}')
                        holes += opensHole(t) ? 0 : -1;
                    else if (isTemplate(t) && opensHole(t))
                        ++holes;
                    else if (same(t.p, t.n, "<") && hasJsx(w.language))
                        return in;
                }
                if (c >= close)
                    return in;
                j = c;
            } else if (same(k.p, k.n, "super")) {
                // super only with a member or its arguments: "(super(a), b)", "(super.f() && g)".
                if (j + 1 >= close || !(tokenIs(w, j + 1, ".") || tokenIs(w, j + 1, "(") || tokenIs(w, j + 1, "[")))
                    return in;
            } else if (!(isString(k) || isNumber(k) || isTemplate(k) ||
                         (k.p[0] == '/' && !same(k.p, k.n, "/") && !same(k.p, k.n, "/=")) ||
                         scriptWordIn(kOperandWords, k.p, k.n) ||
                         variableName(w.language, k))) {
                return in;
            }
            operand = true;
            continue;
        }
        if (same(k.p, k.n, ".")) {
            Key name = j + 1 < close ? keyAt(w, j + 1) : Key{"", 0};
            if (!(isNameStart(name.p, name.n) || (name.n > 1 && name.p[0] == '#')))
                return in;
            ++j;
            continue;
        }
        if (same(k.p, k.n, "?.")) {
            // An optional chain: ?.name, ?.(...), ?.[...]; the parentheses around one end its short circuit.
            Key name = j + 1 < close ? keyAt(w, j + 1) : Key{"", 0};
            chain = true;
            if (isNameStart(name.p, name.n)) {
                ++j;
                continue;
            }
            if (!same(name.p, name.n, "(") && !same(name.p, name.n, "["))
                return in;
            std::uint64_t c = closeWithin(w, j + 1, close);
            if (c >= close)
                return in;
            j = c;
            continue;
        }
        if (same(k.p, k.n, "(") || same(k.p, k.n, "[")) {
            std::uint64_t c = closeWithin(w, j, close);
            if (c >= close)
                return in;
            j = c;
            continue;
        }
        if (isTemplate(k) && !opensHole(k))
            continue;
        if (same(k.p, k.n, "++") || same(k.p, k.n, "--")) {
            in.primary = false;
            target = false;
            continue;
        }
        // TypeScript's non-null assertion, on the line of what it follows: as tight as a member.
        if (w.language != Language::JavaScript && same(k.p, k.n, "!") && sameLine(w, j - 1, j))
            continue;
        if (same(k.p, k.n, ",") && branches == 0) {
            in.sequence = true;
            in.assigns = true;
            in.primary = false;
            operand = false;
            target = true;
            continue;
        }
        if (same(k.p, k.n, "?") || (same(k.p, k.n, ":") && branches > 0)) {
            // A conditional: its branches are whole expressions, assignments too.
            branches += k.p[0] == '?' ? 1 : -1;
            in.assigns = true;
            in.primary = false;
            operand = false;
            target = true;
            continue;
        }
        if (scriptWordIn(kAssignments, k.p, k.n)) {
            // a = b = c: each target a primary with its members, the first one opening the parentheses.
            if (!target || in.binary || chain)
                return in;
            in.assigns = true;
            in.primary = false;
            operand = false;
            target = true;
            continue;
        }
        if (w.language != Language::JavaScript && (same(k.p, k.n, "as") || same(k.p, k.n, "satisfies"))) {
            // "as" and "satisfies" bind as "<" does, and only on the line of what they follow.
            std::uint64_t e = sameLine(w, j - 1, j) ? castTypeEnd(w, j + 1, close) : 0;
            if (e == 0)
                return in;
            target = false;
            in.primary = false;
            in.binary = in.cast = true;
            in.level = in.level < 7 ? in.level : 7;
            j = e - 1;
            continue;
        }
        int level = binaryLevel(w.language, k);
        if (level == 0)
            return in;
        in.hasIn = in.hasIn || same(k.p, k.n, "in");
        target = false;
        in.primary = false;
        in.binary = true;
        in.level = level < in.level ? level : in.level;
        in.coalesce = in.coalesce || same(k.p, k.n, "??");
        in.logical = in.logical || isLogical(k);
        operand = false;
    }
    in.ok = operand && branches == 0 && !(in.coalesce && in.logical);
    Key first = keyAt(w, open + 1);
    in.declares = same(first.p, first.n, "function") || isString(first);
    in.primary = in.primary && !chain;
    return in;
}

// True when nothing around the current place might be a pattern (an arrow's
// or a function's parameters, a declaration's pattern, a for head), where
// parentheses inside are an error: the frames out to the nearest body are
// arrays, object literals and calls.
bool outsidePatterns(const State &s)
{
    for (std::size_t d = s.depth; d > 0; --d) {
        const Frame &f = s.frames[d - 1];
        if (f.pattern)
            return false;
        switch (f.kind) {
        case ScriptFrame::Block: case ScriptFrame::Hole: case ScriptFrame::JsxBrace: case ScriptFrame::TypeBody:
            return true;
        case ScriptFrame::Object:
            if (f.opened == Opened::Body)
                return true;
            break;
        case ScriptFrame::Bracket: case ScriptFrame::ControlParen:
            break;  // an array, or an assignment's pattern, where a name in parentheses is a target too
        case ScriptFrame::Paren: {
            if (f.dropped)
                break;
            if (f.opened == Opened::Call)
                return f.call;
            if (f.opened != Opened::Group || !f.group)
                return false;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

// Whether a ',' kept last stands where statements do (a block, a body, the
// top level): there it joins a sequence, "a = 1, (b = 2);".
// True when a ',' at the current depth separates a declaration's
// declarators, where "(b)" is no name to declare.
bool declarators(const State &s)
{
    return s.declaring && s.depth == s.declarationDepth;
}

bool sequenceComma(const State &s)
{
    const Frame *f = s.depth > 0 ? &s.frames[s.depth - 1] : nullptr;
    return !f || (f->kind == ScriptFrame::Block && f->opened == Opened::Statements) ||
           (f->kind == ScriptFrame::Object && f->opened == Opened::Body);
}

// Whether the kept token before the '(' at open lets the expression inside stand
// without them: 2 any expression, 1 only one without a binary operator (the
// operand of a prefix operator), 0 none the rules read; level is set to a
// binary operator's binding.
int leftRoom(RewriteWindow &w, const State &s, std::uint64_t open, int &level, bool &coalesce, bool &logical)
{
    level = 0;
    Key k{s.kept, s.keptLength};
    if (!s.keptAny || k.n == 0)
        return 0;
    if (s.keptPrefix)
        return 1;
    // "await (x)" on one line: the operator, or a call where "await x" would not parse.
    // TypeScript's "void (x)" on one line: the operator, or an error where "void" is a type.
    if ((same(k.p, k.n, "await") || (w.language != Language::JavaScript && same(k.p, k.n, "void"))) &&
        s.keptLine == windowAt(w, open).place.line)
        return 1;
    // A type assertion binds as a prefix operator: "<T>(a.b)" is "<T>a.b".
    if (s.closedAssertion && same(k.p, k.n, ">"))
        return 1;
    if (!s.keptOperand) {
        level = binaryLevel(w.language, k);
        if (level > 0) {
            coalesce = same(k.p, k.n, "??");
            logical = isLogical(k);
            return 2;
        }
    }
    const Frame *f = s.depth > 0 ? &s.frames[s.depth - 1] : nullptr;
    if (scriptWordIn(" = += -= *= /= %= <<= >>= >>>= &= |= ^= &&= ||= ?\?= => ? ... return throw ", k.p, k.n))
        return 2;
    if (s.forOf)
        return 2;  // "for (x of (a || b))": the head takes an assignment expression there
    if (same(k.p, k.n, ":") && (w.language == Language::JavaScript || (f && f->kind == ScriptFrame::Object)))
        return 2;
    if ((isTemplate(k) || k.p[0] == '}') && opensHole(k))
        return 2;
    // Inside a call's arguments, a condition's parentheses, an array.
    bool args = f && ((f->kind == ScriptFrame::Paren &&
                       (f->opened == Opened::Call || f->opened == Opened::Group || f->dropped)) ||
                      f->kind == ScriptFrame::ControlParen);
    bool array = f && f->kind == ScriptFrame::Bracket && f->opened == Opened::Array;
    if ((same(k.p, k.n, "(") && args) ||
        (same(k.p, k.n, ",") && !declarators(s) && (args || array || sequenceComma(s))) ||
        (same(k.p, k.n, "[") && f && f->kind == ScriptFrame::Bracket))
        return 2;
    return 0;
}

// True when the tokens between the '(' at open and the ')' at close are one
// JSX element, as the lexer reads them (followed on a copy of the bookkeeping).
bool jsxElementFills(RewriteWindow &w, const State &s, std::uint64_t open, std::uint64_t close)
{
    if (!hasJsx(w.language) || !tokenIs(w, open + 1, "<") || close >= windowEnd(w))
        return false;
    thread_local State copy;  // large: kept out of the stack, one per thread (tree runs rewrite on several)
    copy = s;
    track(w, copy, open);
    const std::size_t depth = copy.depth;
    for (std::uint64_t j = open + 1; j < close; ++j) {
        track(w, copy, j);
        if (copy.lost || (j == open + 1 && top(copy) != ScriptFrame::JsxTag))
            return false;
        if (copy.depth == depth)
            return j + 1 == close;
    }
    return false;
}

// Whether a for head (or another control's parentheses) is open: there
// "in" inside parentheses may be what keeps it out of the head's grammar.
bool controlOpen(const State &s)
{
    for (std::size_t d = 0; d < s.depth; ++d)
        if (s.frames[d].kind == ScriptFrame::ControlParen)
            return true;
    return false;
}

// Whether the token at after ends the statement of "export default" or of
// a type alias whose last token is at last: a ';', the End, a block's '}',
// or a word on a later line that could not go on an expression or a type.
bool statementEnds(RewriteWindow &w, std::uint64_t last, std::uint64_t after)
{
    const WindowToken &r = windowAt(w, after);
    Key k = keyAt(w, after);
    return r.kind == TokenKind::End || same(k.p, k.n, ";") || same(k.p, k.n, "}") ||
           (r.kind == TokenKind::Code && r.place.line > windowAt(w, last).place.line &&
            scriptWordIn(" export import const let var function class interface type enum declare namespace ", k.p,
                         k.n));
}

// Takes out the parentheses at open (a group, its ')' at close) when the
// expression inside binds tighter than what stands on both sides of them.
void dropParens(RewriteWindow &w, State &s, std::uint64_t open)
{
    std::uint64_t end = windowEnd(w);
    // A JSX element is a primary expression: "return (<a/>)", "=> (<a/>)", "c ? (<a/>) : b".
    std::uint64_t element = matchingClose(w, open);
    if (element < end && tokenIs(w, element, ")") && jsxElementFills(w, s, open, element) &&
        outsidePatterns(s)) {
        std::uint64_t close = element;
        std::uint64_t after = nextKept(w, close);
        int level = 0;
        bool coalesce = false, logical = false;
        bool start = s.prev == Prev::Start || !s.keptAny || s.keptStart;
        if (after < end && !start && leftRoom(w, s, open, level, coalesce, logical) > 0) {
            dropToken(w, close, Rewrite::Parens, after);
            dropToken(w, open, Rewrite::Parens, open + 1);
        }
        return;
    }
    std::uint64_t close = closeWithin(w, open, end);
    if (close >= end || !outsidePatterns(s))
        return;
    std::uint64_t after = nextKept(w, close);
    if (after >= end)
        return;
    Inside in = readInside(w, open, close);
    if (!in.ok || (in.hasIn && controlOpen(s)))
        return;
    // At a statement's start: "(a, b);" is "a, b;", unless it would start a declaration or a directive.
    // (After a for head's ';' no statement starts.)
    if ((s.prev == Prev::Start || !s.keptAny || s.keptStart) && top(s) != ScriptFrame::ControlParen) {
        // A '}' the lexer takes for a block's may close an expression ("<T>{}(a)" is a call).
        if (lastIs(s, "}") && !s.lastCloses)
            return;
        // Only among statements: in an interface, a type or a class, "(a)" starts a call signature.
        std::size_t d = s.depth;
        while (d > 0 && s.frames[d - 1].dropped)
            --d;
        const Frame *f = d > 0 ? &s.frames[d - 1] : nullptr;
        if (f && !(f->kind == ScriptFrame::Block && f->opened == Opened::Statements) &&
            !(f->kind == ScriptFrame::Object && f->opened == Opened::Body))
            return;
        const WindowToken &r = windowAt(w, after);
        bool ends = r.kind == TokenKind::End || tokenIs(w, after, ";") || tokenIs(w, after, "}") ||
                    tokenIs(w, after, ",");
        bool member = in.primary && (tokenIs(w, after, ".") || tokenIs(w, after, "(") || tokenIs(w, after, "["));
        if (!in.declares && (ends || member)) {
            dropToken(w, close, Rewrite::Parens, after);
            dropToken(w, open, Rewrite::Parens, nextKept(w, open));
        }
        return;
    }
    int leftLevel = 0;
    bool leftCoalesce = false, leftLogical = false;
    int room = leftRoom(w, s, open, leftLevel, leftCoalesce, leftLogical);
    if (in.sequence) {
        // "return (a, b)", "${(a, b)}": places that take a sequence.
        Key l{s.kept, s.keptLength};
        const WindowToken &r = windowAt(w, after);
        bool ends = r.kind == TokenKind::End || tokenIs(w, after, ";") || tokenIs(w, after, "}");
        bool hole = (isTemplate(l) || (l.n > 0 && l.p[0] == '}')) && opensHole(l) && r.kind == TokenKind::Code &&
                    keyAt(w, after).n > 1 && keyAt(w, after).p[0] == '}';
        // A condition's or a for head's parts, "if ((a, b))", "for (; ; (i++, j++))", and an index, "a[(b, c)]".
        const Frame *f = s.depth > 0 ? &s.frames[s.depth - 1] : nullptr;
        bool head = f && f->kind == ScriptFrame::ControlParen && (same(l.p, l.n, "(") || same(l.p, l.n, ";")) &&
                    (tokenIs(w, after, ")") || tokenIs(w, after, ";"));
        bool index = f && f->kind == ScriptFrame::Bracket && f->index && same(l.p, l.n, "[") && tokenIs(w, after, "]");
        if ((scriptWordIn(" return throw ", l.p, l.n) && ends) || hole || head || index) {
            dropToken(w, close, Rewrite::Parens, after);
            dropToken(w, open, Rewrite::Parens, nextKept(w, open));
        }
        return;
    }
    if (s.exportDefault) {
        // "export default" takes an assignment expression that does not start a declaration.
        if (!in.declares && statementEnds(w, close, after)) {
            dropToken(w, close, Rewrite::Parens, after);
            dropToken(w, open, Rewrite::Parens, nextKept(w, open));
        }
        return;
    }
    if (room == 0 || (room == 1 && (in.binary || in.assigns)))
        return;
    if (in.assigns) {
        // An assignment stands alone only where any expression but a sequence
        // does, never in a pattern (where "[a = b]" gives a default).
        Key l{s.kept, s.keptLength};
        const Frame *f = s.depth > 0 ? &s.frames[s.depth - 1] : nullptr;
        bool args = f && (f->kind == ScriptFrame::Paren || f->kind == ScriptFrame::ControlParen);
        bool index = f && f->kind == ScriptFrame::Bracket && f->index && same(l.p, l.n, "[");
        // JavaScript: a conditional's second branch, "c ? a : (d ? e : f)", is one too.
        bool branch = s.branchColon && w.language == Language::JavaScript;
        bool left = leftLevel == 0 && (scriptWordIn(kAssignments, l.p, l.n) ||
                                       scriptWordIn(" return throw => ? ... ", l.p, l.n) ||
                                       (args && scriptWordIn(" ( , ", l.p, l.n) &&
                                        !(same(l.p, l.n, ",") && declarators(s))) ||
                                       index || branch || s.forOf ||
                                       (same(l.p, l.n, ",") && sequenceComma(s) && !declarators(s)));
        std::uint64_t after = nextKept(w, close);
        Key r = after < end ? keyAt(w, after) : Key{"", 0};
        bool right = after < end && (windowAt(w, after).kind == TokenKind::End || scriptWordIn(" ) ] , ; ", r.p, r.n) ||
                                     (r.n > 0 && r.p[0] == '}') ||
                                     (same(r.p, r.n, ":") && same(l.p, l.n, "?") && w.language == Language::JavaScript));
        if (left && right) {
            dropToken(w, close, Rewrite::Parens, after);
            dropToken(w, open, Rewrite::Parens, nextKept(w, open));
        }
        return;
    }
    if (leftLevel > 0 && (in.level < leftLevel || (in.level == leftLevel && leftLevel != kPowerLevel) ||
                          (leftCoalesce && in.logical) || (leftLogical && in.coalesce)))
        return;
    // The right side.
    const WindowToken &r = windowAt(w, after);
    Key k = keyAt(w, after);
    if (in.cast) {
        // After a type only what could not go on it: "(a as T) | b" is no "a as T | b".
        bool chain = (same(k.p, k.n, "as") || same(k.p, k.n, "satisfies")) && in.level == 7 &&
                     sameLine(w, close - 1, after);
        if (!(r.kind == TokenKind::End || chain ||
              (r.kind == TokenKind::Code &&
               (scriptWordIn(" ; ) ] , || && ?? == != === !== ", k.p, k.n) || (k.n > 0 && k.p[0] == '}')))))
            return;
    }
    if (r.kind == TokenKind::End || (in.cast && r.kind == TokenKind::Code && scriptWordIn(" as satisfies ", k.p, k.n))) {
    } else if (r.kind != TokenKind::Code || k.n == 0) {
        return;
    } else if (same(k.p, k.n, ";") || same(k.p, k.n, ")") || same(k.p, k.n, "]") || same(k.p, k.n, ",") ||
               k.p[0] == '}' || same(k.p, k.n, "?")) {
    } else if (same(k.p, k.n, ":")) {
        if (w.language != Language::JavaScript)
            return;
    } else if (same(k.p, k.n, ".") || same(k.p, k.n, "[") || same(k.p, k.n, "(") || same(k.p, k.n, "?.") ||
               isTemplate(k) ||
               (w.language != Language::JavaScript && same(k.p, k.n, "!") && sameLine(w, close, after))) {
        if (!in.primary)
            return;
    } else {
        int level = binaryLevel(w.language, k);
        if (level == 0 || in.level < level || (same(k.p, k.n, "??") && in.logical) || (isLogical(k) && in.coalesce) ||
            (level == kPowerLevel && !in.primary))
            return;
    }
    dropToken(w, close, Rewrite::Parens, after);
    dropToken(w, open, Rewrite::Parens, nextKept(w, open));
}

// TypeScript: takes out the parentheses at open around the whole type of a
// declared name or a parameter (after its ':') or of a type alias (after its
// '='), "let f: (() => T);": a type castTypeEnd reads, before what ends the
// type in either form. Not before "=>" (a function type's parameters).
bool dropTypeParens(RewriteWindow &w, const State &s, std::uint64_t open)
{
    const std::uint64_t end = windowEnd(w);
    const bool annotation = s.annotation && lastIs(s, ":");
    const bool alias = s.typeAlias && lastIs(s, "=") && s.depth == s.typeDepth;
    if (w.language == Language::JavaScript || !(annotation || alias))
        return false;
    const std::uint64_t close = closeWithin(w, open, end);
    if (close >= end || castTypeEnd(w, open + 1, close) != close)
        return false;
    const std::uint64_t after = nextKept(w, close);
    if (after >= end)
        return false;
    Key k = keyAt(w, after);
    bool ends = annotation ? windowAt(w, after).kind == TokenKind::Code && scriptWordIn(" ; , ) = ", k.p, k.n)
                           : statementEnds(w, close, after);
    if (!ends)
        return false;
    dropToken(w, close, Rewrite::Parens, after);
    dropToken(w, open, Rewrite::Parens, open + 1);
    return true;
}

// Takes out the parentheses around an arrow function's one parameter, a
// plain name: "(x) => y" is "x => y", "async (x) => y" is "async x => y",
// "(x,) => y" is "x => y".
bool dropArrowParens(RewriteWindow &w, const State &s, std::uint64_t open)
{
    std::uint64_t end = windowEnd(w);
    if (open + 3 >= end || (s.prev == Prev::Operand && !same(s.word, s.wordLength, "async")) || lastIs(s, ">"))
        return false;
    // TypeScript: "(a) => b" is a function type wherever a type may stand, and "a => b" is none.
    if (w.language != Language::JavaScript) {
        const Frame *f = s.depth > 0 ? &s.frames[s.depth - 1] : nullptr;
        bool expression = scriptWordIn(" return && || ?\?= ?? yield await ", s.last, s.lastLength) ||
                          (lastIs(s, "=") && !s.typeAlias && (f ? f->angles : s.outerAngles) == 0) ||
                          (scriptWordIn(" ( , ", s.last, s.lastLength) && f && f->kind == ScriptFrame::Paren &&
                           f->opened == Opened::Call);
        if (!expression)
            return false;
    }
    // "(x,) =>" too, its trailing comma taken out with them.
    Key name = keyAt(w, open + 1);
    const bool comma = (w.allow & rewriteBit(Rewrite::Commas)) && tokenIs(w, open + 2, ",");
    const std::uint64_t close = comma ? open + 3 : open + 2;
    if (!variableName(w.language, name) || close + 1 >= end || !tokenIs(w, close, ")") || !tokenIs(w, close + 1, "=>"))
        return false;
    dropToken(w, close, Rewrite::Parens, close + 1);
    if (comma)
        dropToken(w, open + 2, Rewrite::Commas, close + 1);
    dropToken(w, open, Rewrite::Parens, open + 1);
    return true;
}

// --- Braces --------------------------------------------------------------

// Takes out the braces at open around a body's one statement: an expression
// statement or a return, throw, break or continue, ending with its ';' just
// before the '}'. A statement that starts with a keyword (a declaration, a
// nested if whose else would change hands, a loop) keeps its braces.
void dropBraces(RewriteWindow &w, std::uint64_t open)
{
    std::uint64_t end = windowEnd(w);
    std::uint64_t close = closeWithin(w, open, end);
    if (close >= end || close < open + 3)
        return;
    // Empty statements before it go as well, with semicolons allowed ("else { ;(a)() }").
    std::uint64_t body = open + 1;
    while (body < close && tokenIs(w, body, ";") && (w.allow & rewriteBit(Rewrite::Semicolons)))
        ++body;
    if (close < body + 2)
        return;
    Key first = keyAt(w, body);
    bool jump = scriptWordIn(" return throw break continue ", first.p, first.n);
    if (!jump && !(isNameStart(first.p, first.n) && !scriptWordIn(kReservedWords, first.p, first.n) &&
                   !std::memchr(first.p, '\\', first.n)) &&
        !isNumber(first) && !same(first.p, first.n, "(") && !same(first.p, first.n, "[") &&
        !same(first.p, first.n, "!") && !same(first.p, first.n, "-") && !same(first.p, first.n, "+") &&
        !same(first.p, first.n, "++") && !same(first.p, first.n, "--") &&
        !scriptWordIn(" this await ", first.p, first.n))
        return;
    Key second = keyAt(w, body + 1);
    if (same(second.p, second.n, ":") || !same(keyAt(w, close - 1).p, keyAt(w, close - 1).n, ";"))
        return;
    // One statement: no ';' at its top level but the last.
    for (std::uint64_t j = body; j < close - 1; ++j) {
        Key k = keyAt(w, j);
        if (same(k.p, k.n, ";"))
            return;
        if (same(k.p, k.n, "(") || same(k.p, k.n, "[") || same(k.p, k.n, "{")) {
            std::uint64_t c = closeWithin(w, j, close);
            if (c >= close)
                return;
            j = c;
        } else if (same(k.p, k.n, "<") && hasJsx(w.language)) {
            return;
        }
    }
    dropToken(w, close, Rewrite::Braces, body);
    for (std::uint64_t j = open + 1; j < body; ++j)
        dropToken(w, j, Rewrite::Semicolons, body);
    dropToken(w, open, Rewrite::Braces, body);
}

// --- Commas and semicolons -----------------------------------------------

// The token kept after i (next, its key k) and the innermost open frame f
// (nullptr: none); false when that token is not held yet.
bool lookPast(RewriteWindow &w, const State &s, std::uint64_t i, std::uint64_t &next, Key &k, const Frame *&f)
{
    next = nextKept(w, i);
    if (next >= windowEnd(w))
        return false;
    k = keyAt(w, next);
    f = s.depth > 0 ? &s.frames[s.depth - 1] : nullptr;
    return true;
}

// True when the ']' at close ends the array of a frame with a spread that
// is the last value of an object literal that is a call's argument,
// "f({a: [...b,]})": the ']' is followed by the object's '}' and that by ','
// or ')' of the call (so the object is no assignment's pattern), and the
// call's ')' by none of '{', "=>" and ':' (so it is no arrow's parameters).
bool nestedArgument(RewriteWindow &w, const State &s, std::uint64_t close)
{
    if (s.depth < 3 || !tokenIs(w, close, "]"))
        return false;
    const Frame &array = s.frames[s.depth - 1], &object = s.frames[s.depth - 2], &call = s.frames[s.depth - 3];
    if (array.kind != ScriptFrame::Bracket || array.opened != Opened::Array || array.pattern ||
        object.kind != ScriptFrame::Object || object.opened != Opened::List || !object.argument || object.pattern ||
        call.kind != ScriptFrame::Paren || call.opened != Opened::Call || !call.call)
        return false;
    std::uint64_t brace = nextKept(w, close);
    if (brace < windowEnd(w) && tokenIs(w, brace, ";"))
        brace = nextKept(w, brace);  // the ';' the lexer puts before a list's '}'
    const std::uint64_t after = brace < windowEnd(w) ? nextKept(w, brace) : windowEnd(w);
    return after < windowEnd(w) && tokenIs(w, brace, "}") && (tokenIs(w, after, ",") || tokenIs(w, after, ")"));
}

// Takes out the ',' at i before a closing bracket where it is a trailing
// comma that means nothing: after an item (no hole), not after a rest
// element, in a frame whose items take one.
void dropComma(RewriteWindow &w, const State &s, std::uint64_t i)
{
    std::uint64_t next;
    Key k;
    const Frame *f;
    if (!lookPast(w, s, i, next, k, f))
        return;
    if (lastIs(s, ",") || lastIs(s, "(") || lastIs(s, "[") || lastIs(s, "{") || lastIs(s, "<") || lastIs(s, "..."))
        return;
    // TypeScript type arguments and parameters: "f<T,>", "class A<T,>".
    if (same(k.p, k.n, ">") && w.language != Language::JavaScript && (f ? f->angles : s.outerAngles) > 0 &&
        !(f && f->spread)) {
        dropToken(w, i, Rewrite::Commas, next);
        return;
    }
    if (!f)
        return;
    // After a rest element only in an array or object literal or a call's arguments, never in a pattern.
    if (f->spread) {
        const Frame *outer = s.depth > 1 ? &s.frames[s.depth - 2] : nullptr;
        bool literal = f->kind == ScriptFrame::Paren ? f->opened == Opened::Call && f->call
                       : f->literal                 ? true
                       : f->argument && outer       ? (outer->opened == Opened::Call ? outer->call : outer->group)
                                                    : nestedArgument(w, s, next);
        // "[...a] = b", "for ([...a] of b)": a pattern after all.
        std::uint64_t after = nextKept(w, next);
        if (!literal || f->pattern || after >= windowEnd(w) || tokenIs(w, after, "=") || tokenIs(w, after, "of") ||
            tokenIs(w, after, "in"))
            return;
    }
    bool ok = false;
    if (same(k.p, k.n, "]"))
        ok = f->kind == ScriptFrame::Bracket && f->opened == Opened::Array;
    else if (same(k.p, k.n, "}"))
        ok = (f->kind == ScriptFrame::Object || f->kind == ScriptFrame::Block) && f->opened == Opened::List;
    else if (same(k.p, k.n, ")") && f->kind == ScriptFrame::Paren && f->opened == Opened::Call)
        ok = true;
    else if (same(k.p, k.n, ")") && f->kind == ScriptFrame::Paren &&
             (f->opened == Opened::Group || (f->opened == Opened::Other && w.language != Language::JavaScript))) {
        // An arrow's parameters, or in TypeScript a signature's: "(a,): T" (not "c ? (a,) : b").
        std::uint64_t arrow = nextKept(w, next);
        ok = arrow < windowEnd(w) && !f->spread &&
             ((tokenIs(w, arrow, "=>") && f->opened == Opened::Group) ||
              (tokenIs(w, arrow, ":") && w.language != Language::JavaScript && !f->question));
    }
    if (ok)
        dropToken(w, i, Rewrite::Commas, next);
}

// A ';' at i: the one the lexer puts (or finds) before the '}' of a list
// after its last item goes with the trailing comma; an empty statement after
// another statement, a block or a declaration's body is taken out.
void dropSemicolon(RewriteWindow &w, const State &s, std::uint64_t i)
{
    std::uint64_t next;
    Key k;
    const Frame *f;
    if (!lookPast(w, s, i, next, k, f))
        return;
    if ((w.allow & rewriteBit(Rewrite::Commas)) && same(k.p, k.n, "}") && f && f->opened == Opened::List &&
        (s.prev == Prev::Operand || s.prev == Prev::Restricted)) {
        dropToken(w, i, Rewrite::Commas, next);
        return;
    }
    if (!(w.allow & rewriteBit(Rewrite::Semicolons)))
        return;
    const WindowToken &n = windowAt(w, next);
    // Where statements (or class members) stand: a block, a body, a class.
    bool statements = f && ((f->kind == ScriptFrame::Block &&
                             (f->opened == Opened::Statements || f->opened == Opened::Class)) ||
                            (f->kind == ScriptFrame::Object && f->opened == Opened::Body));
    if (f && !statements)
        return;
    bool empty = !s.seen;
    empty = empty || lastIs(s, ";") || s.lastCloses || (lastIs(s, "{") && statements);
    // An else or a do's while needs the statement before; a string after
    // would join the directives once the ';' is gone.
    if (!empty || (n.kind == TokenKind::Code && (tokenIs(w, next, "else") || tokenIs(w, next, "while") || isString(k))))
        return;
    dropToken(w, i, Rewrite::Semicolons, next);
}

// --- Property names ------------------------------------------------------

// Whether cp is a letter of the blocks whose letters are all ID_Start (and
// so ID_Continue): Latin-1's, Greek's and Cyrillic's basic letters, kana,
// CJK ideographs and Hangul syllables. No other non-ASCII character is read
// as a name's: a space or a format character (U+00A0, U+FEFF) that the
// lexer keeps in a name token would make a string's value no name.
bool isIdentifierLetter(std::uint32_t cp)
{
    static const std::uint32_t kRanges[][2] = {
        {0xC0, 0xD6},     {0xD8, 0xF6},     {0xF8, 0xFF},     {0x391, 0x3A1},   {0x3A3, 0x3A9},
        {0x3B1, 0x3C9},   {0x410, 0x44F},   {0x3041, 0x3096}, {0x30A1, 0x30FA}, {0x4E00, 0x9FFF},
        {0xAC00, 0xD7A3},
    };
    for (const auto &r : kRanges)
        if (cp >= r[0] && cp <= r[1])
            return true;
    return false;
}

bool isIdentifierName(const char *p, std::size_t n)
{
    if (n == 0 || isDigit(p[0]))
        return false;
    for (std::size_t j = 0; j < n; ++j) {
        const unsigned char c = static_cast<unsigned char>(p[j]);
        if (c >= 0x80) {
            std::uint32_t cp = 0;
            const std::size_t m = utf8Char(reinterpret_cast<const unsigned char *>(p + j), n - j, cp);
            if (m == 0 || !isIdentifierLetter(cp))
                return false;
            j += m - 1;
        } else if (!(c == '_' || c == '$' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                     (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

// A number as ECMAScript's ToString writes it, and so the property name it
// gives read back exactly: "0", "12", "1.5", "0.25"; at most 15 significant
// digits, no exponent, no separator, no point without a digit after it.
bool isCanonicalNumber(const char *p, std::size_t n)
{
    std::size_t j = 0, digits = 0, zeros = 0;
    if (n == 0 || !isDigit(p[0]) || (p[0] == '0' && n > 1 && p[1] != '.'))
        return false;
    while (j < n && isDigit(p[j]))
        ++j, ++digits;
    if (p[0] == '0')
        digits = 0;
    if (j < n) {
        if (p[j] != '.' || j + 1 == n || p[n - 1] == '0')
            return false;
        for (++j; j < n; ++j) {
            if (!isDigit(p[j]))
                return false;
            if (digits == 0 && p[j] == '0')
                ++zeros;  // 0.000001 is written so, 0.0000001 is 1e-7
            else
                ++digits;
        }
    }
    return digits <= 15 && zeros <= 5;
}

// Whether the token at i names a property where a name, a string or a number
// may name it alike: the key of an object literal's or a pattern's property
// or method, a class member's, a TypeScript type's member's, or an enum
// member's. Read from the token before it, the frame and the token after:
// - an object literal, pattern or type ('{' of a list but an import or
//   export list): after '{' or ',' (or ';' in a type, or "readonly"), before
//   ':' or '(' (or in TypeScript "?" and then ':' or '(');
// - a TypeScript interface: the same, after '{', ',', ';' or "readonly";
// - a class: after '{', ';', a member's '}' or a modifier, before '(',
//   '=', ';' or '}' (or in TypeScript ':', '?' or '!');
// - an enum: after '{' or ',', before '=', ',' or '}' (no number: an enum
//   member is named by a name or a string only).
Respell propertyName(RewriteWindow &w, const State &s, std::uint64_t i)
{
    const Frame *f = s.depth > 0 ? &s.frames[s.depth - 1] : nullptr;
    const std::uint64_t end = windowEnd(w);
    const std::uint64_t next = nextKept(w, i);
    if (!f || next >= end || windowAt(w, next).kind != TokenKind::Code)
        return Respell::None;
    const bool ts = w.language != Language::JavaScript;
    auto nextIs = [&](const char *list) { return scriptWordIn(list, keyAt(w, next).p, keyAt(w, next).n); };
    auto optional = [&]() {
        const std::uint64_t after = nextKept(w, next);
        return ts && tokenIs(w, next, "?") && after < end && (tokenIs(w, after, ":") || tokenIs(w, after, "("));
    };
    if (f->kind == ScriptFrame::Block && f->opened == Opened::Class) {
        bool before = lastIs(s, "{") || lastIs(s, ";") || lastIs(s, "}") ||
                      lastWordIn(s, " static public private protected declare override abstract accessor get set async ");
        bool after = nextIs(" ( = ; } ") || (ts && nextIs(" : ? ! "));
        return before && after ? Respell::ClassKey : Respell::None;
    }
    if (f->enumBody) {
        // The last member before '}' may have the ';' the lexer puts there.
        const std::uint64_t after = nextKept(w, next);
        const bool last = tokenIs(w, next, ";") && after < end && tokenIs(w, after, "}");
        return (lastIs(s, "{") || lastIs(s, ",")) && (nextIs(" = , } ") || last) ? Respell::KeyNoNumber
                                                                                : Respell::None;
    }
    const bool list = ((f->kind == ScriptFrame::Object || f->kind == ScriptFrame::Block) && f->opened == Opened::List &&
                       !f->module) ||
                      f->kind == ScriptFrame::TypeBody;
    if (!list || !(lastIs(s, "{") || lastIs(s, ",") || (f->type && (lastIs(s, ";") || lastWordIn(s, " readonly ")))))
        return Respell::None;
    return nextIs(" : ( ") || optional() ? Respell::Key : Respell::None;
}

// Writes a plain decimal number (digits, a point, digits; no exponent,
// prefix or separator) without the zeros that do not change its value into
// out (room for k.n + 1 bytes): ".1" as "0.1", "1.50" as "1.5", "1.0" as
// "1"; returns its length, 0 for any other number and for a leading zero
// before a digit.
std::size_t plainDecimal(Key k, char *out)
{
    std::size_t j = 0, n = 0;
    if (k.n > 1 && k.p[0] == '0' && isDigit(k.p[1]))
        return 0;  // "010" is a legacy octal, 8
    j = k.n > 0 && k.p[0] == '0' ? 1 : 0;
    const std::size_t intStart = j;
    while (j < k.n && isDigit(k.p[j]))
        out[n++] = k.p[j++];
    if (j == intStart)
        out[n++] = '0';
    if (j < k.n && k.p[j] == '.') {
        std::size_t f = ++j;
        while (j < k.n && isDigit(k.p[j]))
            ++j;
        std::size_t last = j;
        while (last > f && k.p[last - 1] == '0')
            --last;
        if (last > f) {
            out[n++] = '.';
            std::memcpy(out + n, k.p + f, last - f);
            n += last - f;
        }
    }
    return j == k.n ? n : 0;
}

// Writes the property name at i as the name it gives: "K" and a name (no
// escapes), a string's value that is an identifier name (but __proto__,
// which only a name or a string sets the prototype by, "constructor" in a
// class and "new", which TypeScript reads as a construct signature's), or a
// canonical number, as a string or a number (but in an enum).
void respellKey(RewriteWindow &w, std::uint64_t i, Respell how)
{
    Key k = keyAt(w, i);
    char value[kValueBytes];
    std::size_t n = 0;
    const bool numbers = how != Respell::KeyNoNumber, inClass = how == Respell::ClassKey;
    if (isString(k)) {
        if (!stringValue(k, value, n))
            return;
        const char *v = value + 1;
        const std::size_t m = n - 1;
        bool name = isIdentifierName(v, m) && !same(v, m, "__proto__") && !same(v, m, "new") &&
                    !(inClass && same(v, m, "constructor"));
        if (!name && !(numbers && isCanonicalNumber(v, m))) {
            replaceKey(w, i, Rewrite::Quotes, value, n);  // a string all the same
            return;
        }
    } else if (isNumber(k)) {
        n = numbers ? plainDecimal(k, value + 1) : 0;
        if (n == 0 || !isCanonicalNumber(value + 1, n)) {
            if ((w.allow & rewriteBit(Rewrite::Numbers)) && numberValue(k, value, n))
                replaceKey(w, i, Rewrite::Numbers, value, n);
            return;
        }
        ++n;
    } else if (isNameStart(k.p, k.n) && !std::memchr(k.p, '\\', k.n) && k.n + 1 <= kValueBytes) {
        std::memcpy(value + 1, k.p, k.n);
        n = k.n + 1;
    } else {
        return;
    }
    value[0] = 'K';
    replaceKey(w, i, Rewrite::Quotes, value, n);
}

// --- Type members ----------------------------------------------------------

// True when the ',' or ';' at i separates two members of a TypeScript type
// literal or interface, where either is the same: in a type's frame, outside
// type arguments, before what can only start a member (a name, a string or
// a number followed by ':', '?' or '(', "readonly" and a name, or an index
// signature's '[' name ':'), or before the type's '}' after a member.
bool typeSeparator(RewriteWindow &w, const State &s, std::uint64_t i)
{
    const Frame *f = s.depth > 0 ? &s.frames[s.depth - 1] : nullptr;
    if (w.language == Language::JavaScript || !f || !f->type || f->angles > 0 || f->enumBody || f->module ||
        !(f->kind == ScriptFrame::TypeBody ||
          ((f->kind == ScriptFrame::Object || f->kind == ScriptFrame::Block) && f->opened == Opened::List)))
        return false;
    if (lastIs(s, "{") || lastIs(s, ",") || lastIs(s, ";") || s.lastLength == 0)
        return false;
    const std::uint64_t end = windowEnd(w);
    std::uint64_t t[3];
    t[0] = nextKept(w, i);
    t[1] = t[0] < end ? nextKept(w, t[0]) : end;
    t[2] = t[1] < end ? nextKept(w, t[1]) : end;
    if (t[0] >= end)
        return false;
    if (tokenIs(w, t[0], "}"))
        return true;
    auto keyLike = [&](std::uint64_t j) {
        if (j >= end || windowAt(w, j).kind != TokenKind::Code)
            return false;
        Key k = keyAt(w, j);
        return isString(k) || isNumber(k) || (isNameStart(k.p, k.n) && !std::memchr(k.p, '\\', k.n));
    };
    auto member = [&](std::uint64_t j) {
        return j < end && (tokenIs(w, j, ":") || tokenIs(w, j, "?") || tokenIs(w, j, "("));
    };
    if (keyLike(t[0]) && member(t[1]))
        return true;
    if (tokenIs(w, t[0], "readonly") && keyLike(t[1]) && member(t[2]))
        return true;
    return tokenIs(w, t[0], "[") && keyLike(t[1]) && t[2] < end && tokenIs(w, t[2], ":");
}

// --- New -------------------------------------------------------------------

// Takes out the empty arguments "()" at open of a "new" whose callee is a
// name and its members, where nothing after them would make it a member or a
// call: "new X()" is "new X" before ';', ',', ')', ']', '}', '?', a binary
// operator, (JavaScript) ':', or the end.
bool dropNewArguments(RewriteWindow &w, const State &s, std::uint64_t open)
{
    const std::uint64_t end = windowEnd(w);
    if (s.callee != NewCallee::Member || s.depth != s.calleeDepth || open + 1 >= end || !tokenIs(w, open + 1, ")"))
        return false;
    const std::uint64_t after = nextKept(w, open + 1);
    if (after >= end)
        return false;
    const WindowToken &r = windowAt(w, after);
    Key k = keyAt(w, after);
    bool ends = r.kind == TokenKind::End ||
                (r.kind == TokenKind::Code &&
                 (scriptWordIn(" ; , ) ] ? ", k.p, k.n) || (k.n > 0 && k.p[0] == '}') || binaryLevel(w.language, k) > 0 ||
                  (same(k.p, k.n, ":") && w.language == Language::JavaScript)));
    if (!ends)
        return false;
    dropToken(w, open + 1, Rewrite::Parens, after);
    dropToken(w, open, Rewrite::Parens, after);
    return true;
}

// Takes out the parentheses at open around the callee right after "new" when
// it is a name and its members, no call: "new (a.b)()" is "new a.b()".
bool dropCalleeParens(RewriteWindow &w, const State &s, std::uint64_t open)
{
    const std::uint64_t end = windowEnd(w);
    if (s.callee != NewCallee::New || s.depth != s.calleeDepth || open + 1 >= end || !plainName(keyAt(w, open + 1)))
        return false;
    std::uint64_t c = open + 2;
    while (c + 1 < end && tokenIs(w, c, ".") && isNameStart(keyAt(w, c + 1).p, keyAt(w, c + 1).n) &&
           !std::memchr(keyAt(w, c + 1).p, '\\', keyAt(w, c + 1).n))
        c += 2;
    if (c >= end || !tokenIs(w, c, ")"))
        return false;
    // TypeScript: "new (a) => T" and "new (a): T" are a constructor's type and signature.
    const std::uint64_t after = nextKept(w, c);
    if (after >= end || tokenIs(w, after, "=>") || tokenIs(w, after, ":"))
        return false;
    dropToken(w, c, Rewrite::Parens, after);
    dropToken(w, open, Rewrite::Parens, open + 1);
    return true;
}

// --- The scan ------------------------------------------------------------

bool allows(const RewriteWindow &w, Rewrite r)
{
    return w.allow & rewriteBit(r);
}

// Makes the rewrites that start at token i.
void rewriteAt(RewriteWindow &w, State &s, std::uint64_t i)
{
    const WindowToken &t = windowAt(w, i);
    if (t.dropped || t.kind != TokenKind::Code)
        return;
    const ScriptFrame f = top(s);
    Key k = keyAt(w, i);
    char value[kValueBytes];
    std::size_t n = 0;
    if (f == ScriptFrame::JsxTag && isString(k) && lastIs(s, "=") && allows(w, Rewrite::Quotes)) {
        // A JSX attribute string has no escapes: its text, whichever the quotes, is its value.
        if (k.n >= 2 && k.p[k.n - 1] == k.p[0] && k.n + 1 <= kValueBytes) {
            value[0] = 'J';
            std::memcpy(value + 1, k.p + 1, k.n - 2);
            replaceKey(w, i, Rewrite::Quotes, value, k.n - 1);
        }
        return;
    }
    if (f == ScriptFrame::JsxTag || f == ScriptFrame::JsxClosing || f == ScriptFrame::JsxChildren)
        return;
    // A property name, written as the name it gives once the bookkeeping has read it.
    if (allows(w, Rewrite::Quotes) && (isString(k) || isNumber(k) || isNameStart(k.p, k.n))) {
        s.respell = propertyName(w, s, i);
        if (s.respell != Respell::None)
            return;
    }
    if (isString(k)) {
        // At a statement's start a string may be a directive, which is read as written: only one without escapes.
        if (allows(w, Rewrite::Quotes) && !(s.prev == Prev::Start && std::memchr(k.p, '\\', k.n)) &&
            stringValue(k, value, n))
            replaceKey(w, i, Rewrite::Quotes, value, n);
    } else if (isNumber(k)) {
        if (allows(w, Rewrite::Numbers) && numberValue(k, value, n))
            replaceKey(w, i, Rewrite::Numbers, value, n);
    } else if (k.n > 2 && k.p[0] == '/' && !same(k.p, k.n, "/=")) {
        if (allows(w, Rewrite::Quotes) && regexValue(k, value, n))
            replaceKey(w, i, Rewrite::Quotes, value, n);
    } else if (same(k.p, k.n, "(")) {
        if (!allows(w, Rewrite::Parens))
            return;
        if (dropNewArguments(w, s, i) || dropCalleeParens(w, s, i) || dropArrowParens(w, s, i) ||
            dropTypeParens(w, s, i))
            return;
        if (((s.prev == Prev::Operator || s.prev == Prev::Restricted || s.prev == Prev::Start) &&
             !lastWordIn(s, kControlWords)) ||
            s.closedAssertion || (w.language != Language::JavaScript && lastWordIn(s, " void ")))
            dropParens(w, s, i);
    } else if (same(k.p, k.n, "{")) {
        bool body = (s.prev == Prev::Start && lastIs(s, ")")) || same(s.word, s.wordLength, "else") ||
                    same(s.word, s.wordLength, "do");
        if (allows(w, Rewrite::Braces) && body)
            dropBraces(w, i);
    } else if (same(k.p, k.n, ",") || same(k.p, k.n, ";")) {
        // TypeScript: a member separator of a type, either one; before the type's '}', none.
        if (allows(w, Rewrite::Commas) && typeSeparator(w, s, i)) {
            std::uint64_t next = nextKept(w, i);
            if (tokenIs(w, next, "}"))
                dropToken(w, i, Rewrite::Commas, next);
            else
                s.respell = Respell::Separator;
        } else if (k.p[0] == ';') {
            dropSemicolon(w, s, i);
        } else if (allows(w, Rewrite::Commas)) {
            dropComma(w, s, i);
        }
    } else if (same(k.p, k.n, "|") || same(k.p, k.n, "&")) {
        // TypeScript: a '|' or '&' where an operand is expected leads a union or an intersection type.
        std::uint64_t next = nextKept(w, i);
        if (allows(w, Rewrite::Commas) && w.language != Language::JavaScript && s.prev == Prev::Operator &&
            scriptWordIn(" = : ( < , [ => ", s.last, s.lastLength) && next < windowEnd(w))
            dropToken(w, i, Rewrite::Commas, next);
    }
}

// The last token the rewrites and the bookkeeping at i look at: the
// kLookahead-th token after it, and the kLookahead-th kept one after it or,
// for '(' and '{', after the bracket that closes it; windowEnd(w) when that
// is not held.
std::uint64_t horizon(RewriteWindow &w, std::uint64_t i)
{
    const std::uint64_t end = windowEnd(w);
    std::uint64_t last = i;
    if (tokenIs(w, i, "(") || tokenIs(w, i, "{"))
        last = matchingClose(w, i);
    for (std::uint64_t n = 0; n < kLookahead && last < end; ++n)
        last = nextKept(w, last);
    return last < i + kLookahead ? i + kLookahead : last;
}

std::uint64_t scriptScan(RewriteWindow &w, void *raw)
{
    State &s = *static_cast<State *>(raw);
    if (s.cursor < w.first) {
        s.lost = true;  // a token too long to hold went out unseen: the lexer's view of the rest is unknown
        s.cursor = w.first;
    }
    const std::uint64_t end = windowEnd(w);
    // More tokens join the held ones once those before the cursor go out,
    // unless the last held is End or a token too long to hold.
    const bool more = w.count > 0 && windowAt(w, end - 1).kind != TokenKind::End && windowAt(w, end - 1).whole;
    while (s.cursor < end) {
        const std::uint64_t i = s.cursor;
        const WindowToken &t = windowAt(w, i);
        if (t.kind == TokenKind::End) {
            s.cursor = end;
            break;
        }
        if (t.kind != TokenKind::Code || t.length == 0)
            s.lost = true;  // the lexer's frames overflowed: it hands out words and line ends
        // A token too long to hold: a string, a name or a regular expression
        // is an operand as its first bytes tell, but a template may open a hole.
        if (!t.whole && (isTemplate(keyAt(w, i)) || keyAt(w, i).p[0] == '}'))
            s.lost = true;
        if (!s.lost) {
            // A token whose lookahead is not all held waits for it, so that
            // what is decided never depends on where the window ends; when
            // the window starts at the token and holds all it can, what it
            // holds is decided on, which depends on where the token stands only.
            if (more && i > w.first && horizon(w, i) >= end)
                return i;
            const Prev before = s.prev;
            s.respell = Respell::None;
            rewriteAt(w, s, i);
            const Respell respell = s.respell;
            track(w, s, i);
            if (windowAt(w, i).dropped && same(keyAt(w, i).p, keyAt(w, i).n, "(") && s.depth > 0)
                s.frames[s.depth - 1].dropped = true;
            if (!windowAt(w, i).dropped)
                keep(w, s, i, before);
            if (respell == Respell::Separator)
                replaceKey(w, i, Rewrite::Commas, ";", 1);
            else if (respell != Respell::None)
                respellKey(w, i, respell);
        }
        ++s.cursor;
    }
    return s.cursor;
}

// The hashbang line, a token of the shared layer's, and the directives the
// lexer makes of comments (their keys start with "//"): no other token starts
// so, and the lexer's bookkeeping, which the scan follows, takes none of them.
bool scriptAside(const char *key, std::size_t n)
{
    return n >= 2 && ((key[0] == '#' && key[1] == '!') || (key[0] == '/' && key[1] == '/'));
}

} // namespace

extern const RewriteRules kScriptRules = rulesRecord<State>(
    Language::JavaScript, {Rewrite::Braces, Rewrite::Parens, Rewrite::Commas, Rewrite::Quotes, Rewrite::Numbers,
     Rewrite::Semicolons}, scriptScan, scriptAside);
